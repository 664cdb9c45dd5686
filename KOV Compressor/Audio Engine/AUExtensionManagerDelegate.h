// What the effect manager tells its owner (the main screen) about the start-up chain.
// Threads: both calls come on the main thread, where the platform delivers the instantiated unit.
#pragma once

#include <memory>

class AVAudioUnit;

class AUExtensionManagerDelegate {
 public:
  virtual ~AUExtensionManagerDelegate() = default;
  // A unit has been instantiated and handed to the engine player. [main]
  virtual void onFoundComponent(std::shared_ptr<AVAudioUnit> unit) = 0;
  // The whole start-up chain has finished. [main]
  virtual void onEngineInitialized() = 0;
};
