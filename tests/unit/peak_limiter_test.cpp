// AUPeakLimiter: the system limiter it wraps, its bounded parameters and the self-test with its
// diagnostics lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "PeakLimiterTestAccess.h"
#include "AUPeakLimiter.h"
#include "unit_host.h"

namespace {

float systemParameter(const AUPeakLimiter& limiter, AudioUnitParameterID id) {
  AudioUnitParameterValue value = -999.0f;
  EXPECT_EQ(AudioUnitGetParameter(limiter.internalEffect->audioUnit(), id, kAudioUnitScope_Global, 0, &value),
            noErr);
  return value;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The unit printer's lines, each a label and its value; after each "bus type" line come the
// lines of every bus of that side, `kBusLabels` after " --- bus <index>".
const std::vector<std::string> kUnitLabels = {" -- unit all parameter values: ",
                                              " -- unit name: ",
                                              " -- unit short name: ",
                                              " -- unit can process inplace: ",
                                              " -- unit channel capabilities: ",
                                              " -- unit channel map: ",
                                              " -- unit component: ",
                                              " -- unit component description: ",
                                              " -- unit component name: ",
                                              " -- unit component version: ",
                                              " -- unit context name: ",
                                              " -- unit current preset: ",
                                              " -- unit .factory presets: ",
                                              " -- unit input busses: ",
                                              " -- unit input bus count: ",
                                              " -- unit input bus type: ",
                                              " -- unit music device: ",
                                              " -- unit rendering offline: ",
                                              " -- unit latency: ",
                                              " -- unit manufacturer name: ",
                                              " -- unit max. frames to render: ",
                                              " -- unit midi buffer size: ",
                                              " -- unit midi output event block: ",
                                              " -- unit midi output names:",
                                              " -- unit musical context block: ",
                                              " -- unit output busses: ",
                                              " -- unit output bus count: ",
                                              " -- unit output bus type: ",
                                              " -- unit parameters for overview: ",
                                              " -- unit parameter tree: ",
                                              " -- unit provides user interface: ",
                                              " -- unit render quality: ",
                                              " -- unit resources allocated: ",
                                              " -- unit should bypass effect: ",
                                              " -- unit supported view configurations: ",
                                              " -- unit suppoerts MPE: ",
                                              " -- unit supports user presets: ",
                                              " -- unit tail time: ",
                                              " -- unit transport state block: ",
                                              " -- unit user presets: ",
                                              " -- unit midi cable count: "};
const std::vector<std::string> kBusLabels = {" type: ",
                                             " representation latency: ",
                                             " format: ",
                                             " format channel count: ",
                                             " format common format: ",
                                             " format channel layout: ",
                                             " format interleaved: ",
                                             " format standard: ",
                                             " format samplerate: ",
                                             " format settings: ",
                                             " index: ",
                                             " enabled: ",
                                             " max. channel count: ",
                                             " name: ",
                                             " should allocate buffer: "};

}  // namespace

TEST(PeakLimiterWrapper, SystemLimiterDefaultsAndBoundedWrites) {
  unittest::beginCapture();
  AUPeakLimiter limiter;
  EXPECT_EQ(unittest::endCapture(),
            std::vector<std::string>{"System Peak Limiter AudioUnit created and initialized."});
  ASSERT_NE(limiter.auAudioUnit(), nullptr);
  const AudioComponentDescription& d = limiter.auAudioUnit()->componentDescription();
  EXPECT_EQ(std::tuple(d.componentType, d.componentSubType, d.componentManufacturer),
            std::tuple(FourCC("aufx"), FourCC("lmtr"), FourCC("appl")));
  EXPECT_EQ(std::tuple(systemParameter(limiter, 0), systemParameter(limiter, 1), systemParameter(limiter, 2)),
            std::tuple(0.012f, 0.024f, 0.0f));
  EXPECT_EQ(std::tuple(limiter.attackTime(), limiter.decayTime(), limiter.preGain()),
            std::tuple(0.012, 0.024, 0.0));

  {
    SCOPED_TRACE("writes are bounded and always sent");
    struct Case {
      const char* what;
      void (AUPeakLimiter::*set)(double);
      double (AUPeakLimiter::*get)() const;
      AudioUnitParameterID id;
      double written;
      double stored;
    };
    const std::vector<Case> cases = {
        {"attack 0.1 -> 0.03", &AUPeakLimiter::setAttackTime, &AUPeakLimiter::attackTime, 0, 0.1, 0.03},
        {"decay 0.1 -> 0.06", &AUPeakLimiter::setDecayTime, &AUPeakLimiter::decayTime, 1, 0.1, 0.06},
        {"pre-gain -0.01", &AUPeakLimiter::setPreGain, &AUPeakLimiter::preGain, 2, -0.01, -0.01},
        {"attack 0 -> 0.001", &AUPeakLimiter::setAttackTime, &AUPeakLimiter::attackTime, 0, 0.0, 0.001},
        {"decay -1 -> 0.001", &AUPeakLimiter::setDecayTime, &AUPeakLimiter::decayTime, 1, -1.0, 0.001},
        {"pre-gain 50 -> 40", &AUPeakLimiter::setPreGain, &AUPeakLimiter::preGain, 2, 50.0, 40.0},
        {"pre-gain -50 -> -40", &AUPeakLimiter::setPreGain, &AUPeakLimiter::preGain, 2, -50.0, -40.0},
    };
    // Every write reaches the system unit's tree, also when the value does not change; the second
    // write of each case, on the bound itself, must pass unchanged.
    std::vector<std::pair<AUParameterAddress, AUValue>> sent;
    const std::shared_ptr<AUParameterTree> tree = limiter.auAudioUnit()->parameterTree();
    ASSERT_NE(tree, nullptr);
    const AUParameterObserverToken token = tree->tokenByAddingParameterObserver(
        [&](AUParameterAddress address, AUValue value) { sent.emplace_back(address, value); });
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      sent.clear();
      (limiter.*c.set)(c.written);
      EXPECT_EQ((limiter.*c.get)(), c.stored);
      EXPECT_EQ(systemParameter(limiter, c.id), float(c.stored));
      (limiter.*c.set)(c.stored);  // the same value again is sent again
      EXPECT_EQ((limiter.*c.get)(), c.stored);
      const std::vector<std::pair<AUParameterAddress, AUValue>> expected = {{c.id, float(c.stored)},
                                                                            {c.id, float(c.stored)}};
      EXPECT_EQ(sent, expected);
    }
    tree->removeParameterObserver(token);
  }

  SCOPED_TRACE("without the system unit, writes are still bounded and print nothing");
  limiter.internalEffect = nullptr;
  unittest::beginCapture();
  limiter.setAttackTime(0.1);
  EXPECT_TRUE(unittest::endCapture().empty());
  EXPECT_EQ(limiter.attackTime(), 0.03);
  EXPECT_EQ(limiter.auAudioUnit(), nullptr);
}

// The self-test is a diagnostic the product never runs: one smoke test of its frame and size.
TEST(PeakLimiterWrapper, SelfTestPrintsItsDiagnosticsAndReleasesItsEngines) {
  AUPeakLimiter limiter;
  unittest::beginCapture();
  limiter.run(nullptr);
  EXPECT_EQ(
      unittest::endCapture(false),
      (std::vector<std::string>{"CREATING AVAUDIO ENGINE ..", "ATTACHING EFFECT ..", "DETACHING EFFECT .."}));
  testing::internal::CaptureStdout();  // not beginCapture(), which would print the queued lines first
  const std::vector<std::string> lines = unittest::endCapture();
  // Frame, node name and unit, 41 unit lines, 15 per bus a side, 9 node lines, frame.
  ASSERT_EQ(lines.size(), 3u + 2u + 41u + 30u + 9u + 3u);
  const std::vector<std::string> frame = {"", "AUPeakLimiter::nodeDiagnostics(): " + std::string(45, '-'),
                                          ""};
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), frame);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()), frame);
  EXPECT_EQ(lines[3], " - node name: AUPeakLimiter");
  EXPECT_EQ(lines[5 + 14], " -- unit input bus count: 1");

  unittest::beginCapture();
  const std::weak_ptr<AVAudioEngine> first = PeakLimiterTestAccess::engine(limiter);
  limiter.run(nullptr);
  unittest::endCapture();
  EXPECT_TRUE(first.expired());
  EXPECT_TRUE(PeakLimiterTestAccess::engine(limiter)->attachedNodes().empty());

  SCOPED_TRACE("no node: nodeDiagnostics prints nothing, run prints the error");
  limiter.internalEffect = nullptr;
  unittest::beginCapture();
  limiter.nodeDiagnostics();
  limiter.run(nullptr);
  EXPECT_EQ(unittest::endCapture(), std::vector<std::string>{"ERROR: Unit (peak limiter) not initialized."});
}

// Every line of the self-test in order, with its label; values the system limiter pins.
TEST(PeakLimiterWrapper, SelfTestLinesCarryTheirLabelsAndValues) {
  AUPeakLimiter limiter;
  unittest::beginCapture();
  limiter.run(nullptr);
  {
    SCOPED_TRACE("the progress lines print at once, the diagnostics wait for the main queue");
    const std::vector<std::string> direct = unittest::endCapture(false);
    EXPECT_EQ(direct, (std::vector<std::string>{"CREATING AVAUDIO ENGINE ..", "ATTACHING EFFECT ..",
                                                "DETACHING EFFECT .."}));
  }
  testing::internal::CaptureStdout();
  const std::vector<std::string> lines = unittest::endCapture();
  const std::string header = "AUPeakLimiter::nodeDiagnostics(): " + std::string(45, '-');
  // A blank line, the header, a blank line; node lines around the unit lines (one bus a side);
  // the header again.
  std::vector<std::string> labels = {" - node name: AUPeakLimiter", " - node unit: "};
  for (const std::string& label : kUnitLabels) {
    labels.push_back(label);
    if (label.find(" bus type: ") == std::string::npos)
      continue;
    for (const std::string& bus : kBusLabels)
      labels.push_back(" --- bus 0" + bus);  // index 0 on both sides
  }
  labels.insert(labels.end(),
                {" - node last render time: ", " - node latency: ", " - node number of inputs: 1",
                 " - node input bus 0 format: ", " - node input bus 0 name: ", " - node number of outputs: 1",
                 " - node output bus 0 format: ", " - node output bus 0 name: ",
                 " - node output presentation latency: "});
  ASSERT_EQ(lines.size(), 3u + 2u + 41u + 30u + 9u + 3u);
  ASSERT_EQ(labels.size() + 6u, lines.size());
  const std::vector<std::string> frame = {"", header, ""};
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), frame);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()), frame);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    EXPECT_TRUE(startsWith(lines[i + 3], labels[i])) << lines[i + 3] << " is no " << labels[i];
  }
  EXPECT_EQ(lines[3], " - node name: AUPeakLimiter");
  EXPECT_EQ(lines[5 + 14], " -- unit input bus count: 1");

  SCOPED_TRACE("pinned values of the system limiter");
  const auto find = [&](const std::string& prefix) {
    for (const std::string& line : lines)
      if (startsWith(line, prefix))
        return line;
    return std::string();
  };
  EXPECT_EQ(find(" -- unit midi output names:"), " -- unit midi output names:[]");
  EXPECT_EQ(find(" -- unit current preset: "), " -- unit current preset: nil");
  EXPECT_EQ(find(" -- unit musical context block: "), " -- unit musical context block: nil");
  EXPECT_EQ(find(" -- unit supports user presets: "), " -- unit supports user presets: false");
  EXPECT_EQ(find(" -- unit short name: "), " -- unit short name: none");
  EXPECT_EQ(find(" --- bus 0 name: "), " --- bus 0 name: none");
  EXPECT_EQ(find(" --- bus 0 index: "), " --- bus 0 index: 0");
  // The engine has not rendered: a time made from host time 0 stands in.
  const std::string engineTime = find(" - node last render time: ");
  EXPECT_NE(engineTime.find("hostTime = 0;"), std::string::npos) << engineTime;
}

TEST(PeakLimiterWrapper, UnitPrinterOnAUnitWithoutBuses) {
  AUPeakLimiter limiter;
  auto bare = std::make_shared<AUAudioUnit>(
      AudioComponentDescription{FourCC("aufx"), FourCC("none"), FourCC("test"), 0, 0});
  unittest::beginCapture();
  limiter.unitDiagnostics(bare);
  const std::vector<std::string> lines = unittest::endCapture();
  ASSERT_EQ(lines.size(), kUnitLabels.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_TRUE(startsWith(lines[i], kUnitLabels[i])) << lines[i];
  EXPECT_EQ(lines[1], " -- unit name: none");
  EXPECT_EQ(lines[8], " -- unit component name: none");
  EXPECT_EQ(lines[11], " -- unit current preset: nil");
  EXPECT_EQ(lines[12], " -- unit .factory presets: nil");
  EXPECT_EQ(lines[14], " -- unit input bus count: 0");
  EXPECT_EQ(lines[26], " -- unit output bus count: 0");
  EXPECT_EQ(lines[29], " -- unit parameter tree: nil");
  EXPECT_EQ(lines[38], " -- unit transport state block: nil");
  EXPECT_EQ(lines[39], " -- unit user presets: []");
  EXPECT_EQ(lines[40], " -- unit midi cable count: 0");
}
