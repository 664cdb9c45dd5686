// Text forms at the edges of the runtime's rules, the platform's generic error texts, and binary
// property lists whose dictionary keys libplist cannot hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "Foundation/PropertyList.h"
#include "Foundation/TextForms.h"

TEST(TextFormsEdges, DecimalUpToTwoToThePowerOfTheSignificandPlusOne) {
  // Doubles print in decimal up to 2^54 and floats up to 2^25, so values between 2^53 and 2^54
  // (such as 1e16) and floats between 2^24 and 2^25 (such as 2e7) keep the decimal form.
  EXPECT_EQ(describe(1e16), "10000000000000000.0");
  EXPECT_EQ(describe(1.2345678901234568e16), "12345678901234568.0");
  EXPECT_EQ(describe(std::nextafter(18014398509481984.0, 1e300)), "1.8014398509481988e+16");
  EXPECT_EQ(describe(1e17), "1e+17");
  EXPECT_EQ(describe(-1e16), "-10000000000000000.0");
  EXPECT_EQ(describe(2e7f), "20000000.0");
  EXPECT_EQ(describe(std::nextafter(33554432.0f, 1e30f)), "3.3554436e+07");
  EXPECT_EQ(describe(1e8f), "1e+08");
  // And below: the fourth decimal place is the last in decimal form.
  EXPECT_EQ(describe(0.00011), "0.00011");
  EXPECT_EQ(describe(0.000099), "9.9e-05");
  EXPECT_EQ(describe(0.012f), "0.012");
  EXPECT_EQ(describe(-0.01f), "-0.01");
}

TEST(TextFormsEdges, NotANumberAndQuotedTexts) {
  const double quiet = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(describe(quiet), "nan");
  EXPECT_EQ(describe(-quiet), "-nan");
  EXPECT_EQ(describe(std::bit_cast<double>(std::uint64_t{0x7FF0000000000001})), "snan");
  EXPECT_EQ(describe(std::bit_cast<float>(std::uint32_t{0x7F800001})), "snan");
  EXPECT_EQ(describe(std::bit_cast<float>(std::uint32_t{0xFF800001})), "-snan");
  EXPECT_EQ(describe(std::numeric_limits<float>::quiet_NaN()), "nan");

  // A single quote is escaped like a double quote in a string's debug text.
  EXPECT_EQ(describe(std::vector<std::string>{"don't"}), "[\"don\\'t\"]");
  EXPECT_EQ(describe(std::vector<std::string>{std::string("a\x1B" "b\x7F", 4)}), "[\"a\\u{1B}b\\u{7F}\"]");
  EXPECT_EQ(describe(std::vector<std::string>{"Gr\u00FC\u00DFe"}), "[\"Gr\u00FC\u00DFe\"]");
  EXPECT_EQ(describeOptional(std::optional<std::string>("it's")), "Optional(\"it\\'s\")");
}

TEST(NSErrorTexts, GenericTextsNameThePlatformsDomains) {
  EXPECT_EQ(NSError(NSOSStatusErrorDomain, -10874).localizedDescription(),
            "The operation couldn\u2019t be completed. (OSStatus error -10874.)");
  EXPECT_EQ(NSError(NSCocoaErrorDomain, 3840).localizedDescription(),
            "The operation couldn\u2019t be completed. (Cocoa error 3840.)");
  EXPECT_EQ(NSError("com.example.test", 7).localizedDescription(),
            "The operation couldn\u2019t be completed. (com.example.test error 7.)");
  const NSError bare(NSCocoaErrorDomain, 3840);
  EXPECT_EQ(bare.description(), "Error Domain=NSCocoaErrorDomain Code=3840 \"(null)\"");
  EXPECT_EQ(bare.debugDescription(), bare.description());
}

namespace {

// A binary property list {"ab": 1} with the two key bytes (0x52 'a' 'b': an ASCII text of two
// characters) replaced by `key`, which must be three bytes as well.
std::vector<std::uint8_t> binaryWithKeyObject(const std::uint8_t (&key)[3]) {
  auto bytes = PropertyListSerialization::data(PropertyList(PropertyList::Dictionary{{"ab", PropertyList(1)}}),
                                               PropertyListFormat::binary);
  const std::uint8_t original[] = {0x52, 'a', 'b'};
  auto at = std::search(bytes.begin(), bytes.end(), std::begin(original), std::end(original));
  EXPECT_NE(at, bytes.end());
  if (at != bytes.end()) std::copy(std::begin(key), std::end(key), at);
  return bytes;
}

}  // namespace

TEST(PropertyListSerializationEdges, KeysWithANulCharacterGiveAnErrorNeverAnAbort) {
  {
    SCOPED_TRACE("the unchanged key reads back");
    const auto list = PropertyListSerialization::propertyList(binaryWithKeyObject({0x52, 'a', 'b'}));
    ASSERT_NE(list.find("ab"), nullptr);
    EXPECT_EQ(list.find("ab")->asInt64(), 1);
  }
  const struct {
    const char* name;
    std::uint8_t key[3];
  } cases[] = {
      {"ASCII key with a NUL", {0x52, 'a', 0x00}},
      {"ASCII key that is a NUL", {0x51, 0x00, 'b'}},
      {"UTF-16 key with a NUL unit", {0x61, 0x00, 0x00}},
      {"integer as key", {0x10, 0x05, 'b'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PropertyListFormat format = PropertyListFormat::xml;
    try {
      PropertyListSerialization::propertyList(binaryWithKeyObject(c.key), PropertyListMutabilityOptions::immutable,
                                              &format);
      ADD_FAILURE() << "read without an error";
    } catch (const NSError& error) {
      EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
      EXPECT_EQ(error.code(), 3840);
    }
    EXPECT_EQ(format, PropertyListFormat::xml) << "the format stays as it was";
  }
  SCOPED_TRACE("a UTF-16 key without NUL is a key");
  const auto list = PropertyListSerialization::propertyList(binaryWithKeyObject({0x61, 0x00, 'A'}));
  EXPECT_NE(list.find("A"), nullptr);
}
