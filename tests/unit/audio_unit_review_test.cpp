// Audio unit cases beside the main suites: a wrapped-limiter format that is refused during
// allocation, the kernel's time constants for settings made before allocation, non-finite values
// reaching the preset delegate call-back, and the order in which the limiter's unit printer
// reads a unit's properties.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "AudioToolbox/AudioComponent.h"
#include "Foundation/Bundle.h"
#include "Foundation/TextForms.h"
#include "KOVCompressorParameters.h"
#include "unit_host.h"
#include "unit_test_support.h"

using unittest::beginCapture;
using unittest::endCapture;
using unittest::Host;
using unittest::Stereo;

namespace {

std::size_t indexOf(const std::vector<std::string>& lines, const std::string& prefix) {
  const auto it = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  return std::size_t(it - lines.begin());
}

}  // namespace

TEST(AudioUnitReview, ARefusedLimiterFormatIsLoggedAndAllocationGoesOn) {
  auto unit = unittest::makeUnit();
  const std::shared_ptr<AUAudioUnit> limiter = unit->effectForTesting()->auAudioUnit();
  // The host formats the output bus at the input bus's rate; the limiter's input bus then
  // cannot take two channels and keeps the stereo format it had.
  const double rate = (*limiter->inputBusses())[0]->format()->sampleRate();
  (*unit->outputBusses())[0]->setFormat(AVAudioFormat::makeStandard(rate, 2));
  (*unit->inputBusses())[0]->setMaximumChannelCount(1);
  const std::string inputRate = describe(rate);
  beginCapture();
  std::shared_ptr<NSError> error;
  const bool allocated = unit->allocateRenderResourcesAndReturnError(&error);
  const std::vector<std::string> lines = unittest::withoutKernelLines(endCapture());
  // Allocation goes on after the refused set: the output bus's set is skipped, the limiter
  // allocates with the formats its buses already have.
  EXPECT_TRUE(allocated);
  EXPECT_EQ(error, nullptr);
  const std::vector<std::string> expected = {
      "AUExtension::allocateRenderResources()",
      "AUExtension::outputBusses: 1",
      "AUExtension::outputBusses: 1",
      "AUExtension: WARNING: The property 'musicalContextBlock' is NOT defined.",
      "AUExtension: WARNING: The property 'transportStateBlock' is NOT defined.",
      "AUExtension: WARNING: The property 'scheduleMIDIEventBlock' is NOT defined.",
      "AUExtension::midiOutputEventBlock (get) ",
      "AUExtension::midiOutputEventBlock (get) ",
      "AUExtension: WARNING: The property 'midiOutputEventBlock' is NOT defined.",
      "AUExtension: Native wrapped unit input samplerate (prior): " + inputRate + ".",
      "AUExtension: Native wrapped unit output samplerate (prior): " + inputRate + ".",
      "AUExtension::outputBusses: 1",
      // The platform's description ends in a full stop of its own.
      "AUExtension: WARNING: The format could not be set to the wrapped unit: "
      "The format has more channels than the bus can carry..",
      "AUExtension: New wrapped unit input samplerate: " + inputRate + ".",
      "AUExtension: New wrapped unit output samplerate: " + inputRate + "."};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(unit->effectForTesting()->attackTime(), 0.03);
  EXPECT_EQ(unit->effectForTesting()->decayTime(), 0.06);
  EXPECT_EQ(unit->effectForTesting()->preGain(), -0.01);
}

TEST(AudioUnitReview, SettingsMadeBeforeAllocationRunAtTheHostRate) {
  // A host that restores the state first and allocates afterwards: the attack setting reached
  // the kernel while it still ran at 48 kHz, and must be recomputed for the host's rate. A step
  // of 0.5 through the plain path with the largest ratio crosses 0.5 sqrt(T / 0.25) once the
  // detector has risen halfway, after n = ln 0.5 / ln(1 - A) samples,
  // A = 10^(1 / (50 + sr a^2 / 2)) - 1.
  const float attack = 0.5f;
  for (double rate : {44100.0, 96000.0}) {
    SCOPED_TRACE(rate);
    beginCapture();
    Host host(rate, 4096, false);
    for (const auto& [address, value] : std::vector<std::pair<std::int32_t, float>>{
             {11, 0.0f}, {9, 0.0f}, {10, 1.0f}, {6, 0.0f}, {0, attack}, {2, 0.5f}, {3, 1.0f}, {4, 0.5f}, {5, 1.0f}}) {
      host.unit->setParameter(address, value);
    }
    host.allocate();
    const std::size_t frames = std::size_t(rate * 0.2);
    const Stereo input(frames, 0.5f);
    Stereo output(frames);
    for (std::size_t position = 0; position < frames; position += 512) {
      const AUAudioFrameCount count = AUAudioFrameCount(std::min<std::size_t>(512, frames - position));
      EXPECT_EQ(host.renderAt(input, output, position, count), noErr);
    }
    endCapture();
    const double threshold = std::pow(10.0, 3.0 * (0.5 - 1.0));
    const double crossing = 0.5 * std::sqrt(threshold / 0.25);
    const auto it = std::find_if(output.left.begin(), output.left.end(), [&](float y) { return y < crossing; });
    ASSERT_NE(it, output.left.end());
    const double measured = double(it - output.left.begin()) / rate;
    const double coefficient = std::pow(10.0, 1.0 / (50.0 + 0.5 * rate * attack * attack)) - 1.0;
    const double expected = std::log(0.5) / std::log(1.0 - coefficient) / rate;
    EXPECT_NEAR(measured, expected, 2.0 / rate);
  }
}

TEST(AudioUnitReview, PresetCallbackKeepsNonFiniteValuesOutOfTheTree) {
  auto unit = unittest::makeUnit();
  const auto valueAt = [&](AUParameterAddress address) {
    return unit->parameterTree()->parameterWithAddress(address)->value();
  };
  beginCapture();
  unit->onFoundParameter(0, "kCompressorAttack", 0, std::numeric_limits<float>::quiet_NaN());
  unit->onFoundParameter(0, "kCompressorRelease", 1, std::numeric_limits<float>::infinity());
  unit->onFoundParameter(0, "kCompressorMode", 6, -std::numeric_limits<float>::infinity());
  unit->onFoundParameter(0, "kCompressorRatio", 3, 0.25f);
  unit->onFoundParameter(0, "none", 12, 0.25f);
  endCapture();
  EXPECT_EQ(valueAt(0), kKOVParameterTable[0].defaultValue);  // NaN: nothing set
  EXPECT_EQ(valueAt(1), 1.0f);                                // clamped to the maximum
  EXPECT_EQ(valueAt(6), 0.0f);                                // clamped to the minimum
  EXPECT_EQ(valueAt(3), 0.25f);
  EXPECT_EQ(unit->getParameter(0), kKOVParameterTable[0].defaultValue);
}

TEST(AudioUnitReview, UnitPrinterReadsFactoryPresetsAtItsOwnLine) {
  // The unit printer accepts any unit; this effect's preset listing reports a missing folder,
  // and that line must come where the printer reads the list: after the current preset line,
  // before the factory presets line.
  const std::filesystem::path missing =
      std::filesystem::temp_directory_path() / ("kov_review_missing_" + std::to_string(::getpid()));
  std::filesystem::remove_all(missing);
  Bundle::setMainResourcePath(missing.string());
  beginCapture();
  auto unit = unittest::makeUnit();
  endCapture();
  beginCapture();
  unit->effectForTesting()->unitDiagnostics(unit);
  const std::vector<std::string> lines = endCapture();
  Bundle::setMainResourcePath(std::nullopt);
  const std::size_t current = indexOf(lines, " -- unit current preset: ");
  const std::size_t failure = indexOf(lines, "Creating factory presets failed: ");
  const std::size_t factory = indexOf(lines, " -- unit .factory presets: ");
  ASSERT_LT(factory, lines.size());
  ASSERT_LT(failure, lines.size());
  EXPECT_EQ(lines[factory], " -- unit .factory presets: Optional([])");
  EXPECT_EQ(failure, current + 1);
  EXPECT_EQ(factory, failure + 1);
}

TEST(AudioUnitReview, WithoutTheSystemLimiterTheUnitIsNotMade) {
  // Every bus, allocation and render call of the unit goes to the wrapped limiter: when the
  // platform cannot make it, the entry point reports a failed initialisation instead of handing
  // out a unit that would dereference nothing.
  const AudioComponentDescription limiterDescription{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0};
  AudioComponentRegisterSystemEffect(limiterDescription, "Apple: AUPeakLimiter", 0x10000,
                                     [](const AudioComponentDescription&, AudioComponentInstantiationOptions)
                                         -> std::shared_ptr<AUAudioUnit> { return nullptr; });
  std::shared_ptr<NSError> error;
  beginCapture();
  auto unit = AUAudioUnit::initWithComponentDescription<KOV_Compressor_Extension_AudioUnit>(
      unittest::kEffectDescription, 0, &error);
  const std::vector<std::string> lines = unittest::withoutKernelLines(endCapture());
  registerSystemPeakLimiter();  // the platform's own limiter again, for the tests after this one
  EXPECT_EQ(unit, nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
  EXPECT_EQ(error->code(), kAudioUnitErr_FailedInitialization);
  EXPECT_EQ(lines, (std::vector<std::string>{"ERROR: Unit (peak limiter) not initialized.", "AUExtension::init()",
                                             "QFLD : kvc1"}));

  SCOPED_TRACE("with the limiter registered again, units are made as before");
  beginCapture();
  auto again = AUAudioUnit::initWithComponentDescription<KOV_Compressor_Extension_AudioUnit>(
      unittest::kEffectDescription, 0, &error);
  endCapture();
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again->effectForTesting()->auAudioUnit(), nullptr);
}
