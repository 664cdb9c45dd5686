// CString: Find, Replace, Insert, SubStr, trimming and Split, with pinned cases (the
// one-step-at-a-time rule is checked in sdo_string_test.cpp); the list that Split fills.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace sdotest;

TEST(SdoEdit, FindAndSubStr) {
  struct Case {
    std::string content;
    const char* text;
    int start, at;
  };
  const Case cases[] = {
      {"xxabc", "abc", 0, 2}, {"xxabc", "abc", 2, 2},    {"xxabc", "abc", 3, -1},
      {"xxabc", "x", 1, 1},   {"xxabc", "x", -5, 0},  // a negative start counts as 0
      {"xxabc", "", 0, -1},   {"xxabc", nullptr, 0, -1}, {"xxabc", "c", 5, -1},
      {"xxabc", "c", 99, -1}, {"xxabc", "abcd", 0, -1},  // no match may run past the end
      {"", "a", 0, -1},       {"a\0bc"s, "bc", 0, 2},    // the search runs over zero bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.content << " " << (c.text ? c.text : "null") << " " << c.start);
    CString s;
    SetBytes(s, c.content);
    EXPECT_EQ(s.Find(W(c.text), c.start), c.at);
  }
  struct Sub {
    int start, count;
    const char* text;
  };
  const Sub subs[] = {{1, 100, "ello"}, {0, 2, "he"},       {4, 1, "o"},
                      {5, 1, nullptr},  {-1, 2, nullptr},   {1, 0, nullptr},
                      {1, -3, nullptr}, {2, INT_MAX, "llo"}};  // start + count may not wrap
  CString h("hello");
  for (const Sub& c : subs) {
    SCOPED_TRACE(testing::Message() << "SubStr " << c.start << " " << c.count);
    const char* got = h.SubStr(c.start, c.count);
    if (c.text) {
      EXPECT_STREQ(got, c.text);
    } else {
      EXPECT_EQ(got, nullptr);
    }
  }
  CString none;
  EXPECT_EQ(none.SubStr(0, 1), nullptr);
}

// Replace answers 1 when it changed the content. Pinned cases; refusals of a null, empty or
// absent search text are covered by the step-rule test.
TEST(SdoEdit, ReplaceInsertAndTrim) {
  CheckEdits({
      {"a-b-c", OP(s.Replace(W("-"), W("+"), 0, false)), "a+b-c", 1},
      {"a-b-c-d", OP(s.Replace(W("-"), W("=="), 2, true)), "a-b==c==d", 1},
      {"abc", OP(s.Replace(W("a"), W("a"), 0, true)), "abc"},
      {"abc", OP(s.Replace(W("a"), W("x"), 1, true)), "abc"},
      {"abc", OP(s.Replace(W("abc"), W(nullptr), 0, true)), "abc"},  // would leave nothing
      {"abc", OP(s.Replace(W("abc"), W(""), 0, true)), "abc"},
      {"", OP(s.Replace(W("a"), W("b"), 0, true)), ""},
      // The replacement is not searched again.
      {"aaa", OP(s.Replace(W("a"), W("aa"), 0, true)), "aaaaaa", 1},
      {"abab", OP(s.Replace(W("ab"), W("b"), 0, true)), "bb", 1},
      {"aaaa", OP(s.Replace(W("aa"), W("b"), 0, true)), "bb", 1},
      {"ababab", OP(s.Replace(W("ab"), nullptr, 0, true)), "ab", 1},  // the last one stays
      {"x\0AB\0"s, OP(s.Replace(W("AB"), W("c"), 0, true)), "x\0c\0"s, 1},
      {"ab", DO(s.Insert(0, W("x"))), "xab"},
      {"xab", DO(s.Insert(2, W("yz"))), "xayzb"},
      // No insertion at the end or outside, nor of nothing.
      {"ab", DO(s.Insert(2, W("x"))), "ab"},
      {"ab", DO(s.Insert(-1, W("x"))), "ab"},
      {"ab", DO(s.Insert(0, W(""))), "ab"},
      {"ab", DO(s.Insert(0, W(nullptr))), "ab"},
      {"  x \r\n", DO(s.Trim()), "x"},
      {"  ", DO(s.Trim()), ""},
      {"\t\na b\t", DO(s.TrimLeft()), "a b\t"},
      {"a b\t", DO(s.TrimRight()), "a b"},
      {"a b", DO(s.TrimLeft()), "a b"},
      {"a b", DO(s.TrimRight()), "a b"},
      {"\r\n", DO(s.TrimRight()), ""},
      {"", DO(s.Trim()), ""},
      {"a \0"s, DO(s.Trim()), "a \0"s},  // a zero byte is not blank
  });
}

// Each split starts from a list holding "old": a start of 0 empties it first, a later start
// appends, a refused split leaves it alone. Empty pieces are dropped. Pinned cases; the rest of
// the rule is covered by the step-rule test.
TEST(SdoEdit, Split) {
  struct Case {
    std::string content;
    const char* sep;
    int max, start, count;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"a,,b", ",", 0, 0, 2, {"a", "b"}},    {"a,,b", ",", 1, 0, 1, {"a"}},
      {",a,b,c,", ",", 2, 0, 2, {"a", "b"}}, {"x;;y;z;", ";", 0, 3, 3, {"old", "y", "z"}},
      {"x;;y;z;", ";", 0, 99, 1, {"old"}},   {"abc", "abc", 0, 0, 0, {}},
      {"", ",", 0, 0, -1, {"old"}},          {"a,,b", nullptr, 0, 0, -1, {"old"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.content << " on " << (c.sep ? c.sep : "null") << " max " << c.max
                                    << " start " << c.start);
    CString s;
    SetBytes(s, c.content);
    CStringList list;
    list.Append(strdup("old"));
    EXPECT_EQ(s.Split(W(c.sep), &list, c.max, c.start), c.count);
    EXPECT_EQ(Items(list), c.items);
  }
  CString s("a,b");
  EXPECT_EQ(s.Split(W(","), nullptr, 0, 0), -1);
}

TEST(SdoEdit, StringListOwnsItsItems) {
  CStringList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Item(0), nullptr);
  list.Append(nullptr);
  EXPECT_EQ(list.Count(), 0);
  list.Append(static_cast<char*>(CData::CAlloc(4, 1)));  // freed by the list (ASan checks)
  list.Append(static_cast<char*>(CData::CAlloc(8, 1)));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_STREQ(list.Item(1), "");
  EXPECT_EQ(list.Item(2), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Append(static_cast<char*>(CData::CAlloc(4, 1)));  // released by the destructor
}

}  // namespace
