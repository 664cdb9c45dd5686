// CString: empty strings, edits from a given content, comparison, the shared-result operators
// case by case, access, conversions, Unicode, character classes, XML and printing.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <functional>
#include <string>

namespace {

using namespace sdotest;

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

// Assignment, appending, removal, case changes and the hex encoding, each from a given content.
TEST(SdoString, EditsFromAGivenContent) {
  CheckEdits({
      {"old", "s = other",
       [](CString& s) {
         CString o("other");
         return s = o;
       },
       "other"},
      {"old", "s = none",
       [](CString& s) {
         CString none;
         return s = none;
       },
       ""},
      {"old", OP(s = W("abc")), "abc"},
      {"old", OP(s = static_cast<const char*>("hello")), "hello", 5},  // the const text form
      {"old", OP(s = W(nullptr)), ""},
      {"x", OP(s = W("")), ""},
      {"old", OP(s = -12), "-12"},
      {"old", OP(s = 3.5), "3.500000"},
      {"old", OP(s = INT_MIN), "-2147483648"},
      {"a", "s += none",
       [](CString& s) {
         CString none;
         return s += none;
       },
       "a"},
      {"a", "s += bc",
       [](CString& s) {
         CString bc("bc");
         return s += bc;
       },
       "abc"},
      {"a", OP(s += W(nullptr)), "a"},
      {"a", OP(s += W("")), "a"},
      {"a", OP(s += W("d")), "ad"},
      {"a", OP(s += 'e'), "ae"},
      {"a", OP(s += static_cast<char>(0xE9)), "a\xE9"},
      // A zero byte is content like any other.
      {"a", OP(s += '\0'), "a\0"s},
      {"", OP(s += '\0'), "\0"s},
      {"a\0"s, OP(s += 42),
       "a\0"
       "42"s},
      {"a\0"s, OP(s += 0.25),
       "a\0"
       "0.250000"s},
      {"aXbXc", OP(s -= W("X")), "abc"},
      {"ab", OP(s -= W("ab")), "ab"},  // removing the whole content fails, keeps it
      {"XX", OP(s -= W("X")), "X"},    // the last removal would empty it and fails
      {"abc", OP(s -= W(nullptr)), "abc"},
      {"abc", OP(s -= W("")), "abc"},
      {"abc", OP(s -= 0), "abc"},
      {"abc", OP(s -= -3), "abc"},
      {"abc", OP(s -= 1), "ab"},
      {"ab", OP(s -= 2), ""},
      {"abc", OP(s -= 5), ""},
      // Bytes above 0x7F are left alone in the C locale; the whole content counts, past zeros.
      {"aB1 z\xE9\xC9", DO(s.Uppercase()), "AB1 Z\xE9\xC9"},
      {"aB1 z\xE9\xC9", DO(s.Lowercase()), "ab1 z\xE9\xC9"},
      {"aBc\0d"s, DO(s.Revertcase()), "AbC\0D"s},
      {"", DO(s.Uppercase()), ""},
      {"AB", DO(s.Decode()), "AB"},
      {"AB", DO(s.Encode()), "4142"},
      {"\0"s, DO(s.Encode()), "00"},
      {"", DO(s.Encode()), ""},
      {"\0A"s, DO(s.Encode()), "0041"},
  });
  SCOPED_TRACE("DBL_MAX: 309 digits, the point and six decimals; a leading zero byte");
  CString s;
  s = DBL_MAX;
  EXPECT_EQ(s.Length(), 316);
  EXPECT_EQ(Bytes(s).substr(0, 5), "17976");
  EXPECT_EQ(Bytes(s).substr(309), ".000000");
  s = -DBL_MAX;
  EXPECT_EQ(s.Length(), 317);
  EXPECT_EQ(Bytes(s).substr(310), ".000000");
  SetBytes(s, "\0"s);
  EXPECT_STREQ(s.c_str(), "");
}

// The six comparisons of each pair agree with its order; texts compare up to the first zero.
TEST(SdoString, Comparison) {
  struct Case {
    std::string a, b;
    int order;
  };
  const Case cases[] = {{"abc", "abc", 0}, {"abc", "abd", -1},       {"abd", "abc", 1},
                        {"ab", "abc", -1}, {"abc\0tail"s, "abc", 0}, {"", "(null*)", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a + " vs " + c.b);
    CString a, b;
    SetBytes(a, c.a);
    SetBytes(b, c.b);
    EXPECT_EQ(a == b, c.order == 0);
    EXPECT_EQ(a != b, c.order != 0);
    EXPECT_EQ(a < b, c.order < 0);
    EXPECT_EQ(a > b, c.order > 0);
    EXPECT_EQ(a <= b, c.order <= 0);
    EXPECT_EQ(a >= b, c.order >= 0);
    EXPECT_EQ(a == W(c.b.c_str()), c.order == 0);
    EXPECT_EQ(a != W(c.b.c_str()), c.order != 0);
  }
  SCOPED_TRACE("a null text reads as (null*)");
  CString abc("abc");
  CString none;
  EXPECT_TRUE(none == W(nullptr));
  EXPECT_FALSE(abc == W(nullptr));
  EXPECT_TRUE(abc != W(nullptr));
}

// +, * and - answer the object itself when nothing changes, else the shared CString::tempstr,
// which the next such result overwrites; the operands stay as they were.
TEST(SdoString, SharedResultOperatorCases) {
  CString a("ab");
  CString b("cd");
  CString t("aXbXc");
  CString none;
  CString* const self = &a;
  CString* const shared = &CString::tempstr;
  struct Case {
    const char* what;
    std::function<CString&()> op;
    CString* is;
    std::string bytes;
  };
#define R(expr) #expr, [&]() -> CString& { return expr; }
  const Case cases[] = {
      {R(a + b), shared, "abcd"},     {R(b + a), shared, "cdab"},
      {R(a + none), self, "ab"},      {R(a + W(nullptr)), self, "ab"},
      {R(a + W("")), shared, "ab"},   {R(a + W("x")), shared, "abx"},
      {R(a + 7), shared, "ab7"},      {R(a + 1.5), shared, "ab1.500000"},
      {R(none + W("")), shared, ""},  {R(none + -3), shared, "-3"},
      {R(a * 1), self, "ab"},         {R(a * -4), self, "ab"},
      {R(a * 3), shared, "ababab"},   {R(none * 3), nullptr, ""},
      {R(a - 0), self, "ab"},         {R(a - 1), shared, "a"},
      {R(a - 5), nullptr, ""},        {R(t - W(nullptr)), &t, "aXbXc"},
      {R(t - W("X")), shared, "abc"}, {R(t - W("Q")), nullptr, "aXbXc"},
#undef R
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CString& r = c.op();
    if (c.is) {
      EXPECT_EQ(&r, c.is);
    }
    EXPECT_EQ(Bytes(r), c.bytes);
    EXPECT_EQ(Bytes(a), "ab");
    EXPECT_EQ(Bytes(t), "aXbXc");
  }
  CString& first = a + b;
  CString& second = b + a;
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(Bytes(first), "cdab") << "the second sum overwrites the first";
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
  outside = 'z';  // writes go nowhere near the content
  EXPECT_EQ(s[-1], 0);
  EXPECT_EQ(Bytes(s), "aBc");

  CString e("\xE9x");
  EXPECT_EQ(e.At(0), -23);
  EXPECT_EQ(e.First(), -23);
  EXPECT_EQ(e.Last(), 'x');
  EXPECT_EQ(e.At(2), 0);
  EXPECT_EQ(e.At(-1), 0);
}

TEST(SdoString, Conversions) {
  struct Case {
    const char* text;
    int integer;
    int hex;
    double real;
    bool truth;
  };
  const Case cases[] = {
      {"42", 42, 0x42, 42.0, true},
      {"  -7x", -7, -7, -7.0, true},
      {"ff", 0, 255, 0.0, true},
      {"0.1", 0, 0, 0.1, true},
      {"FFFFFFFF", 0, -1, 0.0, true},  // base-16 value cut to 32 bits
      {"1e3", 1, 0x1E3, 1000.0, true},
      {"99999999999", static_cast<int>(99999999999LL), static_cast<int>(0x99999999999LL), 99999999999.0,
       true},  // cut to 32 bits, no trap
      {"", 0, 0, 0.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CString s(c.text);
    EXPECT_EQ(s.Integer(), c.integer);
    EXPECT_EQ(s.HexToInt(), c.hex);
    EXPECT_DOUBLE_EQ(s.Double(), c.real);
    EXPECT_FLOAT_EQ(s.Float(), static_cast<float>(c.real));
    EXPECT_EQ(s.ToBool(), c.truth);
  }
}

TEST(SdoString, Unicode) {
  CString s;
  SetBytes(s, "A\xE9\0\xFF"s);
  wchar_t* w = s.Unicode();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w, CData::wtemp);
  const wchar_t expected[] = {65, 0xE9, 0, 0xFF, 0};  // zero-terminated
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(w[i], expected[i]) << i;
  CString none;
  EXPECT_EQ(none.Unicode(), nullptr);
}

// IsKeyword looks at every content byte; IsASCII only at the text up to the first zero byte.
TEST(SdoString, CharacterClasses) {
  struct Case {
    std::string text;
    bool keyword, ascii;
  };
  const Case cases[] = {{"a1", true, true},       {"1a", false, true},    {"a_b", false, true},
                        {"", true, true},         {"Zz09", true, true},   {"a b", false, true},
                        {"\xE9", false, false},   {"ab\0"s, false, true}, {"caf\xE9", false, false},
                        {"a\0\xE9"s, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CString s;
    SetBytes(s, c.text);
    EXPECT_EQ(s.IsKeyword(), c.keyword);
    EXPECT_EQ(s.IsASCII(), c.ascii);
  }
}

TEST(SdoString, XmlOfTheText) {
  CString s("a<b&");
  EXPECT_STREQ(s.XML(1), "\t<CString encoding='UTF8'>\n\t\ta<b&\n\t</CString>\n");
  EXPECT_STREQ(s.XML(0), "<CString encoding='UTF8'>\n\ta<b&\n</CString>\n");
  SetBytes(s, "\x01\xAB");  // control and high bytes go in unchanged
  EXPECT_STREQ(s.XML(1), "\t<CString encoding='UTF8'>\n\t\t\x01\xAB\n\t</CString>\n");
  CString none;
  EXPECT_STREQ(none.XML(2), "<CData>\n\tundefined</CData>");
  // A zero byte goes into the text as it is; the scratch text still holds every byte.
  SetBytes(s, "x\0y"s);
  const std::string expected = "<CString encoding='UTF8'>\n\tx\0y\n</CString>\n"s;
  EXPECT_EQ(std::string(s.XML(0), expected.size()), expected);
}

TEST(SdoString, PrintsTheTextNTimes) {
  CString s;
  SetBytes(s, "ab\0c"s);
  CString none;
  EXPECT_EQ(Printed([&] {
              EXPECT_EQ(s >> 3, 0);
              none >> 2;
              s >> 0;
              s >> -1;
            }),
            "ababab");
}

}  // namespace
