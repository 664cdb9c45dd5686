// CString: construction, assignment, comparison, appending, the shared-result operators,
// access, case, conversions and the text renderings.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>

namespace {

using SDO::CData;
using SDO::CString;

using sdotest::Bytes;
using sdotest::Printed;
using sdotest::W;

TEST(SdoString, EmptyStrings) {
    CString a;
    CString b("");
    CString c(nullptr);
    for (CString* s : {&a, &b, &c}) {
        EXPECT_EQ(s->Length(), 0);
        EXPECT_FALSE(s->ToBool());
        EXPECT_TRUE(s->Empty());
        EXPECT_STREQ(s->c_str(), "(null*)");
        EXPECT_STREQ(s->Data(), "(null*)");
        EXPECT_STREQ(s->String(), "(null*)");
        EXPECT_EQ(s->DataSize(), 0);
        EXPECT_EQ(s->First(), 0);
        EXPECT_EQ(s->Last(), 0);
    }
}

TEST(SdoString, Assignment) {
    CString s("old");
    CString other("other");
    {
        SCOPED_TRACE("from a string");
        EXPECT_EQ(s = other, 0);
        EXPECT_EQ(Bytes(s), "other");
        CString none;
        s = none;
        EXPECT_TRUE(s.Empty());
    }
    {
        SCOPED_TRACE("from texts");
        EXPECT_EQ(s = W("abc"), 0);
        EXPECT_EQ(Bytes(s), "abc");
        const char* constant = "hello";
        EXPECT_EQ(s = constant, 5) << "the const text form answers the new length";
        EXPECT_EQ(Bytes(s), "hello");
        s = W(nullptr);
        EXPECT_TRUE(s.Empty());
        s = W("x");
        s = W("");
        EXPECT_TRUE(s.Empty());
    }
    {
        SCOPED_TRACE("numbers");
        EXPECT_EQ(s = -12, 0);
        EXPECT_EQ(Bytes(s), "-12");
        EXPECT_EQ(s = 3.5, 0);
        EXPECT_EQ(Bytes(s), "3.500000");
        s = INT_MIN;
        EXPECT_EQ(Bytes(s), "-2147483648");
        s = DBL_MAX;                          // 309 digits, the point and six decimals
        EXPECT_EQ(s.Length(), 316);
        EXPECT_EQ(Bytes(s).substr(0, 5), "17976");
        EXPECT_EQ(Bytes(s).substr(309), ".000000");
        s = -DBL_MAX;
        EXPECT_EQ(s.Length(), 317);
    }
}

TEST(SdoString, Comparison) {
    CString abc("abc");
    CString abd("abd");
    CString abc2("abc");
    CString none;
    EXPECT_TRUE(abc == abc2);
    EXPECT_FALSE(abc != abc2);
    EXPECT_TRUE(abc != abd);
    EXPECT_TRUE(abc < abd);
    EXPECT_TRUE(abd > abc);
    EXPECT_TRUE(abc <= abc2);
    EXPECT_TRUE(abc >= abc2);
    EXPECT_FALSE(abd <= abc);
    EXPECT_TRUE(abc == W("abc"));
    EXPECT_TRUE(abc != W("ab"));
    {
        SCOPED_TRACE("texts are compared up to the first zero byte");
        CString zero("abc");
        zero += '\0';
        zero += W("tail");
        EXPECT_EQ(zero.Length(), 8);
        EXPECT_TRUE(zero == abc);
        EXPECT_TRUE(zero == W("abc"));
    }
    {
        SCOPED_TRACE("a null text reads as (null*)");
        EXPECT_TRUE(none == W(nullptr));
        EXPECT_FALSE(abc == W(nullptr));
        EXPECT_TRUE(abc != W(nullptr));
        EXPECT_TRUE(none == W("(null*)"));
    }
}

TEST(SdoString, Appending) {
    CString s("a");
    CString empty;
    EXPECT_EQ(s += empty, 0);
    EXPECT_EQ(s += W(nullptr), 0);
    EXPECT_EQ(s += W(""), 0);
    EXPECT_EQ(Bytes(s), "a");
    CString b("bc");
    s += b;
    s += W("d");
    s += 'e';
    s += static_cast<char>(0xE9);
    s += '\0';
    s += 42;
    s += 0.25;
    EXPECT_EQ(Bytes(s), std::string("abcde\xE9") + '\0' + "420.250000");
    empty += '\0';
    EXPECT_EQ(empty.Length(), 1) << "a zero byte is content like any other";
    EXPECT_STREQ(empty.c_str(), "");
}

TEST(SdoString, Removing) {
    CString s("aXbXc");
    EXPECT_EQ(s -= W("X"), 0);
    EXPECT_EQ(Bytes(s), "abc");
    s = W("ab");
    s -= W("ab");
    EXPECT_EQ(Bytes(s), "ab") << "removing the whole content fails and keeps it";
    s = W("XX");
    s -= W("X");
    EXPECT_EQ(Bytes(s), "X") << "the last removal would empty it and fails";
    s = W("abc");
    s -= W(nullptr);
    s -= W("");
    EXPECT_EQ(Bytes(s), "abc");

    s -= 0;
    s -= -3;
    EXPECT_EQ(Bytes(s), "abc");
    s -= 1;
    EXPECT_EQ(Bytes(s), "ab");
    s -= 2;
    EXPECT_TRUE(s.Empty());
    s = W("abc");
    s -= 5;
    EXPECT_TRUE(s.Empty());
}

TEST(SdoString, SharedResultOperators) {
    CString a("ab");
    CString b("cd");
    CString none;
    {
        SCOPED_TRACE("+");
        CString& r = a + b;
        EXPECT_EQ(&r, &CString::tempstr);
        EXPECT_EQ(Bytes(r), "abcd");
        CString& r2 = b + a;                 // the second sum overwrites the first
        EXPECT_EQ(&r2, &r);
        EXPECT_EQ(Bytes(r), "cdab");
        EXPECT_EQ(&(a + none), &a);
        EXPECT_EQ(&(a + W(nullptr)), &a);
        EXPECT_EQ(Bytes(a + W("")), "ab");
        EXPECT_EQ(&(a + W("")), &CString::tempstr);
        EXPECT_EQ(Bytes(a + W("x")), "abx");
        EXPECT_EQ(Bytes(a + 7), "ab7");
        EXPECT_EQ(Bytes(a + 1.5), "ab1.500000");
        EXPECT_EQ(Bytes(none + W("")), "");
        EXPECT_TRUE(CString::tempstr.Empty());
        EXPECT_EQ(Bytes(none + -3), "-3");
    }
    {
        SCOPED_TRACE("*");
        EXPECT_EQ(&(a * 1), &a);
        EXPECT_EQ(&(a * -4), &a);
        EXPECT_EQ(Bytes(a * 3), "ababab");
        EXPECT_TRUE((none * 3).Empty());
    }
    {
        SCOPED_TRACE("- count");
        CString s("hello");
        EXPECT_EQ(&(s - 0), &s);
        EXPECT_EQ(Bytes(s - 2), "hel");
        EXPECT_EQ(&(s - 2), &CString::tempstr);
        EXPECT_TRUE((s - 5).Empty());
        EXPECT_EQ(Bytes(s), "hello") << "the operand is unchanged";
    }
    {
        SCOPED_TRACE("- text");
        CString s("aXbXc");
        EXPECT_EQ(&(s - W(nullptr)), &s);
        EXPECT_EQ(Bytes(s - W("X")), "abc");
        EXPECT_EQ(Bytes(s - W("Q")), "aXbXc");
        EXPECT_EQ(Bytes(s), "aXbXc");
        CString x("XX");
        EXPECT_EQ(Bytes(x - W("X")), "X");
    }
}

TEST(SdoString, Access) {
    CString s("abc");
    EXPECT_EQ(s[0], 'a');
    s[1] = 'B';
    EXPECT_EQ(Bytes(s), "aBc");
    CString::nirvana = 'q';
    char& outside = s[10];
    EXPECT_EQ(&outside, &CString::nirvana);
    EXPECT_EQ(outside, 0);
    outside = 'z';                           // writes go nowhere near the content
    EXPECT_EQ(s[-1], 0);
    EXPECT_EQ(Bytes(s), "aBc");

    CString e("\xE9x");
    EXPECT_EQ(e.At(0), -23);
    EXPECT_EQ(e.First(), -23);
    EXPECT_EQ(e.Last(), 'x');
    EXPECT_EQ(e.At(2), 0);
    EXPECT_EQ(e.At(-1), 0);
}

TEST(SdoString, CaseChanges) {
    CString s("aB1 z\xE9\xC9");
    s.Uppercase();
    EXPECT_EQ(Bytes(s), "AB1 Z\xE9\xC9") << "bytes above 0x7F are left alone in the C locale";
    s.Lowercase();
    EXPECT_EQ(Bytes(s), "ab1 z\xE9\xC9");
    s = W("aBc");
    s += '\0';
    s += 'd';
    s.Revertcase();
    EXPECT_EQ(Bytes(s), std::string("AbC") + '\0' + "D") << "the whole content, past zeros";
    CString none;
    none.Uppercase();
    EXPECT_TRUE(none.Empty());
}

TEST(SdoString, Conversions) {
    struct Case { const char* text; int integer; int hex; double real; };
    const Case cases[] = {
        {"42", 42, 0x42, 42.0},
        {"  -7x", -7, -7, -7.0},
        {"ff", 0, 255, 0.0},
        {"0.1", 0, 0, 0.1},
        {"FFFFFFFF", 0, -1, 0.0},            // base-16 value cut to 32 bits
        {"1e3", 1, 0x1E3, 1000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CString s(c.text);
        EXPECT_EQ(s.Integer(), c.integer);
        EXPECT_EQ(s.HexToInt(), c.hex);
        EXPECT_DOUBLE_EQ(s.Double(), c.real);
        EXPECT_FLOAT_EQ(s.Float(), static_cast<float>(c.real));
        EXPECT_TRUE(s.ToBool());
    }
    CString none;
    EXPECT_EQ(none.Integer(), 0);
    EXPECT_EQ(none.HexToInt(), 0);
    EXPECT_EQ(none.Float(), 0.0f);
    EXPECT_EQ(none.Double(), 0.0);
    CString big("99999999999");
    EXPECT_EQ(big.Integer(), static_cast<int>(99999999999LL)) << "cut to 32 bits, no trap";
}

TEST(SdoString, UnicodeAndEncoding) {
    CString s("A\xE9");
    s += '\0';
    s += static_cast<char>(0xFF);
    wchar_t* w = s.Unicode();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w, CData::wtemp);
    EXPECT_EQ(w[0], 65);
    EXPECT_EQ(w[1], 0xE9);
    EXPECT_EQ(w[2], 0);
    EXPECT_EQ(w[3], 0xFF);
    EXPECT_EQ(w[4], 0) << "zero-terminated";
    CString none;
    EXPECT_EQ(none.Unicode(), nullptr);

    CString ab("AB");
    ab.Decode();
    EXPECT_EQ(Bytes(ab), "AB");
    ab.Encode();
    EXPECT_EQ(Bytes(ab), "4142");
    CString z;
    z += '\0';
    z.Encode();
    EXPECT_EQ(Bytes(z), "00");
    none.Encode();
    EXPECT_TRUE(none.Empty());
}

TEST(SdoString, CharacterClasses) {
    struct Case { const char* text; bool keyword; };
    const Case keywords[] = {{"a1", true}, {"1a", false}, {"a_b", false}, {"", true},
                             {"Zz09", true}, {"a b", false}, {"\xE9", false}};
    for (const Case& c : keywords) {
        SCOPED_TRACE(c.text);
        CString s(c.text);
        EXPECT_EQ(s.IsKeyword(), c.keyword);
    }
    CString k("ab");
    k += '\0';
    EXPECT_FALSE(k.IsKeyword()) << "every content byte counts";

    CString ascii("plain text");
    EXPECT_TRUE(ascii.IsASCII());
    CString latin("caf\xE9");
    EXPECT_FALSE(latin.IsASCII());
    CString none;
    EXPECT_TRUE(none.IsASCII());
    CString hidden("a");
    hidden += '\0';
    hidden += static_cast<char>(0xE9);
    EXPECT_TRUE(hidden.IsASCII()) << "only the text up to the first zero byte";
}

TEST(SdoString, XmlOfTheText) {
    CString s("a<b&");
    EXPECT_STREQ(s.XML(1), "\t<CString encoding='UTF8'>\n\t\ta<b&\n\t</CString>\n");
    EXPECT_STREQ(s.XML(0), "<CString encoding='UTF8'>\n\ta<b&\n</CString>\n");
    CString none;
    EXPECT_STREQ(none.XML(2), "<CData>\n\tundefined</CData>");
    // A zero byte goes into the text as it is; the scratch text still holds every byte.
    CString z("x");
    z += '\0';
    z += 'y';
    const char* xml = z.XML(0);
    const std::string expected = std::string("<CString encoding='UTF8'>\n\tx") + '\0' +
                                 "y\n</CString>\n";
    EXPECT_EQ(std::string(xml, expected.size()), expected);
}

TEST(SdoString, PrintsTheTextNTimes) {
    CString s("ab");
    s += '\0';
    s += 'c';
    CString none;
    EXPECT_EQ(Printed([&] {
                  EXPECT_EQ(s >> 3, 0);
                  none >> 2;
                  s >> 0;
                  s >> -1;
              }),
              "ababab");
}

} // namespace
