// The editor's parameter-tree dump: the effect's own tree against a golden text, and a fixture
// tree for what the effect's tree does not show (direct parameters, nesting, flag rows, units,
// texts).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ParameterTreeDump.h"
#include "unit_host.h"

namespace {

template <class Action>
std::string printed(Action&& action) {
  stdout_capture::beginCapture();
  action();
  return stdout_capture::endCapture();
}

std::string readFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::shared_ptr<AUParameter> parameter(const char* name, AUParameterAddress address, AUValue min, AUValue max,
                                       AUValue value, UInt32 unit, AudioUnitParameterOptions flags,
                                       std::optional<std::string> unitName = std::nullopt,
                                       std::optional<std::vector<std::string>> valueStrings = std::nullopt) {
  auto made = AUParameterTree::createParameterWithIdentifier(
      name, name, address, min, max, static_cast<AudioUnitParameterUnit>(unit), std::move(unitName), flags,
      std::move(valueStrings), std::nullopt);
  made->setValue(value);
  return made;
}

// A parameter block: the empty line, the header, then `lines`, each indented by `tabs`.
std::string block(const std::string& tabs, const std::vector<std::string>& lines) {
  std::string text = "\n" + tabs + "ExtensionViewController: Folllowing AU parameter was found... \n";
  for (const auto& line : lines)
    text += tabs + line + "\n";
  return text;
}

}  // namespace

TEST(ParameterTreeDump, EffectTreeMatchesGoldenText) {
  auto unit = unittest::quietUnit();
  const std::string text =
      printed([&] { ParameterTreeDump::extractParameters("parameterTree", unit->parameterTree(), 0); });
  EXPECT_EQ(text,
            readFile(std::string(KOV_SOURCE_DIR) + "/tests/unit/golden/effect_parameter_tree_dump.txt"));
}

TEST(ParameterTreeDump, FixtureTreeWalkAndBlocks) {
  // A parameter standing in the tree itself (never printed), and one of a subgroup (printed for
  // both groups on its path).
  auto direct = parameter("Direct", 99, 0, 1, 0.5f, 0, 0xC0000000);
  auto level =
      parameter("Level", 3, -96, 12, -6.5f, 27, 0x38000, "dB", std::vector<std::string>{"a \"q\"", "b"});
  auto inner = parameter("Inner", 4, 0, 1, 0.25f, 26, 0);
  auto subgroup = AUParameterTree::createGroupWithIdentifier("sub", "Sub", {inner});
  auto group = AUParameterTree::createGroupWithIdentifier("top", "Top", {level, subgroup});
  auto tree = AUParameterTree::createTreeWithChildren({direct, group});

  const std::string levelBlock =
      block("\t", {"- address:  3", "- displayName:  Level", "- value:  -6.5",
                   "- options:  AudioUnitParameterOptions(rawValue: 229376)",
                   "- The flag value includes the following flags... "}) +
      " - flag_MeterReadOnly\n"  // at the start of its line
      "\t - flag_DisplaySquareRoot\n\t - flag_DisplaySquared\n\t - flag_DisplayCubed\n"
      "\t- maxValue:  12.0\n\t- minValue:  -96.0\n"
      "\t- unit: (type 27)  unknown parameter kind\n\t- unitName:  dB\n"
      "\t- valueStrings:  [\"a \\\"q\\\"\", \"b\"]\n";
  auto innerBlock = [](const std::string& tabs) {
    return block(tabs,
                 {"- address:  4", "- displayName:  Inner", "- value:  0.25",
                  "- options:  AudioUnitParameterOptions(rawValue: 0)",
                  "- The flag value includes the following flags... ", "- maxValue:  1.0", "- minValue:  0.0",
                  "- unit: (type 26)  customUnit", "- unitName:  ", "- valueStrings:  []"});
  };
  EXPECT_EQ(printed([&] { ParameterTreeDump::extractParameters("parameterTree", tree, 0); }),
            levelBlock + innerBlock("\t") + innerBlock("\t\t"));

  {
    SCOPED_TRACE("no tree; a tree of parameters only");
    EXPECT_EQ(printed([] { ParameterTreeDump::extractParameters("parameterTree", nullptr, 0); }),
              "ExtensionViewController: The parameter group has no children.\n");
    auto flat = AUParameterTree::createTreeWithChildren({parameter("Flat", 1, 0, 1, 0, 0, 0)});
    EXPECT_EQ(printed([&] { ParameterTreeDump::extractParameters("parameterTree", flat, 0); }), "");
  }
}

TEST(ParameterTreeDump, FlagRowsAndUnitNames) {
  const std::string header = "- The flag value includes the following flags... \n";
  const struct {
    AudioUnitParameterOptions flags;
    std::string rows;
  } cases[] = {
      {0, ""},
      {0x50000, " - flag_DisplaySquareRoot\n - flag_DisplayCubeRoot\n - flag_DisplayExponential\n"},
      {0xC0000000, " - flag_IsReadable\n - flag_IsWritable\n"},
      {0x470000,
       " - flag_DisplayMask\n - flag_DisplaySquareRoot\n - flag_DisplaySquared\n - flag_DisplayCubed\n"
       " - flag_DisplayCubeRoot\n - flag_DisplayExponential\n - flag_DisplayLogarithmic\n"},
      {0x0F802010,
       " - flag_CFNameRelease\n - flag_OmitFromPresets\n - flag_IsHighResolution\n - flag_NonRealTime\n"
       " - flag_CanRamp\n - flag_ExpertMode\n - flag_HasCFNameString\n"},
      {0x3030C000,
       " - flag_PlotHistory\n - flag_MeterReadOnly\n - flag_HasClump\n - flag_ValuesHaveStrings\n"
       " - flag_IsGlobalMeta\n - flag_IsElementMeta\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    EXPECT_EQ(printed([&] { ParameterTreeDump::verboseFlags(c.flags, 0); }), header + c.rows);
  }
  {
    SCOPED_TRACE("all 22 rows, at level 2: the meter row alone starts its line");
    std::string rows;
    for (const char* name :
         {"CFNameRelease",      "OmitFromPresets",    "PlotHistory",    "MeterReadOnly",
          "DisplayMask",        "DisplaySquareRoot",  "DisplaySquared", "DisplayCubed",
          "DisplayCubeRoot",    "DisplayExponential", "HasClump",       "ValuesHaveStrings",
          "DisplayLogarithmic", "IsHighResolution",   "NonRealTime",    "CanRamp",
          "ExpertMode",         "HasCFNameString",    "IsGlobalMeta",   "IsElementMeta",
          "IsReadable",         "IsWritable"})
      rows += (std::string(name) == "MeterReadOnly" ? "" : "\t\t") + std::string(" - flag_") + name + "\n";
    EXPECT_EQ(printed([] { ParameterTreeDump::verboseFlags(0xFFFFFFFF, 2); }), "\t\t" + header + rows);
  }

  // Every unit by its raw value, 0 ... 27, then the largest.
  std::string names;
  for (UInt32 raw = 0; raw <= 28; ++raw)
    names += ParameterTreeDump::verboseParameterKind(
                 static_cast<AudioUnitParameterUnit>(raw == 28 ? 0xFFFFFFFF : raw)) +
             ",";
  EXPECT_EQ(
      names,
      "generic,indexed,boolean,percent,seconds,sampleFrames,phase,rate,hertz,cents,relativeSemiTones,"
      "midiNoteNumber,midiController,decibels,linearGain,degrees,equalPowerCrossfade,mixerFaderCurve1,pan,"
      "meters,absoluteCents,octaves,BPM,beats,milliseconds,ratio,customUnit,unknown parameter kind,"
      "unknown parameter kind,");
}
