// The limiter's diagnostics printers: node, unit and bus properties, one line each, through the
// wrapper's safeprint. Values are written in Foundation's text forms (TextForms.h): flags as
// true/false, optional texts as the text or "none", optional objects, lists and blocks as "nil"
// or "Optional(...)", numbers in their shortest form ("0.0", "48000.0").
#include <string>
#include <vector>

#include "AUPeakLimiter.h"
#include "Foundation/TextForms.h"

namespace {

std::string optionalText(const std::optional<std::string>& text) {
  return text ? *text : "none";
}

template <typename Object>
std::string optionalObject(const std::shared_ptr<Object>& object) {
  return object ? "Optional(" + object->description() + ")" : "nil";
}

template <typename Block>
std::string optionalBlock(const Block& block) {
  return block ? "Optional((Function))" : "nil";
}

std::string optionalNumbers(const std::optional<std::vector<NSInteger>>& numbers) {
  return numbers ? "Optional(" + describe(*numbers) + ")" : "nil";
}

std::string presetList(const std::vector<std::shared_ptr<AUAudioUnitPreset>>& presets) {
  std::string text = "[";
  for (std::size_t i = 0; i < presets.size(); ++i) {
    if (i)
      text += ", ";
    text += presets[i] ? presets[i]->description() : "nil";
  }
  return text + "]";
}

std::string describeValue(const PropertyList& value);

std::string describeDictionary(const PropertyList::Dictionary& dict) {
  if (dict.empty())
    return "[:]";
  std::string text = "[";
  bool first = true;
  for (const auto& [key, value] : dict) {
    if (!first)
      text += ", ";
    first = false;
    text += "\"" + key + "\": " + describeValue(value);
  }
  return text + "]";
}

std::string describeValue(const PropertyList& value) {
  if (const auto* integer = value.integer()) {
    return integer->isBigUnsigned ? describe(std::uint64_t(integer->value)) : describe(integer->value);
  }
  if (value.isReal())
    return describe(*value.asDouble());
  if (value.isBool())
    return describe(*value.asBool());
  if (const std::string* text = value.string())
    return "\"" + *text + "\"";
  if (const auto* dict = value.dictionary())
    return describeDictionary(*dict);
  if (const auto* array = value.array()) {
    std::string text = "[";
    for (std::size_t i = 0; i < array->size(); ++i)
      text += (i ? ", " : "") + describeValue((*array)[i]);
    return text + "]";
  }
  if (const auto* data = value.data())
    return std::to_string(data->size()) + " bytes";
  return "<date>";
}

std::string formatText(const std::shared_ptr<AVAudioFormat>& format) {
  return format ? format->description() : "nil";
}

}  // namespace

void AUPeakLimiter::nodeDiagnostics() {
  if (!internalEffect)
    return;
  const AVAudioUnitEffect& node = *internalEffect;
  const std::shared_ptr<AUAudioUnit> unit = node.auAudioUnit();
  const std::string header = "\nAUPeakLimiter::nodeDiagnostics(): " + std::string(45, '-') + "\n";

  safeprint(header);
  safeprint(" - node name: " + optionalText(unit ? unit->audioUnitName() : std::nullopt));
  safeprint(" - node unit: " + (unit ? unit->description() : std::string("nil")));
  if (unit)
    unitDiagnostics(unit);
  const std::shared_ptr<AVAudioTime> lastRenderTime =
      node.lastRenderTime() ? node.lastRenderTime() : AVAudioTime::makeWithHostTime(0);
  safeprint(" - node last render time: " + lastRenderTime->description());
  safeprint(" - node latency: " + describe(node.latency()));
  safeprint(" - node number of inputs: " + describe(std::uint64_t(node.numberOfInputs())));
  for (NSUInteger i = 0; i < node.numberOfInputs(); ++i) {
    const std::string bus = " - node input bus " + std::to_string(i);
    safeprint(bus + " format: " + formatText(node.inputFormatForBus(i)));
    safeprint(bus + " name: " + optionalText(node.nameForInputBus(i)));
  }
  safeprint(" - node number of outputs: " + describe(std::uint64_t(node.numberOfOutputs())));
  for (NSUInteger i = 0; i < node.numberOfOutputs(); ++i) {
    const std::string bus = " - node output bus " + std::to_string(i);
    safeprint(bus + " format: " + formatText(node.outputFormatForBus(i)));
    safeprint(bus + " name: " + optionalText(node.nameForOutputBus(i)));
  }
  safeprint(" - node output presentation latency: " + describe(node.outputPresentationLatency()));
  safeprint(header);
}

void AUPeakLimiter::unitDiagnostics(const std::shared_ptr<AUAudioUnit>& unit) {
  AUAudioUnit& u = *unit;
  const auto line = [this](const char* label, const std::string& value) {
    safeprint(std::string(label) + value);
  };
  line(" -- unit all parameter values: ", describe(u.allParameterValues()));
  line(" -- unit name: ", optionalText(u.audioUnitName()));
  line(" -- unit short name: ", optionalText(u.audioUnitShortName()));
  line(" -- unit can process inplace: ", describe(u.canProcessInPlace()));
  line(" -- unit channel capabilities: ", optionalNumbers(u.channelCapabilities()));
  line(" -- unit channel map: ", optionalNumbers(u.channelMap()));
  line(" -- unit component: ", describeAddress(u.component()));
  line(" -- unit component description: ", describe(u.componentDescription()));
  line(" -- unit component name: ", optionalText(u.componentName()));
  line(" -- unit component version: ", describe(unsigned(u.componentVersion())));
  line(" -- unit context name: ", optionalText(u.contextName()));
  line(" -- unit current preset: ", optionalObject(u.currentPreset()));
  // Each property is read where its line is issued: a unit that logs while it answers (this
  // effect lists its preset folder) keeps its lines in their place among these.
  const auto factoryPresets = u.factoryPresets();
  line(" -- unit .factory presets: ",
       factoryPresets ? "Optional(" + presetList(*factoryPresets) + ")" : std::string("nil"));
  const std::shared_ptr<AUAudioUnitBusArray> inputs = u.inputBusses();
  line(" -- unit input busses: ", inputs ? inputs->description() : "nil");
  line(" -- unit input bus count: ", describe(std::uint64_t(inputs ? inputs->count() : 0)));
  line(" -- unit input bus type: ", describe(inputs ? inputs->busType() : AUAudioUnitBusType::input));
  for (NSUInteger i = 0; inputs && i < inputs->count(); ++i)
    busDiagnostics((*inputs)[i], NSInteger(i));
  line(" -- unit music device: ", describe(u.isMusicDeviceOrEffect()));
  line(" -- unit rendering offline: ", describe(u.isRenderingOffline()));
  line(" -- unit latency: ", describe(u.latency()));
  line(" -- unit manufacturer name: ", optionalText(u.manufacturerName()));
  line(" -- unit max. frames to render: ", describe(unsigned(u.maximumFramesToRender())));
  line(" -- unit midi buffer size: ", describe(u.MIDIOutputBufferSizeHint()));
  line(" -- unit midi output event block: ", optionalBlock(u.MIDIOutputEventBlock()));
  line(" -- unit midi output names:", describe(u.MIDIOutputNames()));
  line(" -- unit musical context block: ", optionalBlock(u.musicalContextBlock()));
  const std::shared_ptr<AUAudioUnitBusArray> outputs = u.outputBusses();
  line(" -- unit output busses: ", outputs ? outputs->description() : "nil");
  line(" -- unit output bus count: ", describe(std::uint64_t(outputs ? outputs->count() : 0)));
  line(" -- unit output bus type: ", describe(outputs ? outputs->busType() : AUAudioUnitBusType::output));
  for (NSUInteger i = 0; outputs && i < outputs->count(); ++i)
    busDiagnostics((*outputs)[i], NSInteger(i));
  line(" -- unit parameters for overview: ", describe(u.parametersForOverviewWithCount(1)));
  line(" -- unit parameter tree: ", optionalObject(u.parameterTree()));
  line(" -- unit provides user interface: ", describe(u.providesUserInterface()));
  line(" -- unit render quality: ", describe(u.renderQuality()));
  line(" -- unit resources allocated: ", describe(u.renderResourcesAllocated()));
  line(" -- unit should bypass effect: ", describe(u.shouldBypassEffect()));
  line(" -- unit supported view configurations: ", u.supportedViewConfigurations({}).description());
  line(" -- unit suppoerts MPE: ", describe(u.supportsMPE()));
  line(" -- unit supports user presets: ", describe(u.supportsUserPresets()));
  line(" -- unit tail time: ", describe(u.tailTime()));
  line(" -- unit transport state block: ", optionalBlock(u.transportStateBlock()));
  line(" -- unit user presets: ", presetList(u.userPresets()));
  line(" -- unit midi cable count: ", describe(u.virtualMIDICableCount()));
}

void AUPeakLimiter::busDiagnostics(const std::shared_ptr<AUAudioUnitBus>& bus, NSInteger index) {
  const std::string prefix = " --- bus " + std::to_string(index);
  const auto line = [&](const char* label, const std::string& value) { safeprint(prefix + label + value); };
  if (!bus) {
    line(" type: ", "nil");
    return;
  }
  const std::shared_ptr<AVAudioFormat> format = bus->format();
  line(" type: ", describe(bus->busType()));
  line(" representation latency: ", describe(bus->contextPresentationLatency()));
  line(" format: ", formatText(format));
  line(" format channel count: ", format ? describe(unsigned(format->channelCount())) : "0");
  line(" format common format: ",
       describe(format ? format->commonFormat() : AVAudioCommonFormat::otherFormat));
  line(" format channel layout: ", format ? optionalObject(format->channelLayout()) : "nil");
  line(" format interleaved: ", describe(format && format->isInterleaved()));
  line(" format standard: ", describe(format && format->isStandard()));
  line(" format samplerate: ", describe(format ? format->sampleRate() : 0.0));
  line(" format settings: ", describeDictionary(format ? format->settings() : PropertyList::Dictionary{}));
  line(" index: ", describe(std::uint64_t(bus->index())));
  line(" enabled: ", describe(bus->isEnabled()));
  line(" max. channel count: ", describe(unsigned(bus->maximumChannelCount())));
  line(" name: ", optionalText(bus->name()));
  line(" should allocate buffer: ", describe(bus->shouldAllocateBuffer()));
}
