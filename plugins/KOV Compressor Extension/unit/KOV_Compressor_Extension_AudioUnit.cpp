// The audio unit object: construction, capabilities, buses, tree, MIDI output block and the
// editor's parameter and meter operations. Render resources and the render block are in
// KOV_Compressor_Extension_AudioUnitRender.cpp, state and presets in ..._AudioUnitState.cpp.
#include "KOV_Compressor_Extension_AudioUnit.h"

#include <algorithm>
#include <cmath>

#include "FourCharCode.h"
#include "Foundation/NSError.h"
#include "Foundation/TextForms.h"
#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "KOV_Compressor_Extension_Parameters.h"
#include "Logging.h"

KOV_Compressor_Extension_AudioUnit::KOV_Compressor_Extension_AudioUnit(
    const AudioComponentDescription& componentDescription, AudioComponentInstantiationOptions)
    : AUAudioUnit(componentDescription, 0) {
  // The base part is made first here; its initialiser cannot fail and prints nothing, so the
  // order of what is printed and made is the designed one.
  safeprint("AUExtension::init()");
  safeprint(stringValue(componentDescription.componentManufacturer) + " : " +
            stringValue(componentDescription.componentSubType));
  kernelAdapter = std::make_shared<KOV_Compressor_ExtensionDSPKernelAdapter>();
  parameters = std::make_shared<KOV_Compressor_Extension_Parameters>(kernelAdapter);
  effect = std::make_shared<AUPeakLimiter>();
  // Every bus, allocation and render call goes to the wrapped system limiter: without it the
  // unit cannot work, so it does not come into being.
  if (!effect->auAudioUnit()) {
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization,
                  "The system peak limiter is not available.");
  }
}

KOV_Compressor_Extension_AudioUnit::~KOV_Compressor_Extension_AudioUnit() = default;

void KOV_Compressor_Extension_AudioUnit::debugprint(std::string_view text) const {
  safeprint(text);
}

std::shared_ptr<AUAudioUnit> KOV_Compressor_Extension_AudioUnit::wrapped() const {
  return effect->auAudioUnit();
}

std::shared_ptr<KOVPresetDelegate> KOV_Compressor_Extension_AudioUnit::presetDelegate() {
  // Shares the unit's own ownership when it has one, so that a reader that locks the (weak)
  // registration keeps the unit alive while it reports; a unit that no shared pointer owns is
  // tied to its lifetime token instead.
  if (std::shared_ptr<AUAudioUnit> self = weak_from_this().lock()) {
    return std::shared_ptr<KOVPresetDelegate>(std::move(self), static_cast<KOVPresetDelegate*>(this));
  }
  return std::shared_ptr<KOVPresetDelegate>(lifetime_, static_cast<KOVPresetDelegate*>(this));
}

void KOV_Compressor_Extension_AudioUnit::onFoundParameter(NSInteger, const std::string&,
                                                          AUParameterAddress address, AUValue value) {
  const std::shared_ptr<AUParameterTree> tree = parameterTree();
  if (!tree)
    return;
  const std::shared_ptr<AUParameter> parameter = tree->parameterWithAddress(address);
  // States come from hosts and files: keep every parameter within its range. NaN names no
  // value in any range and is dropped (std::clamp would pass it through).
  if (!parameter || std::isnan(value))
    return;
  parameter->setValue(std::clamp(value, parameter->minValue(), parameter->maxValue()));
}

// ---- Capabilities ------------------------------------------------------------------------------

IndexSet KOV_Compressor_Extension_AudioUnit::supportedViewConfigurations(
    const std::vector<AUAudioUnitViewConfiguration>&) {
  debugprint("AUExtension::supportedViewConfigurations()");
  return IndexSet();
}

std::vector<NSInteger> KOV_Compressor_Extension_AudioUnit::parametersForOverviewWithCount(NSInteger) {
  debugprint("AUExtension::parametersForOverview()");
  return {};
}

bool KOV_Compressor_Extension_AudioUnit::isMusicDeviceOrEffect() {
  debugprint("AUExtension::isMusicDeviceOrEffect: " + describe(true));
  return true;
}

NSInteger KOV_Compressor_Extension_AudioUnit::virtualMIDICableCount() {
  debugprint("AUExtension::virtualMIDICableCount: " + describe(1));
  return 1;
}

std::vector<std::string> KOV_Compressor_Extension_AudioUnit::MIDIOutputNames() {
  const std::vector<std::string> names = {"KOV Compressor MIDI Out"};
  debugprint("AUExtension::midiOutputNames: " + describe(names));
  return names;
}

bool KOV_Compressor_Extension_AudioUnit::canPerformInput() {
  debugprint("AUExtension::canPerformInput: " + describe(true));
  return true;
}

bool KOV_Compressor_Extension_AudioUnit::canPerformOutput() {
  debugprint("AUExtension::canPerformOutput: " + describe(true));
  return true;
}

bool KOV_Compressor_Extension_AudioUnit::canProcessInPlace() {
  debugprint("AUExtension::canProcessInPlace() " + describe(true));
  return true;
}

std::optional<std::vector<NSInteger>> KOV_Compressor_Extension_AudioUnit::channelCapabilities() {
  debugprint("AUExtension::channelCapabilities() 2:2");
  return std::vector<NSInteger>{2, 2};
}

std::optional<std::vector<NSInteger>> KOV_Compressor_Extension_AudioUnit::channelMap() {
  return std::nullopt;
}

void KOV_Compressor_Extension_AudioUnit::setChannelMap(std::optional<std::vector<NSInteger>>) {}

// ---- Buses, tree, MIDI output --------------------------------------------------------------------

std::shared_ptr<AUAudioUnitBusArray> KOV_Compressor_Extension_AudioUnit::inputBusses() {
  const std::shared_ptr<AUAudioUnitBusArray> busses = wrapped()->inputBusses();
  debugprint("AUExtension::inputBusses: " + describe(std::uint64_t(busses ? busses->count() : 0)));
  return busses;
}

std::shared_ptr<AUAudioUnitBusArray> KOV_Compressor_Extension_AudioUnit::outputBusses() {
  const std::shared_ptr<AUAudioUnitBusArray> busses = wrapped()->outputBusses();
  debugprint("AUExtension::outputBusses: " + describe(std::uint64_t(busses ? busses->count() : 0)));
  return busses;
}

std::shared_ptr<AUParameterTree> KOV_Compressor_Extension_AudioUnit::parameterTree() {
  return parameters->parameterTree;
}

void KOV_Compressor_Extension_AudioUnit::setParameterTree(std::shared_ptr<AUParameterTree>) {
  debugprint("AUExtension::parameterTree (set) !!!");
}

AUMIDIOutputEventBlock KOV_Compressor_Extension_AudioUnit::MIDIOutputEventBlock() {
  debugprint("AUExtension::midiOutputEventBlock (get) ");
  return _midiOutputEventBlock;
}

void KOV_Compressor_Extension_AudioUnit::setMIDIOutputEventBlock(AUMIDIOutputEventBlock block) {
  debugprint("AUExtension::midiOutputEventBlock (set) ");
  _midiOutputEventBlock = std::move(block);
  kernelAdapter->setAUMIDIOutputEventBlock(_midiOutputEventBlock);
}

// ---- Editor operations ---------------------------------------------------------------------------

void KOV_Compressor_Extension_AudioUnit::setParameter(std::int32_t address, AUValue value) {
  const std::shared_ptr<AUParameterTree> tree = parameterTree();
  if (!tree || address < 0)
    return;
  const std::shared_ptr<AUParameter> parameter = tree->parameterWithAddress(AUParameterAddress(address));
  if (!parameter)
    return;
  // Only a changed value goes through the tree (and so to the observers); the kernel gets it
  // in any case, a changed value therefore twice.
  if (parameter->value() != value)
    parameter->setValue(value);
  kernelAdapter->setParameter(parameter.get(), value);
}

AUValue KOV_Compressor_Extension_AudioUnit::getParameter(std::int32_t address) {
  const std::shared_ptr<AUParameterTree> tree = parameterTree();
  if (!tree || address < 0)
    return 0.0f;
  const std::shared_ptr<AUParameter> parameter = tree->parameterWithAddress(AUParameterAddress(address));
  return parameter ? kernelAdapter->valueForParameter(parameter.get()) : 0.0f;
}

double KOV_Compressor_Extension_AudioUnit::getSamplerate() {
  const std::shared_ptr<AUAudioUnitBusArray> busses = outputBusses();
  const std::shared_ptr<AUAudioUnitBus> bus = busses ? (*busses)[0] : nullptr;
  return bus && bus->format() ? bus->format()->sampleRate() : 0.0;
}

void KOV_Compressor_Extension_AudioUnit::setSamplerate() {
  const std::shared_ptr<AUAudioUnitBusArray> busses = wrapped()->outputBusses();
  const std::shared_ptr<AUAudioUnitBus> bus = busses ? (*busses)[0] : nullptr;
  if (bus && bus->format())
    kernelAdapter->setSamplerate(float(bus->format()->sampleRate()));
}

float KOV_Compressor_Extension_AudioUnit::getDynamicsValue1() {
  return kernelAdapter->getDynamicsValue1();
}
float KOV_Compressor_Extension_AudioUnit::getDynamicsValue2() {
  return kernelAdapter->getDynamicsValue2();
}
float KOV_Compressor_Extension_AudioUnit::getPeakValue1() {
  return kernelAdapter->getPeakValue1();
}
float KOV_Compressor_Extension_AudioUnit::getPeakValue2() {
  return kernelAdapter->getPeakValue2();
}

void KOV_Compressor_Extension_AudioUnit::dumpParameters(const std::string&,
                                                        const std::shared_ptr<AUParameterGroup>& tree,
                                                        NSInteger level) {
  if (!tree)
    return;
  const std::string indentation(std::size_t(std::max<NSInteger>(level, 0)), ' ');
  for (const std::shared_ptr<AUParameterNode>& child : tree->children()) {
    debugprint(indentation + child->displayName());
    if (auto group = std::dynamic_pointer_cast<AUParameterGroup>(child)) {
      dumpParameters(child->displayName(), group, level + 1);
    }
  }
}
