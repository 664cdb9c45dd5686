// The knob's value text and the mode button's labels. Each table is checked as one line of its
// results, in the order of its inputs.
#include <gtest/gtest.h>

#include <limits>

#include "KOVValueTexts.h"

namespace {

TEST(KnobValueText, WholePercentRoundedHalfAwayFromZero) {
  const CGFloat inf = std::numeric_limits<CGFloat>::infinity();
  std::string texts;
  // Beyond what a 64-bit integer holds: the nearest end of its range; NaN shows 0.
  for (const CGFloat value : {0.5, 0.005, 0.994, 0.995, 1.2, -0.004, -0.005, 1e300, -inf,
                              std::numeric_limits<CGFloat>::quiet_NaN(), 9e16, 9.3e16})
    texts += knobValueText(value) + " ";
  EXPECT_EQ(texts,
            "50 1 99 100 120 0 -1 9223372036854775807 -9223372036854775808 0 9000000000000000000 "
            "9223372036854775807 ");
}

TEST(ModeLabel, WholePartNamesTheLabelAndTheButtonCyclesThroughThem) {
  std::string labels;  // "-": no label, the panel keeps its own
  for (const float value : {0.0f, 1.0f, 2.0f, 1.9f, -0.99f, 2.99f, 3.0f, -1.0f, 1e30f, -1e30f,
                            std::numeric_limits<float>::quiet_NaN()})
    labels += std::string(modeLabel(value).value_or("-")) + " ";
  EXPECT_EQ(labels, "dual linked m/s linked dual m/s - - - - - ");
  std::string cycle;
  for (const char* label : {"dual", "linked", "m/s", "mid-side"})
    cycle += std::string(nextModeLabel(label).value_or("-")) + " ";
  EXPECT_EQ(cycle, "linked m/s dual - ");
  for (const char* label : {"dual", "linked", "m/s"})
    EXPECT_EQ(modeLabel(*modeValue(label)), label) << label;
}

}  // namespace
