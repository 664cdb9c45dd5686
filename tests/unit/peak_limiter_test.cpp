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
