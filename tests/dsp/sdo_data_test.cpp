// CData: allocation rules, renderings into the shared scratch text, XML, counters.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

using namespace sdotest;

TEST(SdoData, PaddingAllocAndStrLen) {
  EXPECT_EQ(CData::Padding(0), 0);
  EXPECT_EQ(CData::Padding(-5), 0);
  // Else the multiple of 4 that leaves room for one to four zeros after the content: 1 and 3
  // give 4, 4 and 7 give 8, 8 gives 12.
  for (int k = 1; k < 100; ++k) {
    SCOPED_TRACE(k);
    EXPECT_GE(CData::Padding(k), k + 1);
    EXPECT_LE(CData::Padding(k), k + 4);
    EXPECT_EQ(CData::Padding(k) % 4, 0);
  }
  EXPECT_EQ(CData::Padding(INT_MAX), 2147483648L);  // no wrap at the top

  EXPECT_EQ(CData::CAlloc(0, 8), nullptr);
  EXPECT_EQ(CData::CAlloc(8, 0), nullptr);
  auto* p = static_cast<unsigned char*>(CData::CAlloc(3, 4));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(p[i], 0);
  std::free(p);

  EXPECT_EQ(CData::StrLen(nullptr), 0);
  EXPECT_EQ(CData::StrLen(""), 0);
  EXPECT_EQ(CData::StrLen("abc"), 3);
}

TEST(SdoData, ObjectFacts) {
  CData d;
  CString s("abc");
  CString s4("abcd");
  EXPECT_STREQ(d.ClassName(), "CData");
  EXPECT_STREQ(s.ClassName(), "CString");
  EXPECT_EQ(d.ObjectSize(), 32);
  EXPECT_EQ(s.ObjectSize(), 32);
  EXPECT_TRUE(d.Empty());
  EXPECT_EQ(d.DataSize(), 0);
  EXPECT_EQ(s.DataSize(), 4);
  EXPECT_EQ(s4.DataSize(), 8);
  EXPECT_STREQ(d.String(), "0x00");  // CData's text is its Hex5 rendering
}

// Every byte rendered, zeros included; an empty object renders constants.
TEST(SdoData, Renderings) {
  struct Case {
    std::string bytes;
    const char *hex2, *rgb, *hex3, *hex4, *hex5;
  };
  const Case cases[] = {
      {"", "00", "#000000", "00", "#00", "0x00"},
      {"\x01\xAB", "01AB", "#01AB", "01 AB", "#01 #AB", "0x01 0xAB"},
      {"\0\xFF\0"s, "00FF00", "#00FF00", "00 FF 00", "#00 #FF #00", "0x00 0xFF 0x00"},
  };
  CString s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex2);
    SetBytes(s, c.bytes);
    EXPECT_STREQ(s.Hex2(), c.hex2);
    EXPECT_STREQ(s.ColorRGB(), c.rgb);
    EXPECT_STREQ(s.Hex3(), c.hex3);
    EXPECT_STREQ(s.Hex4(), c.hex4);
    EXPECT_STREQ(s.Hex5(), c.hex5);
  }
  SCOPED_TRACE("every byte value, all bytes of a long colour");
  std::string all;
  for (int v = 0; v < 256; ++v)
    all += static_cast<char>(v);
  SetBytes(s, all);
  const std::string hex2 = s.Hex2();
  ASSERT_EQ(hex2.size(), 512u);
  EXPECT_EQ(hex2.substr(0, 6), "000102");
  EXPECT_EQ(hex2.substr(506), "FDFEFF");
  EXPECT_EQ(std::string(s.ColorRGB()), "#" + hex2);
  const std::string hex5 = s.Hex5();
  EXPECT_EQ(hex5.size(), 5u * 256 - 1);
  EXPECT_EQ(hex5.substr(hex5.size() - 9), "0xFE 0xFF");
}

TEST(SdoData, XmlOfTheBytes) {
  CString s;
  EXPECT_STREQ(s.CData::XML(1), "<CData>\n\tundefined</CData>");
  SetBytes(s, "A");
  EXPECT_STREQ(s.CData::XML(1), "\t<CData encoding='HEX5'>\n\t\t0x41\n\t</CData>\n");
  EXPECT_STREQ(s.CData::XML(0), "<CData encoding='HEX5'>\n\t0x41\n</CData>\n");
  EXPECT_STREQ(s.CData::XML(-3), "<CData encoding='HEX5'>\n\t0x41\n</CData>\n");
  SetBytes(s, "\x01\xAB");
  EXPECT_STREQ(s.CData::XML(2), "\t\t<CData encoding='HEX5'>\n\t\t\t0x01 0xAB\n\t\t</CData>\n");
}

// Every rendering (Hex2 to Hex5, SubStr, XML) is composed in CData::temp, replacing the last one,
// whichever object made it; a constant result leaves the scratch text alone.
TEST(SdoData, ScratchTextIsSharedAndReplaced) {
  CString a("ab");
  CString b("c");
  const char* first = a.Hex2();
  EXPECT_EQ(CData::temp, first);
  const char* second = b.Hex3();
  EXPECT_EQ(CData::temp, second);
  EXPECT_STREQ(second, "63");
  char* sub = a.SubStr(1, 1);
  EXPECT_EQ(CData::temp, sub);
  EXPECT_STREQ(sub, "b");
  const char* bytesXml = a.CData::XML(0);
  EXPECT_EQ(CData::temp, bytesXml);
  const char* xml = a.XML(0);
  EXPECT_EQ(CData::temp, xml);
  CString none;
  EXPECT_STREQ(none.Hex2(), "00");
  EXPECT_EQ(CData::temp, xml);
}

TEST(SdoData, ScratchTextsReleasedWhenTheCountReachesZero) {
  // Only at exit does the real count fall to 0; here the count is lowered for one object.
  const int saved = CData::count;
  CData::count = 0;
  {
    CString s("xy");
    s.Hex2();
    s.Unicode();
    ASSERT_NE(CData::temp, nullptr);
    ASSERT_NE(CData::wtemp, nullptr);
  }
  EXPECT_EQ(CData::count, 0);
  EXPECT_EQ(CData::temp, nullptr);
  EXPECT_EQ(CData::wtemp, nullptr);
  EXPECT_EQ(CData::err, nullptr);
  CData::count = saved;
  CString t("z");
  EXPECT_STREQ(t.Hex2(), "7A");  // a later rendering allocates a new one
}

TEST(SdoData, CountersFollowConstructionAndDestruction) {
  const int data0 = CData::count;
  const int strings0 = CString::count;
  {
    CData d;
    EXPECT_EQ(CData::count, data0 + 1);
    EXPECT_EQ(CString::count, strings0);
    CString s;
    CString t("t");
    EXPECT_EQ(CData::count, data0 + 3);
    EXPECT_EQ(CString::count, strings0 + 2);
    EXPECT_EQ(s.ClassCount(), strings0 + 2);
    EXPECT_EQ(d.ClassCount(), data0 + 3);
    SDO::CData* base = new CString("h");
    delete base;  // virtual destructor: both counters drop
    EXPECT_EQ(CData::count, data0 + 3);
    EXPECT_EQ(CString::count, strings0 + 2);
  }
  EXPECT_EQ(CData::count, data0);
  EXPECT_EQ(CString::count, strings0);
}

}  // namespace
