#include "Foundation/TextForms.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Shortest round-trip digits of a finite, non-zero value: the digit string without a point and
// the decimal exponent of its first digit (value = d.ddd x 10^exponent).
struct Digits {
  std::string digits;
  int exponent = 0;
};

template <typename F>
Digits shortestDigits(F magnitude) {
  char buffer[64];
  // Scientific form without a precision gives the shortest text that reads back as the same
  // value: "1.2345e+04".
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  Digits out;
  for (char c : text.substr(0, e))
    if (c != '.')
      out.digits += c;
  out.exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  return out;
}

// The runtime's description of a binary floating-point value: the shortest digits that read back
// as the same value, in decimal notation with at least one digit after the point ("48000.0",
// "0.1", "0.0001"), and in exponential notation ("1e-05", "1.5e+300", at least two exponent
// digits) when the magnitude is below 1e-4 (first digit's exponent below -4, i.e. the digits
// start later than the fourth decimal place) or above 2^(p+1), p being the significand's bits:
// 2^54 for double, 2^25 for float (the runtime's bounds: 2^54 itself still prints as
// "18014398509481984.0", and so 1e16 as "10000000000000000.0", while 2^55 prints as
// "3.602879701896397e+16"; Float(2^25) as "33554432.0", Float(2^26) as "6.7108864e+07").
// Infinities print as "inf", NaNs as "nan", signalling NaNs as "snan", each with "-" when the
// sign bit is set.
// Whether a NaN is signalling: its quiet bit (the significand's top bit) is clear.
bool isSignalingNaN(float value) {
  return (std::bit_cast<std::uint32_t>(value) & 0x00400000u) == 0;
}
bool isSignalingNaN(double value) {
  return (std::bit_cast<std::uint64_t>(value) & 0x0008000000000000u) == 0;
}

template <typename F>
std::string describeFloatingPoint(F value, F decimalLimit) {
  if (std::isnan(value))
    return std::string(std::signbit(value) ? "-" : "") + (isSignalingNaN(value) ? "snan" : "nan");
  const std::string sign = std::signbit(value) ? "-" : "";
  if (std::isinf(value))
    return sign + "inf";
  if (value == 0)
    return sign + "0.0";

  const F magnitude = std::fabs(value);
  const Digits d = shortestDigits(magnitude);
  const int count = static_cast<int>(d.digits.size());

  if (d.exponent < -4 || magnitude > decimalLimit) {
    std::string text = sign + d.digits.substr(0, 1);
    if (count > 1)
      text += "." + d.digits.substr(1);
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "e%c%02d", d.exponent < 0 ? '-' : '+', std::abs(d.exponent));
    return text + exponent;
  }
  std::string text = sign;
  if (d.exponent < 0) {
    text += "0." + std::string(static_cast<std::size_t>(-d.exponent - 1), '0') + d.digits;
  } else if (count <= d.exponent + 1) {
    text += d.digits + std::string(static_cast<std::size_t>(d.exponent + 1 - count), '0') + ".0";
  } else {
    text += d.digits.substr(0, static_cast<std::size_t>(d.exponent + 1)) + "." +
            d.digits.substr(static_cast<std::size_t>(d.exponent + 1));
  }
  return text;
}

// A text as a debug print shows it: in quotation marks, with the runtime's escapes.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escaped[12];
          std::snprintf(escaped, sizeof escaped, "\\u{%X}", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

template <typename T, typename Describe>
std::string describeList(const std::vector<T>& values, Describe describeOne) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i)
      out += ", ";
    out += describeOne(values[i]);
  }
  return out + "]";
}

}  // namespace

std::string describe(float value) {
  return describeFloatingPoint(value, 0x1.0p25f);
}
std::string describe(double value) {
  return describeFloatingPoint(value, 0x1.0p54);
}
std::string describe(bool value) {
  return value ? "true" : "false";
}
std::string describe(std::int64_t value) {
  return std::to_string(value);
}
std::string describe(std::uint64_t value) {
  return std::to_string(value);
}
std::string describe(int value) {
  return std::to_string(value);
}
std::string describe(unsigned value) {
  return std::to_string(value);
}
std::string describe(std::string_view text) {
  return std::string(text);
}

std::string describe(const std::vector<std::string>& texts) {
  return describeList(texts, [](const std::string& t) { return quoted(t); });
}
std::string describe(const std::vector<double>& values) {
  return describeList(values, [](double v) { return describe(v); });
}
std::string describe(const std::vector<float>& values) {
  return describeList(values, [](float v) { return describe(v); });
}
std::string describe(const std::vector<std::int64_t>& values) {
  return describeList(values, [](std::int64_t v) { return describe(v); });
}

std::string describeOptional(const std::optional<std::string>& value) {
  return value ? "Optional(" + quoted(*value) + ")" : std::string("nil");
}
