#include "AUExtensionManager.h"

#include <cstdio>

#include "AUEnginePlayerCalls.h"
#include "AVFoundation/AVAudioNode.h"
#include "Foundation/Print.h"
#include "Foundation/ProcessInfo.h"
#include "FourCharCode.h"

std::shared_ptr<AUExtensionManager> AUExtensionManager::make(
    std::shared_ptr<AUExtensionManagerDelegate> delegate, std::shared_ptr<AUEnginePlayerCalls> enginePlayer,
    DispatchQueue& searchQueue) {
  auto manager =
      std::make_shared<AUExtensionManager>(Passkey{}, std::move(delegate), std::move(enginePlayer));
  manager->loadForRelease(searchQueue);
  return manager;
}

AUExtensionManager::AUExtensionManager(Passkey, std::shared_ptr<AUExtensionManagerDelegate> delegate,
                                       std::shared_ptr<AUEnginePlayerCalls> enginePlayer)
    : auEngine(std::move(enginePlayer)), delegate(std::move(delegate)) {}

void AUExtensionManager::loadForRelease(DispatchQueue& searchQueue) {
  print("NOTE: WE ARE IN AUDIO UNIT RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!");
  searchQueue.async([self = shared_from_this()] { self->search(); });
}

void AUExtensionManager::search() {
  _availableAudioUnits =
      AVAudioUnitComponentManager::sharedAudioUnitComponentManager().componentsMatchingDescription(
          componentDescription);
  if (_availableAudioUnits.empty()) {
    print("ERROR: There were no audio units found.");
    return;
  }
  selectfoundComponent(_availableAudioUnits.front(),
                       [self = shared_from_this()] { self->onFoundComponent(); });
}

void AUExtensionManager::selectfoundComponent(const std::shared_ptr<AVAudioUnitComponent>& component,
                                              Completion completionHandler) {
  if (!component) {
    print("ERROR: Component is nil.");
    return;
  }
  print("AUExtensionManager: Loaded component has following properties.");
  log(component->audioComponentDescription());
  // The component's own description, not the search key.
  selectAudioUnitWithComponentDescription(component->audioComponentDescription(),
                                          std::move(completionHandler));
}

std::string AUExtensionManager::componentPropertiesText(const AudioComponentDescription& description) {
  char flags[16];
  std::snprintf(flags, sizeof flags, "%#010x", unsigned(description.componentFlags));
  return "AUExtension (\ntype: " + stringValue(description.componentType) +
         "\nsubtype: " + stringValue(description.componentSubType) +
         "\nmanufacturer: " + stringValue(description.componentManufacturer) + "\nflags: " + flags + "\n)";
}

void AUExtensionManager::log(const AudioComponentDescription& description) {
  const ProcessInfo& process = ProcessInfo::processInfo();
  print("\nProcess Name: " + process.processName() + " PID: " + std::to_string(process.processIdentifier()) +
        "\n");
  print(componentPropertiesText(description));
}

void AUExtensionManager::selectAudioUnitWithComponentDescription(
    const std::optional<AudioComponentDescription>& description, Completion completionHandler) {
  if (!description) {
    print("Error: Component description is nil.");
    return;
  }
  AVAudioUnit::instantiate(
      *description, 0,
      [self = shared_from_this(), desc = *description, completion = std::move(completionHandler)](
          std::shared_ptr<AVAudioUnit> avAudioUnit, std::shared_ptr<NSError> /*error: not reported*/) {
        if (!avAudioUnit) {
          print(describe(desc));
          print("Error: Could not instantiate audio unit.");
          return;
        }
        print("AUExtensionManager: Audio unit was found, making connections now ...");
        // The unit whose presets the manager shows, known before the player is wired.
        self->audioUnit = avAudioUnit->auAudioUnit();
        self->audioUnit->setContextName("running in distribution host");
        self->auEngine->connect(avAudioUnit, [self, avAudioUnit, completion] {
          print("AUExtensionManager: Performed audio unit connection.");
          if (self->delegate)
            self->delegate->onFoundComponent(avAudioUnit);
          if (completion)
            completion();
        });
      });
}

void AUExtensionManager::onFoundComponent() {
  connectParametersToControls();
  if (delegate)
    delegate->onEngineInitialized();
}

void AUExtensionManager::connectParametersToControls() {
  if (!audioUnit)
    print("WARNING: Audio unit is nil (yet?).");
}

bool AUExtensionManager::togglePlayback() {
  return auEngine->toggle();
}

void AUExtensionManager::cleanup() {
  auEngine->finalize();
}

std::vector<Preset> AUExtensionManager::presets() const {
  std::vector<Preset> wrapped;
  if (!audioUnit)
    return wrapped;
  if (auto list = audioUnit->factoryPresets())
    for (auto& preset : *list)
      wrapped.push_back(Preset(preset));
  return wrapped;
}

std::optional<Preset> AUExtensionManager::currentPreset() const {
  if (!audioUnit)
    return std::nullopt;
  auto preset = audioUnit->currentPreset();
  if (!preset)
    return std::nullopt;
  return Preset(std::move(preset));
}

void AUExtensionManager::setCurrentPreset(const std::optional<Preset>& preset) {
  if (!audioUnit)
    return;
  audioUnit->setCurrentPreset(preset ? preset->audioUnitPreset() : nullptr);
}
