#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "KOVValueTexts.h"

namespace {

TEST(KnobValueText, WholePercentRoundedHalfAwayFromZero) {
  const CGFloat inf = std::numeric_limits<CGFloat>::infinity();
  const struct {
    CGFloat value;
    const char* text;
  } rows[] = {
      {0, "0"},
      {0.5, "50"},
      {0.005, "1"},
      {0.994, "99"},
      {0.995, "100"},
      {1, "100"},
      {1.2, "120"},
      {-0.004, "0"},
      {-0.005, "-1"},
      {-1.5, "-150"},
      // Beyond what a 64-bit integer holds: the nearest end of its range; NaN shows 0.
      {1e300, "9223372036854775807"},
      {inf, "9223372036854775807"},
      {-inf, "-9223372036854775808"},
      {std::numeric_limits<CGFloat>::quiet_NaN(), "0"},
      {9e16, "9000000000000000000"},
      {-9e16, "-9000000000000000000"},
      {9.3e16, "9223372036854775807"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(knobValueText(row.value), row.text);
  }
}

TEST(ModeLabel, WholePartNamesTheLabel) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    const char* label;  // null: no label, the panel keeps its own
  } rows[] = {
      {0, "dual"},      {1, "linked"},    {2, "m/s"},
      {1.9f, "linked"}, {-0.5f, "dual"},  {-0.99f, "dual"},
      {2.99f, "m/s"},   {3, nullptr},     {-1, nullptr},
      {4, nullptr},     {1e30f, nullptr}, {-1e30f, nullptr},
      {inf, nullptr},   {-inf, nullptr},  {std::numeric_limits<float>::quiet_NaN(), nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    const auto label = modeLabel(row.value);
    if (row.label == nullptr) {
      EXPECT_FALSE(label.has_value());
    } else {
      EXPECT_EQ(label, row.label);
    }
  }
}

TEST(ModeLabel, ButtonCyclesThroughTheThreeLabels) {
  EXPECT_EQ(nextModeLabel("dual"), "linked");
  EXPECT_EQ(nextModeLabel("linked"), "m/s");
  EXPECT_EQ(nextModeLabel("m/s"), "dual");
  EXPECT_FALSE(nextModeLabel("mid-side").has_value());
  for (const char* label : {"dual", "linked", "m/s"}) {
    SCOPED_TRACE(label);
    EXPECT_EQ(modeLabel(*modeValue(label)), label);
  }
}

}  // namespace
