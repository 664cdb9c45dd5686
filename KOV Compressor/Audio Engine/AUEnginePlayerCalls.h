// What the effect manager asks of the engine player. The manager holds the player through this
// interface, so it builds (and is tested) without the player itself: the application's main
// screen makes the real AUEnginePlayer and hands it to the manager; tests hand in a stand-in.
// [main] unless the player says otherwise.
#pragma once

#include <functional>
#include <memory>

class AVAudioUnit;

class AUEnginePlayerCalls {
 public:
  virtual ~AUEnginePlayerCalls() = default;

  // connect(avAudioUnit:completion:): attaches the effect (null: removes the one in place) and
  // calls `completion` once the graph is rewired.
  virtual void connect(std::shared_ptr<AVAudioUnit> avAudioUnit, std::function<void()> completion) = 0;
  // toggle(): starts when stopped, stops when playing; the playing state afterwards.
  virtual bool toggle() = 0;
  // finalize(): stops and disconnects.
  virtual void finalize() = 0;

 protected:
  AUEnginePlayerCalls() = default;
  AUEnginePlayerCalls(const AUEnginePlayerCalls&) = default;
  AUEnginePlayerCalls& operator=(const AUEnginePlayerCalls&) = default;
};
