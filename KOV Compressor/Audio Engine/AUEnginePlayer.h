// The container application's audio engine: one engine with one player node that loops one of
// the application's 80 audio files ("1" ... "80" ".m4a" in the application's resources), chosen
// at random at every start, through the effect (an AVAudioUnit handed over by the extension
// manager) into the main mixer and the output. Keeps the audio session active while playing,
// tells its delegate about starts, stops, the chosen file and every pass, and gives the effect a
// MIDI output block whose events are printed on the main thread.
//
// Every message is one line on standard output.
//
// Threads: connect, load, start, stop, toggle, finalize and disconnect are called on one control
// thread at a time (the main thread, or the thread that delivers the effect); start and stop
// enter the serial state queue synchronously and must not be called from it. Delegate calls of
// state changes, passes and the MIDI lines run on the main queue. Rendering never enters this
// class except through the MIDI output block, which only copies the event into a fixed queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>

#include "AUEnginePlayerCalls.h"
#include "AUEnginePlayerDelegate.h"
#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/AVAudioPlayerNode.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/URL.h"
#include "MIDIEventQueue.h"

class AUEnginePlayer : public AUEnginePlayerCalls, public std::enable_shared_from_this<AUEnginePlayer> {
 public:
  // The player's constructor attaches the player node; nothing is connected and the session is
  // not touched. Make it with std::make_shared (its completions hold it weakly).
  AUEnginePlayer();
  ~AUEnginePlayer() override;
  AUEnginePlayer(const AUEnginePlayer&) = delete;
  AUEnginePlayer& operator=(const AUEnginePlayer&) = delete;

  std::shared_ptr<AUEnginePlayerDelegate> delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<AUEnginePlayerDelegate> delegate) { delegate_ = std::move(delegate); }

  // stop(), then disconnect().
  void finalize() override;
  // connect(nil) with a completion that prints that the disconnection was performed.
  void disconnect();
  // Opens the file and rewires the graph for it.
  void load(const std::optional<URL>& url);
  void start();
  void stop();
  // start() when stopped, stop() when playing; the state afterwards.
  bool toggle() override;
  // Removes the effect in place (if any) and attaches and wires the new one (null: none).
  void connect(
      std::shared_ptr<AVAudioUnit> avAudioUnit, std::function<void()> completion = [] {}) override;

  bool isPlaying() const { return isPlaying_.load(); }
  std::int64_t loopCount() const { return loopCount_; }  // [main]

  // MIDI events dropped by a full queue.
  std::uint64_t droppedMIDIEvents() const { return midiEvents_->dropped(); }
  // Prints the MIDI events waiting in the queue. [main] (Once the block is installed, a render
  // drain does this on the main loop's turns that print the render lines: LogLines::addRenderDrain.)
  void drainMIDIEvents();

 private:
  // Test-only entry points (AUEnginePlayerTesting.h, built into kov_engine_player_testing) reach
  // the engine (to switch on manual rendering) and seed the file choice through this.
  friend struct AUEnginePlayerTesting;

  void randomizeFile();
  void setSessionActive(bool active);
  void startPlayingInternal();
  void scheduleEffectLoop();
  void stopPlayingInternal();
  void resetAudioLoop();
  std::shared_ptr<AVAudioFile> currentFile() const;
  std::optional<URL> currentFileURL() const;

  std::shared_ptr<MIDIEventQueue> midiEvents_ = std::make_shared<MIDIEventQueue>();
  AUMIDIOutputEventBlock midiOutBlock_;
  std::shared_ptr<AUEnginePlayerDelegate> delegate_;
  std::shared_ptr<AVAudioEngine> engine_ = std::make_shared<AVAudioEngine>();
  std::shared_ptr<AVAudioUnit> activeAVAudioUnit_;
  std::atomic<bool> isPlaying_{false};
  std::int64_t loopCount_ = 0;  // [main]
  DispatchQueue stateChangeQueue_{"com.quillfeld.AUEnginePlayer.stateQueue"};
  std::shared_ptr<AVAudioPlayerNode> player_ = std::make_shared<AVAudioPlayerNode>();
  // The file and its URL: written on the control thread, read on the state queue and the main
  // queue too.
  mutable std::mutex fileMutex_;
  std::shared_ptr<AVAudioFile> file_;
  std::optional<URL> fileURL_;
  std::mt19937_64 random_{std::random_device{}()};
  std::uint64_t midiDrain_ = 0;  // [main] the key of the render drain that prints the MIDI events; 0: none
};
