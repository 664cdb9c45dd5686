// A factory or user preset of the effect as the container shows it: a thin wrapper of the
// platform's preset object. Only the effect manager makes them. [main]
#pragma once

#include <memory>
#include <string>

#include "AudioToolbox/AUAudioUnitPreset.h"

class AUExtensionManager;

class Preset {
 public:
  // The wrapped preset, held strongly.
  const std::shared_ptr<AUAudioUnitPreset>& audioUnitPreset() const { return audioUnitPreset_; }
  NSInteger number() const { return audioUnitPreset_->number(); }
  const std::string& name() const { return audioUnitPreset_->name(); }

 private:
  friend class AUExtensionManager;
  explicit Preset(std::shared_ptr<AUAudioUnitPreset> preset) : audioUnitPreset_(std::move(preset)) {}

  std::shared_ptr<AUAudioUnitPreset> audioUnitPreset_;
};
