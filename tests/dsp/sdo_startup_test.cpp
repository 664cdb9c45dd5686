// Start-up objects of the SDO header: each including unit builds its own print table, hex
// table and the strings `invalid` and `empty`; the library's unit adds CString::tempstr.
#include "SDOString.h"

namespace {
// Read during this unit's dynamic initialisation, in order: before and after the header's
// objects are built.
const int stringsBeforeHeader = SDO::CString::count;
const int dataBeforeHeader = SDO::CData::count;
}  // namespace

#include "SDO.h"

#include <gtest/gtest.h>

#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const int stringsAfterHeader = SDO::CString::count;
const int dataAfterHeader = SDO::CData::count;

TEST(SdoStartup, EachIncludingUnitBuildsTwoStrings) {
  EXPECT_EQ(stringsAfterHeader - stringsBeforeHeader, 2);
  EXPECT_EQ(dataAfterHeader - dataBeforeHeader, 2);

  // Both counters start at -1; k including units add 2 strings each and the library's unit
  // adds tempstr: -1 + 2k + 1 = 2k. In this binary they are the kernel adapter's unit (linked
  // in by the reference below), the library's and this one: 6 once start-up is over, where the
  // effect alone stands at 4. Every test leaves the counters as it found them.
  [[maybe_unused]] volatile auto adapter = &KOV_Compressor_ExtensionDSPKernelAdapter::make;
  const int n = SDO::CString::count;
  EXPECT_EQ(n, 6);
  EXPECT_EQ(SDO::CData::count, n);
  EXPECT_EQ(SDO::invalid.ClassCount(), n);
  EXPECT_EQ(SDO::CString::tempstr.ClassCount(), n);
  SDO::CData plain;
  EXPECT_EQ(plain.ClassCount(), n + 1);
  EXPECT_EQ(SDO::CString::count, n);  // a plain CData is not a CString
}

TEST(SdoStartup, StaticObjectsAndTables) {
  EXPECT_STREQ(SDO::invalid.c_str(), "null");
  EXPECT_EQ(SDO::invalid.Length(), 4);
  EXPECT_STREQ(SDO::empty.c_str(), " ");
  EXPECT_EQ(SDO::empty.Length(), 1);
  EXPECT_STREQ(SDO::empty.ClassName(), "CString");
  EXPECT_EQ(SDO::CStringList::temp, nullptr);
  EXPECT_EQ(SDO::CStringList::classcount, 0);
  EXPECT_EQ(std::strlen(SDO::hextable), 512u);
  for (int v = 0; v < 256; ++v) {
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", v);
    ASSERT_EQ(std::string(SDO::hextable + 2 * v, 2), expected) << "byte " << v;
  }
  const SDO::CPrinTable& t = SDO::PrinTable;
  struct Name {
    int code;
    const char* name;
  };
  const Name names[] = {
      {0, "<NUL>"}, {7, "<BEL>"}, {8, "<BS>"},  {9, "\t"},      {10, "\n"},    {11, "<VT>"},
      {12, "<FF>"}, {13, "\r"},   {14, "<SO>"}, {21, "<NAK>"},  {27, "<ESC>"}, {31, "<US>"},
      {32, " "},    {65, "A"},    {126, "~"},   {127, "<DEL>"},
  };
  for (const Name& c : names) {
    SCOPED_TRACE(c.code);
    EXPECT_STREQ(t.names[c.code], c.name);
  }
  for (int c = 0; c < 128; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(t.refs[c], t.names[c]);
    const bool ownChar = (c >= 32 && c <= 126) || c == 9 || c == 10 || c == 13;
    EXPECT_EQ(std::string(t.names[c]) == std::string(1, static_cast<char>(c)), ownChar);
    EXPECT_EQ(t.names[c][0] == '<', !ownChar || c == '<');
    if (!ownChar) {
      EXPECT_EQ(t.names[c][std::strlen(t.names[c]) - 1], '>');
    }
  }
}

}  // namespace
