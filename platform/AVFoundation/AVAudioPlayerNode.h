// A node that plays scheduled audio files (AVAudioPlayerNode), one after the other.
//
// Scheduling appends to the node's schedule; a file scheduled before the render call that needs
// it follows the one before without a gap. `play` starts or resumes, `pause` halts and keeps the
// schedule and position, `stop` flushes the schedule (playing from the start next time).
//
// Completions: a file's completion handler runs once, on the node's own completion thread (never
// on the render thread, never on the main thread): when the render thread has pulled the file's
// last frame or will pull it in its next call (so that a file scheduled from the completion
// follows without a gap), or when `stop` flushed the file. Handlers run in the order the files were
// scheduled; a handler may schedule again. A handler may also hold the node's last reference:
// the node then ends on its completion thread, which runs the handlers already due and stops.
//
// A scheduled file plays at the node's output rate: a file at another rate is converted when it
// is scheduled. Its channels are mapped to the output's (mono to every channel).
//
// Threads: the members are [any] off the render thread (they may block briefly on the node's
// own mutex, which the render thread never takes). Rendering reads the schedule through a fixed
// lock-free ring and atomics only.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/AVAudioNode.h"

using AVAudioNodeCompletionHandler = std::function<void()>;

class AVAudioPlayerNode : public AVAudioNode {
 public:
  // Its output format, until a connection sets one: standard stereo at 48 kHz.
  static constexpr double kDefaultSampleRate = 48000.0;
  // Files scheduled and not yet reached by the render thread, at most.
  static constexpr std::size_t kScheduleCapacity = 1024;

  AVAudioPlayerNode();
  ~AVAudioPlayerNode() override;

  // scheduleFile(_:at:completionHandler:) — `when` must be null (right after what is scheduled).
  // A null file is ignored. A schedule already holding kScheduleCapacity files refuses (the
  // handler runs at once, with a line on stderr).
  void scheduleFile(const std::shared_ptr<AVAudioFile>& file, const std::shared_ptr<AVAudioTime>& when,
                    AVAudioNodeCompletionHandler completionHandler);
  void play();
  void pause();
  void stop();
  bool isPlaying() const;

  NSUInteger numberOfOutputs() const override { return 1; }
  std::shared_ptr<AVAudioFormat> outputFormatForBus(NSUInteger bus) const override;
  std::string description() const override;

  // The part the engine's render graph holds. [render] render() writes `frames` frames in
  // `channels` output channels.
  struct Renderer;
  const std::shared_ptr<Renderer>& renderer() const { return render_; }

 protected:
  bool takeOutputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                        std::string* why) override;

 private:
  struct Segment;
  // What the completion thread reads, shared by the node and that thread: the thread keeps it
  // while it runs, so a handler that ends the node leaves the thread everything it still needs.
  struct Completions;
  static void completionLoop(const std::shared_ptr<Completions>& completions);

  std::shared_ptr<Renderer> render_;
  std::shared_ptr<Completions> completions_;
  std::shared_ptr<AVAudioFormat> outputFormat_;  // under completions_->mutex
  // The last conversion of a file to the output rate, reused while the same file loops.
  std::shared_ptr<const PCMSamples> convertedFrom_, converted_;  // under completions_->mutex
  std::thread completer_;
};
