// The texts the panel derives from numbers: a knob's value as a whole percentage and the mode
// label of a mode value. Both take any number, including NaN, infinities and huge values,
// without trapping. [any]
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "CoreGraphics/CGGeometry.h"

// valueKnob · 100 rounded to the nearest whole number, halves away from zero, in decimal:
// "50" for 0.5, "1" for 0.005, "120" for 1.2, "0" for -0.004. A value beyond the signed 64-bit
// range shows the nearest end of that range; NaN shows "0".
std::string knobValueText(CGFloat valueKnob);

// The label of a mode value truncated toward zero: 0 "dual", 1 "linked", 2 "m/s". Nothing for
// any other whole number (3, the mid-side linked mode, included) or a value that is not one
// (NaN, infinite).
std::optional<std::string_view> modeLabel(float value);

// The mode value a label stands for, and the label that follows it on the mode button
// ("dual" → "linked" → "m/s" → "dual"); nothing for other labels.
std::optional<float> modeValue(std::string_view label);
std::optional<std::string_view> nextModeLabel(std::string_view label);
