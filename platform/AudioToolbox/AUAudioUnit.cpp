#include "AudioToolbox/AUAudioUnit.h"

#include <cstdlib>

#include "AudioToolbox/AUAudioUnitFactory.h"
#include "Dispatch/DispatchQueue.h"

AUAudioUnit::AUAudioUnit(const AudioComponentDescription& componentDescription,
                         AudioComponentInstantiationOptions)
    : componentDescription_(componentDescription),
      inputBusses_(std::make_shared<AUAudioUnitBusArray>(AUAudioUnitBusType::input)),
      outputBusses_(std::make_shared<AUAudioUnitBusArray>(AUAudioUnitBusType::output)) {
  // Only the identifying fields: a unit made for a registered type, subtype and manufacturer
  // is that component, whatever flags the caller asked with.
  AudioComponentDescription search = componentDescription;
  search.componentFlags = 0;
  search.componentFlagsMask = 0;
  if (search.componentType != 0 && search.componentSubType != 0 && search.componentManufacturer != 0) {
    component_ = AudioComponentFindNext(nullptr, &search);
    if (component_) {
      std::string name;
      AudioComponentCopyName(component_, &name);
      componentName_ = std::move(name);
      AudioComponentGetVersion(component_, &componentVersion_);
    }
  }
}

AUAudioUnit::~AUAudioUnit() = default;

AudioComponent AUAudioUnit::registerSubclass(AudioComponentFactoryFunction factory,
                                             const AudioComponentDescription& desc, std::string name,
                                             UInt32 version) {
  return AudioComponentRegister(desc, std::move(name), version, std::move(factory));
}

std::shared_ptr<AUAudioUnit> AUAudioUnit::instantiate(const AudioComponentDescription& desc,
                                                      AudioComponentInstantiationOptions options,
                                                      std::shared_ptr<NSError>* outError) {
  AudioComponent component = AudioComponentFindNext(nullptr, &desc);
  if (!component) {
    if (outError)
      *outError = std::make_shared<NSError>(NSOSStatusErrorDomain, kAudio_ParamError);
    return nullptr;
  }
  return AudioComponentInstantiate(component, options, outError);
}

void AUAudioUnit::instantiate(
    const AudioComponentDescription& desc, AudioComponentInstantiationOptions options,
    const std::function<void(std::shared_ptr<AUAudioUnit>, std::shared_ptr<NSError>)>& completionHandler) {
  std::shared_ptr<NSError> error;
  auto unit = instantiate(desc, options, &error);
  if (completionHandler)
    completionHandler(std::move(unit), std::move(error));
}

void AUAudioUnit::requestViewController(
    std::function<void(std::shared_ptr<AUAudioUnitFactory>)> completionHandler) {
  if (!completionHandler)
    return;
  // Held strongly from the request to the answer.
  DispatchQueue::main().async([principalClass = principalClass_.lock(),
                               handler = std::move(completionHandler)] { handler(principalClass); });
}

namespace {
constexpr std::string_view kNameSeparator = ": ";
}

std::optional<std::string> AUAudioUnit::audioUnitName() const {
  if (!componentName_)
    return std::nullopt;
  const auto at = componentName_->find(kNameSeparator);
  return at == std::string::npos ? *componentName_ : componentName_->substr(at + kNameSeparator.size());
}

std::optional<std::string> AUAudioUnit::manufacturerName() const {
  if (!componentName_)
    return std::nullopt;
  const auto at = componentName_->find(kNameSeparator);
  if (at == std::string::npos)
    return std::nullopt;
  return componentName_->substr(0, at);
}

void AUAudioUnit::allocateRenderResources() {
  if (maximumFramesToRender() == 0)
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_InvalidPropertyValue,
                  "The maximum frame count must be at least 1.");
  renderResourcesAllocated_.store(true, std::memory_order_relaxed);
}

bool AUAudioUnit::allocateRenderResourcesAndReturnError(std::shared_ptr<NSError>* outError) {
  try {
    allocateRenderResources();
    return true;
  } catch (const NSError& error) {
    if (outError)
      *outError = std::make_shared<NSError>(error);
    return false;
  }
}

void AUAudioUnit::deallocateRenderResources() {
  renderResourcesAllocated_.store(false, std::memory_order_relaxed);
}

AUInternalRenderBlock AUAudioUnit::internalRenderBlock() {
  return {};
}

AURenderBlock AUAudioUnit::renderBlock() {
  AUInternalRenderBlock internal = internalRenderBlock();
  if (!internal) {
    return
        [](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount, NSInteger, AudioBufferList*,
           const AURenderPullInputBlock*) -> AUAudioUnitStatus { return kAudioUnitErr_Uninitialized; };
  }
  // [render] Calls the unit's block with no render events; captures by value, so calling it
  // allocates nothing.
  return [internal = std::move(internal)](AudioUnitRenderActionFlags* actionFlags,
                                          const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
                                          NSInteger outputBusNumber, AudioBufferList* outputData,
                                          const AURenderPullInputBlock* pullInputBlock) -> AUAudioUnitStatus {
    return internal(actionFlags, timestamp, frameCount, outputBusNumber, outputData, nullptr, pullInputBlock);
  };
}

AUAudioFrameCount AUAudioUnit::maximumFramesToRender() const {
  return maximumFramesToRender_.load(std::memory_order_relaxed);
}
void AUAudioUnit::setMaximumFramesToRender(AUAudioFrameCount frames) {
  maximumFramesToRender_.store(frames, std::memory_order_relaxed);
}
bool AUAudioUnit::shouldBypassEffect() const {
  return shouldBypassEffect_.load(std::memory_order_relaxed);
}
void AUAudioUnit::setShouldBypassEffect(bool bypass) {
  shouldBypassEffect_.store(bypass, std::memory_order_relaxed);
}

std::shared_ptr<AUAudioUnitBusArray> AUAudioUnit::inputBusses() {
  return inputBusses_;
}
std::shared_ptr<AUAudioUnitBusArray> AUAudioUnit::outputBusses() {
  return outputBusses_;
}

std::shared_ptr<AUParameterTree> AUAudioUnit::parameterTree() {
  return parameterTree_;
}
void AUAudioUnit::setParameterTree(std::shared_ptr<AUParameterTree> tree) {
  parameterTree_ = std::move(tree);
}
std::vector<NSInteger> AUAudioUnit::parametersForOverviewWithCount(NSInteger) {
  return {};
}

std::optional<PropertyList::Dictionary> AUAudioUnit::fullState() {
  PropertyList::Dictionary state;
  state["manufacturer"] = PropertyList(componentDescription_.componentManufacturer);
  state["subtype"] = PropertyList(componentDescription_.componentSubType);
  state["type"] = PropertyList(componentDescription_.componentType);
  state["version"] = PropertyList(componentVersion_);
  PropertyList::Dictionary data;
  if (auto tree = parameterTree())
    for (const auto& parameter : tree->allParameters())
      data[std::to_string(parameter->address())] = PropertyList(parameter->value());
  state["data"] = PropertyList(std::move(data));
  return state;
}

void AUAudioUnit::setFullState(std::optional<PropertyList::Dictionary> state) {
  auto tree = parameterTree();
  if (!state || !tree)
    return;
  auto found = state->find("data");
  if (found == state->end() || !found->second.dictionary())
    return;
  for (const auto& [key, value] : *found->second.dictionary()) {
    if (key.empty() || key.find_first_not_of("0123456789") != std::string::npos || key.size() > 19)
      continue;
    const auto number = value.asFloat();
    if (!number)
      continue;
    if (auto parameter = tree->parameterWithAddress(std::strtoull(key.c_str(), nullptr, 10)))
      parameter->setValue(*number);
  }
}

std::optional<std::vector<std::shared_ptr<AUAudioUnitPreset>>> AUAudioUnit::factoryPresets() {
  return std::nullopt;
}
std::shared_ptr<AUAudioUnitPreset> AUAudioUnit::currentPreset() {
  return currentPreset_;
}
void AUAudioUnit::setCurrentPreset(std::shared_ptr<AUAudioUnitPreset> preset) {
  currentPreset_ = std::move(preset);
}
std::vector<std::shared_ptr<AUAudioUnitPreset>> AUAudioUnit::userPresets() {
  return {};
}

PropertyList::Dictionary AUAudioUnit::presetStateFor(const AUAudioUnitPreset&) {
  throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_InvalidPropertyValue);
}

std::optional<PropertyList::Dictionary> AUAudioUnit::presetStateForError(const AUAudioUnitPreset& preset,
                                                                         std::shared_ptr<NSError>* outError) {
  try {
    return presetStateFor(preset);
  } catch (const NSError& error) {
    if (outError)
      *outError = std::make_shared<NSError>(error);
    return std::nullopt;
  }
}

bool AUAudioUnit::isMusicDeviceOrEffect() {
  return componentDescription_.componentType == kAudioUnitType_MusicDevice ||
         componentDescription_.componentType == kAudioUnitType_MusicEffect;
}

std::optional<std::vector<NSInteger>> AUAudioUnit::channelMap() {
  return channelMap_;
}
void AUAudioUnit::setChannelMap(std::optional<std::vector<NSInteger>> map) {
  channelMap_ = std::move(map);
}

IndexSet AUAudioUnit::supportedViewConfigurations(
    const std::vector<AUAudioUnitViewConfiguration>& configurations) {
  IndexSet all;
  for (std::size_t i = 0; i < configurations.size(); ++i)
    all.insert(NSInteger(i));
  return all;
}

AUMIDIOutputEventBlock AUAudioUnit::MIDIOutputEventBlock() {
  return midiOutputEventBlock_;
}
void AUAudioUnit::setMIDIOutputEventBlock(AUMIDIOutputEventBlock block) {
  midiOutputEventBlock_ = std::move(block);
}

namespace {
std::string fourCharacters(OSType code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = char((code >> shift) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}
}  // namespace

std::string AUAudioUnit::description() {
  // Built by appending: GCC 12 at -O3 warns falsely on chains of literal + string.
  std::string text = "<";
  text += className();
  text += ": ";
  text += describeAddress(this);
  text += "> '";
  text += fourCharacters(componentDescription_.componentType);
  text += "' '";
  text += fourCharacters(componentDescription_.componentSubType);
  text += "' '";
  text += fourCharacters(componentDescription_.componentManufacturer);
  text += "'";
  if (componentName_) {
    text += " \"";
    text += *componentName_;
    text += "\"";
  }
  return text;
}
