#include "ParameterTreeDump.h"

#include <array>
#include <string_view>

#include "Foundation/Print.h"
#include "Foundation/TextForms.h"

namespace {

// `level` tab characters (none for 0 or less).
std::string tabs(int level) {
  return std::string(level > 0 ? std::size_t(level) : 0, '\t');
}

// Two printed items: the runtime's print puts one blank between them.
void printItems(const std::string& first, const std::string& second) {
  print(first + " " + second);
}

struct FlagRow {
  AudioUnitParameterOptions mask;
  std::string_view text;
};

// In the order they are listed; the display kinds are several-bit masks tested like the rest,
// so kind 0x30000 also lists the square root and squared rows.
constexpr std::array<FlagRow, 22> kFlagRows = {{
    {0x10, " - flag_CFNameRelease"},          {0x2000, " - flag_OmitFromPresets"},
    {0x4000, " - flag_PlotHistory"},          {0x8000, " - flag_MeterReadOnly"},
    {0x470000, " - flag_DisplayMask"},        {0x10000, " - flag_DisplaySquareRoot"},
    {0x20000, " - flag_DisplaySquared"},      {0x30000, " - flag_DisplayCubed"},
    {0x40000, " - flag_DisplayCubeRoot"},     {0x50000, " - flag_DisplayExponential"},
    {0x100000, " - flag_HasClump"},           {0x200000, " - flag_ValuesHaveStrings"},
    {0x400000, " - flag_DisplayLogarithmic"}, {0x800000, " - flag_IsHighResolution"},
    {0x1000000, " - flag_NonRealTime"},       {0x2000000, " - flag_CanRamp"},
    {0x4000000, " - flag_ExpertMode"},        {0x8000000, " - flag_HasCFNameString"},
    {0x10000000, " - flag_IsGlobalMeta"},     {0x20000000, " - flag_IsElementMeta"},
    {0x40000000, " - flag_IsReadable"},       {0x80000000, " - flag_IsWritable"},
}};
// The one row printed at the start of its line, whatever the level.
constexpr AudioUnitParameterOptions kUnindentedMask = 0x8000;

// By raw value.
constexpr std::array<std::string_view, 27> kUnitNames = {
    "generic",
    "indexed",
    "boolean",
    "percent",
    "seconds",
    "sampleFrames",
    "phase",  // 0-6
    "rate",
    "hertz",
    "cents",
    "relativeSemiTones",
    "midiNoteNumber",
    "midiController",  // 7-12
    "decibels",
    "linearGain",
    "degrees",
    "equalPowerCrossfade",
    "mixerFaderCurve1",  // 13-17
    "pan",
    "meters",
    "absoluteCents",
    "octaves",
    "BPM",
    "beats",
    "milliseconds",  // 18-24
    "ratio",
    "customUnit",  // 25-26
};

}  // namespace

void ParameterTreeDump::extractParameters(const std::string& /*name*/,
                                          const std::shared_ptr<AUParameterGroup>& tree, int level) {
  if (!tree) {
    print("ExtensionViewController: The parameter group has no children.");
    return;
  }
  for (const std::shared_ptr<AUParameterNode>& child : tree->children()) {
    auto group = std::dynamic_pointer_cast<AUParameterGroup>(child);
    if (!group)
      continue;  // a parameter standing directly in `tree`
    for (const std::shared_ptr<AUParameter>& parameter : group->allParameters()) {
      printParameter(*parameter, level + 1);
    }
    extractParameters(group->displayName(), group, level + 1);
  }
}

void ParameterTreeDump::printParameter(const AUParameter& parameter, int level) {
  const std::string indent = tabs(level);
  print("\n" + indent + "ExtensionViewController: Folllowing AU parameter was found... ");
  printItems(indent + "- address: ", describe(std::uint64_t(parameter.address())));
  printItems(indent + "- displayName: ", parameter.displayName());
  printItems(indent + "- value: ", describe(parameter.value()));
  printItems(indent + "- options: ",
             "AudioUnitParameterOptions(rawValue: " + describe(unsigned(parameter.flags())) + ")");
  verboseFlags(parameter.flags(), level);
  printItems(indent + "- maxValue: ", describe(parameter.maxValue()));
  printItems(indent + "- minValue: ", describe(parameter.minValue()));
  printItems(indent + "- unit: (type " + describe(unsigned(parameter.unit())) + ") ",
             verboseParameterKind(parameter.unit()));
  printItems(indent + "- unitName: ", parameter.unitName().value_or(""));
  printItems(indent + "- valueStrings: ",
             describe(parameter.valueStrings().value_or(std::vector<std::string>{})));
}

void ParameterTreeDump::verboseFlags(AudioUnitParameterOptions flags, int level) {
  const std::string indent = tabs(level);
  print(indent + "- The flag value includes the following flags... ");
  for (const FlagRow& row : kFlagRows) {
    if ((flags & row.mask) != row.mask)
      continue;
    print((row.mask == kUnindentedMask ? std::string() : indent) + std::string(row.text));
  }
}

std::string ParameterTreeDump::verboseParameterKind(AudioUnitParameterUnit kind) {
  const auto raw = std::size_t(kind);
  return raw < kUnitNames.size() ? std::string(kUnitNames[raw]) : "unknown parameter kind";
}
