#include "AVFoundation/AVAudioUnitComponent.h"

AVAudioUnitComponent::AVAudioUnitComponent(AudioComponent component) : component_(component) {
  AudioComponentGetDescription(component, &description_);
  AudioComponentCopyName(component, &name_);
  AudioComponentGetVersion(component, &version_);
}

std::string AVAudioUnitComponent::manufacturerName() const {
  const auto at = name_.find(": ");
  return at == std::string::npos ? std::string() : name_.substr(0, at);
}

std::string AVAudioUnitComponent::unitName() const {
  const auto at = name_.find(": ");
  return at == std::string::npos ? name_ : name_.substr(at + 2);
}

std::string AVAudioUnitComponent::versionString() const {
  return std::to_string(version_ >> 16) + "." + std::to_string((version_ >> 8) & 0xFF) + "." +
         std::to_string(version_ & 0xFF);
}

std::string AVAudioUnitComponent::typeName() const {
  switch (description_.componentType) {
    case kAudioUnitType_Effect:
      return "Effect";
    case kAudioUnitType_MusicEffect:
      return "Music Effect";
    case kAudioUnitType_MusicDevice:
      return "Instrument";
    case kAudioUnitType_Generator:
      return "Generator";
    case kAudioUnitType_Output:
      return "Output";
    default:
      return "";
  }
}

bool AVAudioUnitComponent::hasMIDIInput() const {
  return description_.componentType == kAudioUnitType_MusicDevice ||
         description_.componentType == kAudioUnitType_MusicEffect;
}

AVAudioUnitComponentManager& AVAudioUnitComponentManager::sharedAudioUnitComponentManager() {
  static AVAudioUnitComponentManager manager;
  return manager;
}

std::vector<std::shared_ptr<AVAudioUnitComponent>> AVAudioUnitComponentManager::componentsMatchingDescription(
    const AudioComponentDescription& desc) const {
  std::vector<std::shared_ptr<AVAudioUnitComponent>> result;
  for (AudioComponent c = AudioComponentFindNext(nullptr, &desc); c; c = AudioComponentFindNext(c, &desc))
    result.push_back(std::make_shared<AVAudioUnitComponent>(c));
  return result;
}

std::vector<std::shared_ptr<AVAudioUnitComponent>> AVAudioUnitComponentManager::componentsPassingTest(
    const std::function<bool(const AVAudioUnitComponent&)>& predicate) const {
  std::vector<std::shared_ptr<AVAudioUnitComponent>> result;
  for (AudioComponent c = AudioComponentFindNext(nullptr, nullptr); c;
       c = AudioComponentFindNext(c, nullptr)) {
    auto component = std::make_shared<AVAudioUnitComponent>(c);
    if (!predicate || predicate(*component))
      result.push_back(std::move(component));
  }
  return result;
}
