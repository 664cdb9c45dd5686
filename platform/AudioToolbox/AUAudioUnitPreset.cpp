#include "AudioToolbox/AUAudioUnitPreset.h"

#include "AudioToolbox/AudioComponent.h"

std::string AUAudioUnitPreset::description() const {
  return "<AUAudioUnitPreset: " + describeAddress(this) + "> " + std::to_string(number_) + " \"" + name_ +
         "\"";
}

std::string IndexSet::description() const {
  return std::to_string(indices_.size()) + " indexes";
}
