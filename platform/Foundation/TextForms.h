// The text forms of values that printed lines are made of:
// Float and Double print in their shortest round-trip form with at least one decimal
// ("48000.0", "0.1", "1.0", "1e-05", "inf", "nan"), Bool as true/false, lists of texts as
// ["a", "b"], optionals as their value or nil (or Optional(...) when interpolated).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::string describe(float value);
std::string describe(double value);
std::string describe(bool value);
std::string describe(std::int64_t value);
std::string describe(std::uint64_t value);
std::string describe(int value);
std::string describe(unsigned value);
std::string describe(std::string_view text);  // the text itself
// A list of texts as in a debug print: ["a", "b"].
// Escapes as the runtime's debug text of a string: \" \' \\ \n \r \t \0, other control
// characters as \u{1B}.
std::string describe(const std::vector<std::string>& texts);
// A list of numbers: [1.0, 2.5]
std::string describe(const std::vector<double>& values);
std::string describe(const std::vector<float>& values);
std::string describe(const std::vector<std::int64_t>& values);

// An optional as `print(x)` shows it: "Optional(…)" or "nil"; a text inside is quoted.
template <typename T>
std::string describeOptional(const std::optional<T>& value);
// An optional text as `print(x ?? ...)`-free interpolation shows it: Optional("a") or nil.
std::string describeOptional(const std::optional<std::string>& value);

template <typename T>
std::string describeOptional(const std::optional<T>& value) {
  return value ? "Optional(" + describe(*value) + ")" : std::string("nil");
}
