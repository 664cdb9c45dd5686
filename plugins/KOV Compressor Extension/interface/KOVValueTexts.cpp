#include "KOVValueTexts.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr std::array<std::string_view, 3> kModeLabels = {"dual", "linked", "m/s"};

}  // namespace

std::string knobValueText(CGFloat valueKnob) {
  const CGFloat rounded = std::round(valueKnob * 100);  // halves away from zero
  // 2^63 is exact in a double; every double below it and at or above -2^63 converts safely.
  constexpr CGFloat kLimit = 9223372036854775808.0;
  std::int64_t whole = 0;
  if (std::isnan(rounded)) {
    whole = 0;
  } else if (rounded >= kLimit) {
    whole = std::numeric_limits<std::int64_t>::max();
  } else if (rounded < -kLimit) {
    whole = std::numeric_limits<std::int64_t>::min();
  } else {
    whole = static_cast<std::int64_t>(rounded);
  }
  return std::to_string(whole);
}

std::optional<std::string_view> modeLabel(float value) {
  // Only 0, 1 and 2 name a label; testing the open interval first keeps NaN, infinities and
  // huge values away from the integer conversion.
  if (!(value > -1.0f && value < 3.0f))
    return std::nullopt;
  return kModeLabels[static_cast<std::size_t>(static_cast<int>(value))];
}

std::optional<float> modeValue(std::string_view label) {
  for (std::size_t i = 0; i < kModeLabels.size(); ++i) {
    if (kModeLabels[i] == label)
      return static_cast<float>(i);
  }
  return std::nullopt;
}

std::optional<std::string_view> nextModeLabel(std::string_view label) {
  const std::optional<float> value = modeValue(label);
  if (!value)
    return std::nullopt;
  return kModeLabels[(static_cast<std::size_t>(*value) + 1) % kModeLabels.size()];
}
