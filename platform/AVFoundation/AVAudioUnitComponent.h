// Read-only views of the component registry, as hosts browse it.
// Threads: [main].
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AudioToolbox/AudioComponent.h"

class AVAudioUnitComponent {
 public:
  explicit AVAudioUnitComponent(AudioComponent component);

  AudioComponent audioComponent() const { return component_; }
  const AudioComponentDescription& audioComponentDescription() const { return description_; }
  // The registered name ("Apple: AUPeakLimiter"), the parts before and after ": ".
  const std::string& name() const { return name_; }
  std::string manufacturerName() const;
  std::string unitName() const;
  UInt32 version() const { return version_; }
  // "major.minor.bugfix" of the version 0xMMMMmmbb.
  std::string versionString() const;
  std::string typeName() const;  // "Effect", "Music Effect", "Instrument", "Generator", "Output" or ""
  bool hasMIDIInput() const;     // music devices and music effects

 private:
  AudioComponent component_;
  AudioComponentDescription description_{};
  std::string name_;
  UInt32 version_ = 0;
};

class AVAudioUnitComponentManager {
 public:
  static AVAudioUnitComponentManager& sharedAudioUnitComponentManager();

  // Every registered component matching the description (zero fields match any), in
  // registration order.
  std::vector<std::shared_ptr<AVAudioUnitComponent>> componentsMatchingDescription(
      const AudioComponentDescription& desc) const;
  // Every registered component for which the predicate is true.
  std::vector<std::shared_ptr<AVAudioUnitComponent>> componentsPassingTest(
      const std::function<bool(const AVAudioUnitComponent&)>& predicate) const;
};
