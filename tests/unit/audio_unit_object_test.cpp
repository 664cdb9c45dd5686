// The audio unit object and its parameter tree: what creation prints and pushes into the
// kernel (and its failure without the system limiter), the capabilities and their log lines, the
// buses of the wrapped limiter, the editor's parameter operations and the tree's callbacks.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "AudioUnitTestAccess.h"
#include "AudioToolbox/AudioComponent.h"
#include "KOVCompressorParameters.h"
#include "KOV_Compressor_Extension_Parameters.h"
#include "unit_host.h"

using unittest::beginCapture;
using unittest::endCapture;

namespace {

std::string kernelLine(int address, const char* value) {
  return "unit received parameter : address:" + std::to_string(address) + ", value:" + value;
}

}  // namespace

TEST(AudioUnitObject, CreationPushesTheDefaultsAndLogsItsDescription) {
  beginCapture();
  auto unit = unittest::makeUnit();
  const std::vector<std::string> lines = endCapture();
  // Printed at once: the twelve defaults reaching the kernel in address order, the limiter's
  // construction; then, from the main queue, the unit's own two lines.
  const char* defaults[] = {"0.100000", "0.500000", "0.800000", "0.500000", "0.500000", "1.000000",
                            "0.000000", "0.000000", "0.000000", "0.600000", "1.000000", "1.000000"};
  std::vector<std::string> expected;
  for (int address = 0; address < 12; ++address)
    expected.push_back(kernelLine(address, defaults[address]));
  expected.insert(expected.end(), {"System Peak Limiter AudioUnit created and initialized.",
                                   "AUExtension::init()", "QFLD : kvc1"});
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(unit->className(), "KOV_Compressor_Extension.KOV_Compressor_Extension_AudioUnit");

  std::shared_ptr<NSError> error;
  {
    SCOPED_TRACE("without the system limiter the entry reports a failed initialisation, no unit");
    // Every bus, allocation and render call goes to the wrapped limiter: a unit without it would
    // dereference nothing.
    const AudioComponentDescription limiterDescription{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0};
    AudioComponentRegisterSystemEffect(
        limiterDescription, "Apple: AUPeakLimiter", 0x10000,
        [](const AudioComponentDescription&,
           AudioComponentInstantiationOptions) -> std::shared_ptr<AUAudioUnit> { return nullptr; });
    beginCapture();
    auto failed = AUAudioUnit::initWithComponentDescription<KOV_Compressor_Extension_AudioUnit>(
        unittest::kEffectDescription, 0, &error);
    const std::vector<std::string> failure = unittest::withoutKernelLines(endCapture());
    registerSystemPeakLimiter();  // the platform's own limiter again, for the tests after this one
    EXPECT_EQ(failed, nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
    EXPECT_EQ(error->code(), kAudioUnitErr_FailedInitialization);
    EXPECT_EQ(failure, (std::vector<std::string>{"ERROR: Unit (peak limiter) not initialized.",
                                                 "AUExtension::init()", "QFLD : kvc1"}));
  }
  SCOPED_TRACE("with the limiter registered again, the factory entry hands back the unit");
  error = nullptr;
  auto viaEntry = unittest::quietly([&] {
    return AUAudioUnit::initWithComponentDescription<KOV_Compressor_Extension_AudioUnit>(
        unittest::kEffectDescription, 0, &error);
  });
  ASSERT_NE(viaEntry, nullptr);
  EXPECT_NE(AudioUnitTestAccess::effect(*viaEntry)->auAudioUnit(), nullptr);
}

TEST(AudioUnitObject, CapabilitiesBusesAndTheirLines) {
  auto unit = unittest::quietUnit();
  beginCapture();
  EXPECT_TRUE(unit->isMusicDeviceOrEffect() && unit->canPerformInput() && unit->canPerformOutput() &&
              unit->canProcessInPlace());
  EXPECT_EQ(unit->virtualMIDICableCount(), 1);
  EXPECT_EQ(unit->MIDIOutputNames(), std::vector<std::string>{"KOV Compressor MIDI Out"});
  EXPECT_EQ(unit->channelCapabilities(), (std::vector<NSInteger>{2, 2}));
  EXPECT_EQ(unit->channelMap(), std::nullopt);
  unit->setChannelMap(std::vector<NSInteger>{1, 0});
  EXPECT_EQ(unit->channelMap(), std::nullopt);
  EXPECT_TRUE(unit->supportedViewConfigurations({{400, 300, false}, {800, 600, true}}).isEmpty());
  EXPECT_TRUE(unit->parametersForOverviewWithCount(4).empty());
  EXPECT_FALSE(unit->supportsUserPresets());
  const auto tree = unit->parameterTree();
  unit->setParameterTree(AUParameterTree::createTreeWithChildren({}));
  EXPECT_EQ(unit->parameterTree(), tree);
  EXPECT_FALSE(unit->MIDIOutputEventBlock());
  unit->setMIDIOutputEventBlock([](AUEventSampleTime, UInt8, NSInteger, const UInt8*) { return noErr; });
  EXPECT_TRUE(unit->MIDIOutputEventBlock());
  const std::vector<std::string> expected = {"AUExtension::isMusicDeviceOrEffect: true",
                                             "AUExtension::canPerformInput: true",
                                             "AUExtension::canPerformOutput: true",
                                             "AUExtension::canProcessInPlace() true",
                                             "AUExtension::virtualMIDICableCount: 1",
                                             "AUExtension::midiOutputNames: [\"KOV Compressor MIDI Out\"]",
                                             "AUExtension::channelCapabilities() 2:2",
                                             "AUExtension::supportedViewConfigurations()",
                                             "AUExtension::parametersForOverview()",
                                             "AUExtension::parameterTree (set) !!!",
                                             "AUExtension::midiOutputEventBlock (get) ",
                                             "AUExtension::midiOutputEventBlock (set) ",
                                             "AUExtension::midiOutputEventBlock (get) "};
  EXPECT_EQ(endCapture(), expected);

  SCOPED_TRACE("the buses are the wrapped limiter's own");
  const std::shared_ptr<AUAudioUnit> limiter = AudioUnitTestAccess::effect(*unit)->auAudioUnit();
  beginCapture();
  EXPECT_EQ(unit->inputBusses(), limiter->inputBusses());
  EXPECT_EQ(unit->outputBusses(), limiter->outputBusses());
  EXPECT_EQ(unit->inputBusses(), unit->inputBusses());
  EXPECT_EQ(unit->getSamplerate(), (*limiter->outputBusses())[0]->format()->sampleRate());
  EXPECT_EQ(endCapture(),
            (std::vector<std::string>{"AUExtension::inputBusses: 1", "AUExtension::outputBusses: 1",
                                      "AUExtension::inputBusses: 1", "AUExtension::inputBusses: 1",
                                      "AUExtension::outputBusses: 1"}));
}

TEST(AudioUnitObject, EditorParameterOperations) {
  auto unit = unittest::makeUnit();
  const auto tree = unit->parameterTree();
  std::vector<std::pair<AUParameterAddress, AUValue>> observed;
  const AUParameterObserverToken token = tree->tokenByAddingParameterObserver(
      [&](AUParameterAddress address, AUValue value) { observed.emplace_back(address, value); });
  {
    SCOPED_TRACE("the value the tree holds: not set on the tree, passed to the kernel once");
    beginCapture();
    unit->setParameter(0, 0.1f);
    EXPECT_EQ(endCapture(), std::vector<std::string>{kernelLine(0, "0.100000")});
    EXPECT_TRUE(observed.empty());
  }
  {
    SCOPED_TRACE("a new value: set on the tree (observers run), then passed again");
    beginCapture();
    unit->setParameter(3, 0.75f);
    EXPECT_EQ(endCapture(), (std::vector<std::string>{kernelLine(3, "0.750000"), kernelLine(3, "0.750000")}));
    EXPECT_EQ(observed, (std::vector<std::pair<AUParameterAddress, AUValue>>{{3, 0.75f}}));
    EXPECT_EQ(unit->getParameter(3), 0.75f);
  }
  {
    SCOPED_TRACE("addresses the tree does not hold, and negative ones, do nothing and read 0");
    observed.clear();
    beginCapture();
    for (std::int32_t address : {12, 14, 1000, -1, -2147483647 - 1}) {
      unit->setParameter(address, 0.5f);
      EXPECT_EQ(unit->getParameter(address), 0.0f);
    }
    EXPECT_TRUE(endCapture().empty());
    EXPECT_TRUE(observed.empty());
  }
  unittest::quietly([&] { AudioUnitTestAccess::kernelAdapter(*unit)->setParameterEx(11, 0.25f); });
  EXPECT_EQ(unit->getParameter(11), 0.25f) << "getParameter reads the kernel, not the tree's stored value";
  tree->removeParameterObserver(token);
}

TEST(AudioUnitObject, DumpParametersLogsTheTreeIndented) {
  auto unit = unittest::makeUnit();
  beginCapture();
  unit->dumpParameters("tree", unit->parameterTree(), 0);
  unit->dumpParameters("none", nullptr, 0);
  const std::vector<std::string> lines = endCapture();
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], "KOV Compressor Global");
  for (std::size_t i = 0; i < 12; ++i)
    EXPECT_EQ(lines[i + 1], " " + std::string(kKOVParameterTable[i].name));
}

TEST(ParameterTree, TextsAndKernelLink) {
  auto adapter = KOV_Compressor_ExtensionDSPKernelAdapter::make();
  auto parameters = unittest::quietly([&] { return KOV_Compressor_Extension_Parameters(adapter); });
  const auto& tree = parameters.parameterTree;
  // The shape, ranges and flags of the tree are the golden dump's; the texts and the kernel link
  // are the tree's own.
  {
    SCOPED_TRACE("display texts; no value: the parameter's current one");
    const auto text = [&](AUParameterAddress address, std::optional<AUValue> value) {
      const auto parameter = tree->parameterWithAddress(address);
      return value ? parameter->stringFromValue(&*value) : parameter->stringFromValue(nullptr);
    };
    const std::vector<std::tuple<AUParameterAddress, std::optional<AUValue>, std::string>> cases = {
        {0, 0.25f, "0.250"},
        {0, std::nullopt, "0.100"},
        {6, 1.0f, "linked"},
        {6, 2.7f, "mid-side"},
        {6, 3.0f, "mid-side linked"},
        {6, -0.5f, "dual"},
        {6, 4.0f, "4.000"},
        {8, 0.5f, "On"},
        {11, 0.999f, "Off"},
        {11, 2.0f, "Off"},
        {11, std::nullopt, "On"},
        {2, 1.0f, "1.000"},
        {6, 0.0f, "dual"},
        {6, -1.0f, "-1.000"},
        {7, 1.0f, "On"},
        {7, 0.0f, "Off"},
        {11, 1.0f, "On"}};
    for (const auto& [address, value, expected] : cases) {
      SCOPED_TRACE(std::to_string(address) + " " + (value ? std::to_string(*value) : "current"));
      EXPECT_EQ(text(address, value), expected);
    }
  }

  SCOPED_TRACE("set through the tree reaches the kernel; set past the tree is read through it");
  unittest::quietly([&] {
    tree->parameterWithAddress(2)->setValue(0.3f);
    adapter->setParameterEx(5, 0.7f);
  });
  EXPECT_EQ(adapter->getParameterEx(2), 0.3f);
  EXPECT_EQ(tree->parameterWithAddress(5)->value(), 0.7f);
}

// The group and its twelve parameters: names, ranges, units, flags, no value strings, and the
// kernel's numbers at creation.
TEST(ParameterTree, ShapeAndDefaults) {
  auto adapter = KOV_Compressor_ExtensionDSPKernelAdapter::make();
  auto parameters = unittest::quietly([&] { return KOV_Compressor_Extension_Parameters(adapter); });
  const auto& tree = parameters.parameterTree;
  ASSERT_EQ(tree->children().size(), 1u);
  const auto group = std::dynamic_pointer_cast<AUParameterGroup>(tree->children()[0]);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->identifier(), "kGlobalParameters");
  EXPECT_EQ(group->displayName(), "KOV Compressor Global");
  ASSERT_EQ(group->children().size(), 12u);
  for (std::size_t i = 0; i < 12; ++i) {
    const auto parameter = std::dynamic_pointer_cast<AUParameter>(group->children()[i]);
    ASSERT_NE(parameter, nullptr);
    SCOPED_TRACE(parameter->identifier());
    const KOVParameterInfo& row = kKOVParameterTable[i];
    EXPECT_EQ(parameter->address(), i);
    EXPECT_EQ(parameter->identifier(), row.identifier);
    EXPECT_EQ(parameter->displayName(), row.name);
    EXPECT_EQ(parameter->minValue(), 0.0f);
    EXPECT_EQ(parameter->maxValue(), i == 6 ? 3.0f : 1.0f);
    EXPECT_EQ(parameter->unit(), i == 6                          ? kAudioUnitParameterUnit_Indexed
                                 : (i == 7 || i == 8 || i == 11) ? kAudioUnitParameterUnit_Boolean
                                                                 : kAudioUnitParameterUnit_Generic);
    EXPECT_EQ(parameter->flags(), 0xC0000000u);
    EXPECT_EQ(parameter->unitName(), std::nullopt);
    EXPECT_EQ(parameter->valueStrings(), std::nullopt);
    EXPECT_EQ(parameter->value(), adapter->getParameterEx(std::int32_t(i)));  // numbers pinned at creation
  }
  EXPECT_EQ(group->children()[9]->displayName(), group->children()[10]->displayName());
}
