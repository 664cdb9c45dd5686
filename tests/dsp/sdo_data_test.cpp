// CData: allocation rules, renderings into the shared scratch text, XML, counters.
#include "SDOString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

using SDO::CData;
using SDO::CString;

// A string holding exactly these bytes (zeros included).
void SetBytes(CString& s, const std::string& bytes) {
    s.reassign(static_cast<int>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i)
        s[static_cast<int>(i)] = bytes[i];
}

TEST(SdoData, PaddingAllocAndStrLen) {
    const int n[] = {0, 1, 3, 4, 7, 8, -5};
    const long expected[] = {0, 4, 4, 8, 8, 12, 0};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(n[i]);
        EXPECT_EQ(CData::Padding(n[i]), expected[i]);
    }
    // Always room for one zero after the content, and a multiple of 4.
    for (int k = 1; k < 100; ++k) {
        SCOPED_TRACE(k);
        EXPECT_GE(CData::Padding(k), k + 1);
        EXPECT_LE(CData::Padding(k), k + 4);
        EXPECT_EQ(CData::Padding(k) % 4, 0);
    }
    EXPECT_EQ(CData::Padding(INT_MAX), 2147483648L);   // no wrap at the top

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
    EXPECT_EQ(d.Length(), 0);
    EXPECT_EQ(d.DataSize(), 0);
    EXPECT_EQ(s.DataSize(), 4);
    EXPECT_EQ(s4.DataSize(), 8);
    EXPECT_STREQ(d.String(), "0x00");        // CData's text is its Hex5 rendering
}

TEST(SdoData, Renderings) {
    CString s;
    {
        SCOPED_TRACE("empty");
        EXPECT_STREQ(s.Hex2(), "00");
        EXPECT_STREQ(s.ColorRGB(), "#000000");
        EXPECT_STREQ(s.Hex3(), "00");
        EXPECT_STREQ(s.Hex4(), "#00");
        EXPECT_STREQ(s.Hex5(), "0x00");
        EXPECT_STREQ(s.CData::XML(1), "<CData>\n\tundefined</CData>");
    }
    {
        SCOPED_TRACE("01 AB");
        SetBytes(s, "\x01\xAB");
        EXPECT_STREQ(s.Hex2(), "01AB");
        EXPECT_STREQ(s.ColorRGB(), "#01AB");
        EXPECT_STREQ(s.Hex3(), "01 AB");
        EXPECT_STREQ(s.Hex4(), "#01 #AB");
        EXPECT_STREQ(s.Hex5(), "0x01 0xAB");
    }
    {
        SCOPED_TRACE("zero bytes are rendered like any other");
        SetBytes(s, std::string("\0\xFF\0", 3));
        EXPECT_STREQ(s.Hex2(), "00FF00");
        EXPECT_STREQ(s.ColorRGB(), "#00FF00");
        EXPECT_STREQ(s.Hex5(), "0x00 0xFF 0x00");
    }
    {
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
}

TEST(SdoData, XmlOfTheBytes) {
    CString s;
    SetBytes(s, "A");
    EXPECT_STREQ(s.CData::XML(1), "\t<CData encoding='HEX5'>\n\t\t0x41\n\t</CData>\n");
    EXPECT_STREQ(s.CData::XML(0), "<CData encoding='HEX5'>\n\t0x41\n</CData>\n");
    EXPECT_STREQ(s.CData::XML(-3), "<CData encoding='HEX5'>\n\t0x41\n</CData>\n");
    SetBytes(s, "\x01\xAB");
    EXPECT_STREQ(s.CData::XML(2),
                 "\t\t<CData encoding='HEX5'>\n\t\t\t0x01 0xAB\n\t\t</CData>\n");
    const char* composed = s.CData::XML(2);
    EXPECT_EQ(CData::temp, composed) << "the composed text is the scratch text";
}

TEST(SdoData, ScratchTextIsSharedAndReplaced) {
    CString a("ab");
    CString b("c");
    const char* first = a.Hex2();
    EXPECT_EQ(CData::temp, first);
    const char* second = b.Hex3();           // another object, same scratch text
    EXPECT_EQ(CData::temp, second);
    EXPECT_STREQ(second, "63");
    char* sub = a.SubStr(1, 1);
    EXPECT_EQ(CData::temp, sub);
    EXPECT_STREQ(sub, "b");
    const char* xml = a.XML(0);
    EXPECT_EQ(CData::temp, xml);
    // A constant result leaves the scratch text alone.
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
    EXPECT_STREQ(t.Hex2(), "7A");             // a later rendering allocates a new one
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
        auto* heap = new CString("h");
        SDO::CData* base = heap;
        delete base;                         // virtual destructor: both counters drop
        EXPECT_EQ(CData::count, data0 + 3);
        EXPECT_EQ(CString::count, strings0 + 2);
    }
    EXPECT_EQ(CData::count, data0);
    EXPECT_EQ(CString::count, strings0);
}

} // namespace
