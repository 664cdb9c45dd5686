// The runtime's text forms that log lines are built from, also at the edges of its rules.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Foundation/TextForms.h"

namespace {

// A value of type T and its text form.
template <class T>
struct Case {
  T value;
  const char* text;
};

template <class T, std::size_t N>
void expectDescriptions(const Case<T> (&cases)[N]) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(describe(c.value), c.text);
  }
}

}  // namespace

TEST(TextForms, FloatingPointDescriptions) {
  // Doubles print in decimal up to 2^54 and floats up to 2^25, so values between 2^53 and 2^54
  // (such as 1e16) and floats between 2^24 and 2^25 (such as 2e7) keep the decimal form; below
  // one, the fourth decimal place is the last in decimal form.
  const double quiet = std::numeric_limits<double>::quiet_NaN();
  const Case<double> doubles[] = {
      {48000.0, "48000.0"},
      {44100.0, "44100.0"},
      {0.1, "0.1"},
      {1.0, "1.0"},
      {-1.0, "-1.0"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {100.0, "100.0"},
      {0.5, "0.5"},
      {1.0 / 3.0, "0.3333333333333333"},
      {0.0001, "0.0001"},
      {0.00012, "0.00012"},
      {0.00001, "1e-05"},
      {1.5e-7, "1.5e-07"},
      {123456.789, "123456.789"},
      {-0.01, "-0.01"},
      {5e-324, "5e-324"},
      {1.5e300, "1.5e+300"},
      {9007199254740992.0, "9007199254740992.0"},      // 2^53
      {18014398509481984.0, "18014398509481984.0"},    // 2^54: the last value in decimal form
      {36028797018963968.0, "3.602879701896397e+16"},  // 2^55
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {INFINITY, "inf"},
      {-INFINITY, "-inf"},
      {NAN, "nan"},
      {1e16, "10000000000000000.0"},
      {1.2345678901234568e16, "12345678901234568.0"},
      {-1e16, "-10000000000000000.0"},
      {std::nextafter(18014398509481984.0, 1e300), "1.8014398509481988e+16"},
      {1e17, "1e+17"},
      {0.00011, "0.00011"},
      {0.000099, "9.9e-05"},
      {quiet, "nan"},
      {-quiet, "-nan"},
      {std::bit_cast<double>(std::uint64_t{0x7FF0000000000001}), "snan"},  // signalling
  };
  expectDescriptions(doubles);
  const Case<float> floats[] = {
      {0.1f, "0.1"},
      {1.0f, "1.0"},
      {48000.0f, "48000.0"},
      {0.3f, "0.3"},
      {1.0f / 3.0f, "0.33333334"},
      {-0.01f, "-0.01"},
      {16777216.0f, "16777216.0"},
      {33554432.0f, "33554432.0"},  // 2^24, 2^25
      {67108864.0f, "6.7108864e+07"},
      {1e-5f, "1e-05"},
      {0.0001f, "0.0001"},
      {-INFINITY, "-inf"},
      {3.4028235e38f, "3.4028235e+38"},
      {1e-45f, "1e-45"},
      {2e7f, "20000000.0"},
      {1e8f, "1e+08"},
      {std::nextafter(33554432.0f, 1e30f), "3.3554436e+07"},
      {0.012f, "0.012"},
      {std::numeric_limits<float>::quiet_NaN(), "nan"},
      {std::bit_cast<float>(std::uint32_t{0x7F800001}), "snan"},
      {std::bit_cast<float>(std::uint32_t{0xFF800001}), "-snan"},
  };
  expectDescriptions(floats);
}

TEST(TextForms, FloatingPointDescriptionsReadBackExactlyAndAreShort) {
  const auto significantDigits = [](const std::string& text) {
    std::string digits;
    for (char c : text.substr(0, text.find('e')))
      if (c >= '0' && c <= '9')
        digits += c;
    digits.erase(0, digits.find_first_not_of('0'));
    digits.erase(digits.find_last_not_of('0') + 1);
    return digits.size();
  };
  // Reads back exactly, in the shortest digits: a float never needs more than 9 significant
  // digits, a double 17.
  const auto readsBackShort = [&](auto value, auto parse, std::size_t mostDigits) {
    const std::string text = describe(value);
    ASSERT_EQ(parse(text.c_str()), value) << text;
    ASSERT_LE(significantDigits(text), mostDigits) << text;
  };
  std::mt19937_64 random(2024);
  for (int i = 0; i < 20000 && !testing::Test::HasFatalFailure(); ++i) {
    const std::uint64_t bits = random();
    const auto d = std::bit_cast<double>(bits);
    const auto f = std::bit_cast<float>(static_cast<std::uint32_t>(bits >> 32));
    if (std::isfinite(d))
      readsBackShort(
          d, [](const char* text) { return std::strtod(text, nullptr); }, 17u);
    if (std::isfinite(f))
      readsBackShort(
          f, [](const char* text) { return std::strtof(text, nullptr); }, 9u);
  }
}

TEST(TextForms, ScalarsListsAndOptionals) {
  EXPECT_EQ(describe(true), "true");
  EXPECT_EQ(describe(false), "false");
  EXPECT_EQ(describe(-10874), "-10874");
  EXPECT_EQ(describe(4096u), "4096");
  EXPECT_EQ(describe(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(describe(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
  EXPECT_EQ(describe(std::string_view("text")), "text");

  EXPECT_EQ(describe(std::vector<std::string>{"KOV Compressor MIDI Out"}), "[\"KOV Compressor MIDI Out\"]");
  EXPECT_EQ(describe(std::vector<std::string>{"a", "b"}), "[\"a\", \"b\"]");
  EXPECT_EQ(describe(std::vector<std::string>{}), "[]");
  EXPECT_EQ(describe(std::vector<std::string>{"say \"hi\"\\\n"}), "[\"say \\\"hi\\\"\\\\\\n\"]");
  // A single quote is escaped like a double quote in a string's debug text.
  EXPECT_EQ(describe(std::vector<std::string>{"don't"}), "[\"don\\'t\"]");
  EXPECT_EQ(describe(std::vector<std::string>{std::string("a\x1B"
                                                          "b\x7F",
                                                          4)}),
            "[\"a\\u{1B}b\\u{7F}\"]");
  EXPECT_EQ(describe(std::vector<std::string>{"Gr\u00FC\u00DFe"}), "[\"Gr\u00FC\u00DFe\"]");
  EXPECT_EQ(describe(std::vector<double>{1.0, 2.5}), "[1.0, 2.5]");
  EXPECT_EQ(describe(std::vector<float>{0.1f}), "[0.1]");
  EXPECT_EQ(describe(std::vector<float>{0.1f, 1.0f}), "[0.1, 1.0]");
  EXPECT_EQ(describe(std::vector<std::int64_t>{-1, 2}), "[-1, 2]");

  EXPECT_EQ(describeOptional(std::optional<double>(48000.0)), "Optional(48000.0)");
  EXPECT_EQ(describeOptional(std::optional<bool>()), "nil");
  EXPECT_EQ(describeOptional(std::optional<std::string>("a")), "Optional(\"a\")");
  EXPECT_EQ(describeOptional(std::optional<std::string>("it's")), "Optional(\"it\\'s\")");
  EXPECT_EQ(describeOptional(std::optional<std::string>()), "nil");
}
