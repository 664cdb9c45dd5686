// Property lists: the value model's coercions, XML and binary round trips, a binary file written
// by another program, and hostile input (corrupt, truncated, deeply nested, self-referencing or
// expanding, keys libplist cannot hold) that must end in NSError 3840, never in a crash or abort.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "Foundation/NSError.h"
#include "Foundation/PropertyList.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

PropertyList richList() {
  PropertyList::Dictionary group{
      {"identifier", "kCompressorAttack"},
      {"address", PropertyList(0ull)},
      {"value", PropertyList(0.1f)},
  };
  return PropertyList(PropertyList::Dictionary{
      {"name", "Gentle Glue <&> \"Grüße\""},
      {"number", PropertyList(-5)},
      {"min", PropertyList(std::numeric_limits<long long>::min())},
      {"max", PropertyList(std::numeric_limits<long long>::max())},
      {"big", PropertyList(std::numeric_limits<unsigned long long>::max())},
      {"twoPow63", PropertyList(9223372036854775808ull)},
      {"reals", PropertyList(PropertyList::Array{PropertyList(0.1), PropertyList(1e-300), PropertyList(-0.0),
                                                 PropertyList(INFINITY), PropertyList(-INFINITY),
                                                 PropertyList(1.0 / 3.0), PropertyList(0.0)})},
      {"flag", true},
      {"off", false},
      {"blob", PropertyList(PropertyList::Data{0, 1, 255})},
      {"when", PropertyList(PropertyList::Date{86400.0})},
      {"group", PropertyList(group)},
      {"emptyDict", PropertyList(PropertyList::Dictionary{})},
      {"emptyArray", PropertyList(PropertyList::Array{})},
  });
}

// Parses and reports 0, or the error code.
std::int64_t parseCode(const Bytes& data, PropertyListFormat* format = nullptr) {
  try {
    PropertyListSerialization::propertyList(data, PropertyListMutabilityOptions::immutable, format);
    return 0;
  } catch (const NSError& e) {
    EXPECT_EQ(e.domain(), NSCocoaErrorDomain);
    return e.code();
  }
}

void appendBigEndian(Bytes& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A binary property list of `count` objects; object i is made by `object(i, out)`.
template <typename MakeObject>
Bytes binaryPlist(std::size_t count, std::size_t top, MakeObject object) {
  Bytes out = bytesOf("bplist00");
  std::vector<std::uint64_t> offsets;
  for (std::size_t i = 0; i < count; ++i) {
    offsets.push_back(out.size());
    object(i, out);
  }
  const std::uint64_t table = out.size();
  for (auto o : offsets)
    appendBigEndian(out, o, 4);
  out.insert(out.end(), 6, 0);
  out.push_back(4);  // offset size
  out.push_back(4);  // reference size
  appendBigEndian(out, count, 8);
  appendBigEndian(out, top, 8);
  appendBigEndian(out, table, 8);
  return out;
}

// A binary property list {"ab": 1} with the key object's three bytes (0x52 'a' 'b': an ASCII
// text of two characters) replaced by `key`.
Bytes binaryWithKeyObject(const std::uint8_t (&key)[3]) {
  auto bytes = PropertyListSerialization::data(
      PropertyList(PropertyList::Dictionary{{"ab", PropertyList(1)}}), PropertyListFormat::binary);
  const std::uint8_t original[] = {0x52, 'a', 'b'};
  auto at = std::search(bytes.begin(), bytes.end(), std::begin(original), std::end(original));
  EXPECT_NE(at, bytes.end());
  if (at != bytes.end())
    std::copy(std::begin(key), std::end(key), at);
  return bytes;
}

}  // namespace

TEST(PropertyList, NumberCoercions) {
  const PropertyList real(2.9), negative(-2.9), huge(1e20), tenth(0.1), integer(-3), big(~0ull), yes(true),
      text("1");
  EXPECT_EQ(real.asInt64(), 2);
  EXPECT_EQ(negative.asInt64(), -2);
  EXPECT_EQ(negative.asUInt64(), std::nullopt);
  EXPECT_EQ(PropertyList(-0.5).asUInt64(), 0u);
  EXPECT_EQ(huge.asInt64(), std::nullopt);
  EXPECT_EQ(huge.asUInt64(), std::nullopt);
  EXPECT_EQ(PropertyList(1e19).asUInt64(), 10000000000000000000ull);
  EXPECT_EQ(PropertyList(NAN).asInt64(), std::nullopt);
  EXPECT_EQ(tenth.asFloat(), 0.1f);
  EXPECT_EQ(PropertyList(1e300).asFloat(), std::nullopt);
  EXPECT_EQ(integer.asDouble(), -3.0);
  EXPECT_EQ(integer.asUInt64(), std::nullopt);
  EXPECT_EQ(integer.asBool(), true);
  EXPECT_EQ(big.asInt64(), std::nullopt);
  EXPECT_EQ(big.asUInt64(), ~0ull);
  EXPECT_EQ(big.asDouble(), 18446744073709551616.0);
  EXPECT_EQ(yes.asInt64(), 1);
  EXPECT_EQ(yes.asFloat(), 1.0f);
  EXPECT_EQ(text.asDouble(), std::nullopt);
  EXPECT_EQ(text.asBool(), std::nullopt);
  EXPECT_EQ(PropertyList(0.0).asBool(), false);

  const PropertyList dict(PropertyList::Dictionary{{"a", 1}});
  ASSERT_NE(dict.find("a"), nullptr);
  EXPECT_EQ(dict.find("a")->asInt64(), 1);
  EXPECT_EQ(dict.find("b"), nullptr);
  EXPECT_EQ(text.find("a"), nullptr);
  EXPECT_NE(PropertyList(1), PropertyList(1.0)) << "an integer and a real are different values";
}

TEST(PropertyListSerialization, XmlAndBinaryRoundTripsAreExact) {
  const PropertyList original = richList();
  for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
    SCOPED_TRACE(format == PropertyListFormat::xml ? "xml" : "binary");
    const Bytes data = PropertyListSerialization::data(original, format);
    PropertyListFormat found = PropertyListFormat::openStep;
    const PropertyList back = PropertyListSerialization::propertyList(
        data, PropertyListMutabilityOptions::mutableContainersAndLeaves, &found);
    EXPECT_EQ(found, format);
    EXPECT_EQ(back, original);
    // Reals come back bit for bit, the sign of zero included.
    const auto& reals = *back.find("reals")->array();
    const auto& expected = *original.find("reals")->array();
    for (std::size_t i = 0; i < reals.size(); ++i) {
      const double a = *reals[i].asDouble(), b = *expected[i].asDouble();
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << i;
    }
    const PropertyList nan(std::nan(""));
    EXPECT_TRUE(std::isnan(
        *PropertyListSerialization::propertyList(PropertyListSerialization::data(nan, format)).asDouble()));
  }
}

TEST(PropertyListSerialization, XmlTextIsThePlatformsFormat) {
  const PropertyList list(PropertyList::Dictionary{{"name", "A & B"},
                                                   {"value", PropertyList(0.5f)},
                                                   {"count", PropertyList(-2)},
                                                   {"on", true},
                                                   {"params", PropertyList(PropertyList::Dictionary{})}});
  const Bytes data = PropertyListSerialization::data(list, PropertyListFormat::xml);
  const std::string text(data.begin(), data.end());
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n"
            "<dict>\n"
            "\t<key>count</key>\n"
            "\t<integer>-2</integer>\n"
            "\t<key>name</key>\n"
            "\t<string>A &amp; B</string>\n"
            "\t<key>on</key>\n"
            "\t<true/>\n"
            "\t<key>params</key>\n"
            "\t<dict/>\n"
            "\t<key>value</key>\n"
            "\t<real>0.5</real>\n"
            "</dict>\n"
            "</plist>\n");
}

TEST(PropertyListSerialization, ReadsABinaryFileWrittenByAnotherProgram) {
  // Python's plistlib, FMT_BINARY, of {"name": "Gentle Glue", "version": 1, "negative": -5,
  // "big": 2**64-1, "gain": 0.1, "flag": True, "list": [1, 2.5, "x"], "blob": b"\0\1\xff",
  // "when": 2001-01-01 00:00:10, "nested": {"ü": "Grüße"}, "empty": {}}.
  const Bytes file = {
      0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 0xdb, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10, 0x11, 0x15, 0x16, 0x17, 0x12, 0x1a, 0x53, 0x62, 0x69,
      0x67, 0x54, 0x62, 0x6c, 0x6f, 0x62, 0x55, 0x65, 0x6d, 0x70, 0x74, 0x79, 0x54, 0x66, 0x6c, 0x61, 0x67,
      0x54, 0x67, 0x61, 0x69, 0x6e, 0x54, 0x6c, 0x69, 0x73, 0x74, 0x54, 0x6e, 0x61, 0x6d, 0x65, 0x58, 0x6e,
      0x65, 0x67, 0x61, 0x74, 0x69, 0x76, 0x65, 0x56, 0x6e, 0x65, 0x73, 0x74, 0x65, 0x64, 0x57, 0x76, 0x65,
      0x72, 0x73, 0x69, 0x6f, 0x6e, 0x54, 0x77, 0x68, 0x65, 0x6e, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x43, 0x00, 0x01, 0xff, 0xd0, 0x09, 0x23,
      0x3f, 0xb9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9a, 0xa3, 0x12, 0x13, 0x14, 0x10, 0x01, 0x23, 0x40, 0x04,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x51, 0x78, 0x5b, 0x47, 0x65, 0x6e, 0x74, 0x6c, 0x65, 0x20, 0x47,
      0x6c, 0x75, 0x65, 0x13, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfb, 0xd1, 0x18, 0x19, 0x61, 0x00,
      0xfc, 0x65, 0x00, 0x47, 0x00, 0x72, 0x00, 0xfc, 0x00, 0xdf, 0x00, 0x65, 0x33, 0x40, 0x24, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x08, 0x1f, 0x23, 0x28, 0x2e, 0x33, 0x38, 0x3d, 0x42, 0x4b, 0x52, 0x5a, 0x5f,
      0x70, 0x74, 0x75, 0x76, 0x7f, 0x83, 0x85, 0x8e, 0x90, 0x9c, 0xa5, 0xa8, 0xab, 0xb6, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1b, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xbf};
  PropertyListFormat found = PropertyListFormat::xml;
  const PropertyList list = PropertyListSerialization::propertyList(
      file, PropertyListMutabilityOptions::mutableContainersAndLeaves, &found);
  EXPECT_EQ(found, PropertyListFormat::binary);
  const PropertyList expected(PropertyList::Dictionary{
      {"name", "Gentle Glue"},
      {"version", 1},
      {"negative", -5},
      {"big", PropertyList(18446744073709551615ull)},
      {"gain", 0.1},
      {"flag", true},
      {"list", PropertyList(PropertyList::Array{1, 2.5, "x"})},
      {"blob", PropertyList(PropertyList::Data{0, 1, 255})},
      {"when", PropertyList(PropertyList::Date{10.0})},
      {"nested", PropertyList(PropertyList::Dictionary{{"\xC3\xBC",
                                                        "Gr\xC3\xBC\xC3\x9F"
                                                        "e"}})},
      {"empty", PropertyList(PropertyList::Dictionary{})},
  });
  EXPECT_EQ(list, expected);
}

TEST(PropertyListSerialization, HostileInputGivesAnErrorNeverACrash) {
  {
    SCOPED_TRACE("empty, garbage, header only, another format");
    EXPECT_EQ(parseCode({}), 3840);
    EXPECT_EQ(parseCode(bytesOf("this is no property list")), 3840);
    EXPECT_EQ(parseCode(bytesOf("bplist00")), 3840);
    EXPECT_EQ(parseCode(bytesOf("<?xml version=\"1.0\"?><plist><dict><key>a</key>")), 3840);
  }
  const Bytes xml = PropertyListSerialization::data(richList(), PropertyListFormat::xml);
  const Bytes bin = PropertyListSerialization::data(richList(), PropertyListFormat::binary);
  {
    SCOPED_TRACE("every truncation of a valid file");
    for (const Bytes* whole : {&xml, &bin})
      for (std::size_t n = 0; n < whole->size(); ++n) {
        const std::int64_t code = parseCode(Bytes(whole->begin(), whole->begin() + n));
        ASSERT_TRUE(code == 0 || code == 3840) << n;
      }
    // A binary file cut short loses its trailer: never readable.
    EXPECT_EQ(parseCode(Bytes(bin.begin(), bin.end() - 1)), 3840);
  }
  {
    SCOPED_TRACE("random byte changes");
    std::mt19937 random(7);
    for (const Bytes* whole : {&xml, &bin})
      for (int round = 0; round < 3000; ++round) {
        Bytes mutated = *whole;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c)
          mutated[random() % mutated.size()] = static_cast<std::uint8_t>(random());
        const std::int64_t code = parseCode(mutated);
        ASSERT_TRUE(code == 0 || code == 3840);
      }
  }
  {
    SCOPED_TRACE("deep nesting");
    // `piece` written `times` times in a row.
    const auto repeated = [](const std::string& piece, int times) {
      std::string out;
      for (int i = 0; i < times; ++i)
        out += piece;
      return out;
    };
    const std::string deep =
        "<plist version=\"1.0\">" + repeated("<array>", 200000) + repeated("</array>", 200000) + "</plist>";
    EXPECT_EQ(parseCode(bytesOf(deep)), 3840);
    const std::string unclosed = "<plist>" + repeated("<dict><key>k</key>", 200000);
    EXPECT_EQ(parseCode(bytesOf(unclosed)), 3840);
    const std::string fine = "<plist>" + repeated("<array>", 100) + repeated("</array>", 100) + "</plist>";
    EXPECT_EQ(parseCode(bytesOf(fine)), 0);

    // Binary: object i is an array holding object i + 1; the last is an empty array.
    constexpr std::size_t kDepth = 200000;
    const Bytes chain = binaryPlist(kDepth, 0, [&](std::size_t i, Bytes& out) {
      if (i + 1 == kDepth) {
        out.push_back(0xA0);
      } else {
        out.push_back(0xA1);
        appendBigEndian(out, i + 1, 4);
      }
    });
    EXPECT_EQ(parseCode(chain), 3840);
  }
  {
    SCOPED_TRACE("a container that holds itself");
    const Bytes cycle = binaryPlist(2, 0, [](std::size_t i, Bytes& out) {
      out.push_back(0xA2);
      appendBigEndian(out, i == 0 ? 1 : 0, 4);
      appendBigEndian(out, 1, 4);
    });
    EXPECT_EQ(parseCode(cycle), 3840);
  }
  {
    SCOPED_TRACE("a doubling chain of shared references (2^60 objects once expanded)");
    // Object i < levels is an array holding object i + 1 twice; object `levels` is the integer 0.
    const auto doublingChain = [](std::size_t levels) {
      return binaryPlist(levels + 1, 0, [levels](std::size_t i, Bytes& out) {
        if (i == levels) {
          out.push_back(0x10);  // the integer 0
          out.push_back(0);
          return;
        }
        out.push_back(0xA2);
        appendBigEndian(out, i + 1, 4);
        appendBigEndian(out, i + 1, 4);
      });
    };
    EXPECT_EQ(parseCode(doublingChain(60)), 3840);
    // The same shape, 10 levels: 2047 objects expanded, a fine file.
    EXPECT_EQ(parseCode(doublingChain(10)), 0);
  }
  {
    SCOPED_TRACE("counts of 15 and more follow the marker as an integer object");
    PropertyList::Dictionary many;
    PropertyList::Array list;
    for (int i = 0; i < 300; ++i) {
      many.emplace("k" + std::to_string(i), i);
      list.push_back(PropertyList(i));
    }
    const PropertyList value(
        PropertyList::Dictionary{{"many", PropertyList(many)}, {"list", PropertyList(list)}});
    EXPECT_EQ(PropertyListSerialization::propertyList(
                  PropertyListSerialization::data(value, PropertyListFormat::binary)),
              value);
    // An array of 15 whose count is no integer object, an array of 2^20 references in a
    // file of a few bytes, and a count of 2^64 - 1 dictionary entries.
    const auto arrayWithCount = [](std::vector<std::uint8_t> count) {
      return binaryPlist(1, 0, [count](std::size_t, Bytes& out) {
        out.push_back(0xAF);
        out.insert(out.end(), count.begin(), count.end());
      });
    };
    EXPECT_EQ(parseCode(arrayWithCount({0x20, 0x01})), 3840);
    EXPECT_EQ(parseCode(arrayWithCount({0x12, 0x00, 0x10, 0x00, 0x00})), 3840);
    EXPECT_EQ(parseCode(arrayWithCount({0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0})), 3840);
    EXPECT_EQ(parseCode(binaryPlist(1, 0,
                                    [](std::size_t, Bytes& out) {
                                      out.push_back(0xDF);
                                      out.push_back(0x13);
                                      appendBigEndian(out, ~0ull, 8);
                                    })),
              3840);
  }
  {
    SCOPED_TRACE("binary dictionary keys with a NUL character or no text");
    EXPECT_EQ(PropertyListSerialization::propertyList(binaryWithKeyObject({0x52, 'a', 'b'})),
              PropertyList(PropertyList::Dictionary{{"ab", 1}}));
    EXPECT_EQ(PropertyListSerialization::propertyList(binaryWithKeyObject({0x61, 0x00, 'A'})),
              PropertyList(PropertyList::Dictionary{{"A", 1}}))
        << "a UTF-16 key without NUL is a key";
    const std::uint8_t badKeys[][3] = {
        {0x52, 'a', 0x00},   // ASCII key with a NUL
        {0x51, 0x00, 'b'},   // ASCII key that is a NUL
        {0x61, 0x00, 0x00},  // UTF-16 key with a NUL unit
        {0x10, 0x05, 'b'},   // integer as key
    };
    for (const auto& key : badKeys) {
      SCOPED_TRACE(int(key[0]) * 256 + key[2]);
      PropertyListFormat format = PropertyListFormat::xml;
      EXPECT_EQ(parseCode(binaryWithKeyObject(key), &format), 3840);
      EXPECT_EQ(format, PropertyListFormat::xml) << "the format stays as it was";
    }
  }
}

TEST(PropertyListSerialization, UnwritableValuesGiveAnError) {
  auto writeCode = [](const PropertyList& list, PropertyListFormat format) -> std::int64_t {
    try {
      PropertyListSerialization::data(list, format);
      return 0;
    } catch (const NSError& e) {
      return e.code();
    }
  };
  EXPECT_EQ(writeCode(PropertyList(std::string("a\0b", 3)), PropertyListFormat::xml), 3851);
  EXPECT_EQ(writeCode(PropertyList(PropertyList::Dictionary{{std::string("k\0", 2), 1}}),
                      PropertyListFormat::binary),
            3851);
  EXPECT_EQ(writeCode(PropertyList(PropertyList::Date{1e12}), PropertyListFormat::xml), 3851);
  EXPECT_EQ(writeCode(PropertyList(1), PropertyListFormat::openStep), 3851);
  EXPECT_EQ(writeCode(PropertyList(1), PropertyListFormat::binary), 0);
}
