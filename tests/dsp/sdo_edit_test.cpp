// CString: Find, Replace, Insert, SubStr, trimming and Split, with pinned cases and against the
// one-step-at-a-time rule; the list that Split fills.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using SDO::CData;
using SDO::CString;
using SDO::CStringList;

using namespace sdotest;

// The rules of Find, Replace and Split taken one step at a time, each step a new call on the
// new content, on std::string. Small inputs only.
int ModelFind(const std::string& s, const char* text, int start) {
  if (s.empty() || !text)
    return -1;
  if (start < 0)
    start = 0;
  const int len = static_cast<int>(s.size());
  const int tlen = static_cast<int>(std::strlen(text));
  if (start >= len || tlen == 0)
    return -1;
  for (int p = start; p <= len - tlen; ++p)
    if (s.compare(static_cast<size_t>(p), static_cast<size_t>(tlen), text) == 0)
      return p;
  return -1;
}

bool ModelReplace(std::string& s, const char* search, const char* replacement, int start, bool all) {
  if (s.empty() || !search)
    return false;
  if (replacement && std::strcmp(replacement, search) == 0)
    return false;
  const int p = ModelFind(s, search, start);
  if (p < 0)
    return false;
  const std::string r = replacement ? replacement : "";
  const size_t slen = std::strlen(search);
  if (s.size() - slen + r.size() == 0)
    return false;
  s = s.substr(0, static_cast<size_t>(p)) + r + s.substr(static_cast<size_t>(p) + slen);
  if (all)
    ModelReplace(s, search, replacement, p + static_cast<int>(r.size()), all);
  return true;
}

int ModelSplit(const std::string& s, const char* sep, std::vector<std::string>& list, int max, int start) {
  if (!sep || s.empty())
    return -1;
  if (start == 0)
    list.clear();
  const int p = ModelFind(s, sep, start);
  const int end = p < 0 ? static_cast<int>(s.size()) : p;
  if (end > start) {
    list.push_back(s.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
    if (max >= 1 && static_cast<int>(list.size()) >= max)
      return static_cast<int>(list.size());
  }
  if (p >= 0)
    ModelSplit(s, sep, list, max, p + static_cast<int>(std::strlen(sep)));
  return static_cast<int>(list.size());
}

TEST(SdoEdit, FindAndSubStr) {
  struct Case {
    std::string content;
    const char* text;
    int start, at;
  };
  // The rest of the rule is shared with Replace and covered by the step-rule test below.
  const Case cases[] = {
      {"xxabc", "abc", 2, 2}, {"xxabc", "x", -5, 0},     // a negative start counts as 0
      {"xxabc", "", 0, -1},   {"xxabc", "abcd", 0, -1},  // no match may run past the end
      {"a\0bc"s, "bc", 0, 2},                            // the search runs over zero bytes
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
// absent search text are covered by the step-rule test below.
TEST(SdoEdit, ReplaceInsertAndTrim) {
  CheckEdits({
      {"a-b-c", OP(s.Replace(W("-"), W("+"), 0, false)), "a+b-c", 1},
      {"a-b-c-d", OP(s.Replace(W("-"), W("=="), 2, true)), "a-b==c==d", 1},
      {"abc", OP(s.Replace(W("abc"), W(""), 0, true)), "abc"},        // would leave nothing
      {"aaa", OP(s.Replace(W("a"), W("aa"), 0, true)), "aaaaaa", 1},  // not searched again
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
      {"\r\n", DO(s.TrimRight()), ""},
      {"", DO(s.Trim()), ""},
      {"a \0"s, DO(s.Trim()), "a \0"s},  // a zero byte is not blank
  });
}

// Each split starts from a list holding "old": a start of 0 empties it first, a later start
// appends. Empty pieces are dropped. The rest of the rule is covered by the step-rule test below.
TEST(SdoEdit, Split) {
  struct Case {
    std::string content;
    const char* sep;
    int max, start, count;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {",a,,b,c,", ",", 2, 0, 2, {"a", "b"}},
      {"x;;y;z;", ";", 0, 3, 3, {"old", "y", "z"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
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

TEST(SdoEdit, SearchAndSplitFollowTheStepRule) {
  std::mt19937 rng(20240611);
  const char alphabet[] = {'a', 'b', ',', '\0'};
  const char* texts[] = {nullptr, "", "a", "b", ",", "ab", "aa", ",,", "a,", "ba", "aba"};
  const int textCount = static_cast<int>(sizeof texts / sizeof texts[0]);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 4000; ++round) {
    std::string content;
    for (int k = pick(9); k > 0; --k)
      content += alphabet[pick(4)];
    const char* search = texts[pick(textCount)];
    const char* replacement = texts[pick(textCount)];
    const int start = pick(static_cast<int>(content.size()) + 3);
    const bool all = pick(2) == 1;
    const int max = pick(4) - 1;
    SCOPED_TRACE(testing::Message() << "round " << round << " content '" << content << "' search "
                                    << (search ? search : "null") << " replacement "
                                    << (replacement ? replacement : "null") << " start " << start << " all "
                                    << all << " max " << max);
    CString s;
    for (char c : content)
      s += c;

    std::string model = content;
    CString r;
    r = s;
    ASSERT_EQ(r.Replace(W(search), W(replacement), start, all),
              ModelReplace(model, search, replacement, start, all));
    ASSERT_EQ(Bytes(r), model);

    std::string removed = content;
    ModelReplace(removed, search, nullptr, 0, true);
    if (search) {
      ASSERT_EQ(Bytes(s - W(search)), removed);
    }
    r = s;
    r -= W(search);
    ASSERT_EQ(Bytes(r), removed);

    // Items end at the first zero byte of a piece: the list holds zero-terminated texts.
    std::vector<std::string> modelList{"old"};
    CStringList list;
    list.Append(strdup("old"));
    const int got = s.Split(W(search), &list, max, start);
    const int expected = ModelSplit(content, search, modelList, max, start);
    ASSERT_EQ(got, expected);
    ASSERT_EQ(list.Count(), static_cast<int>(modelList.size()));
    for (int i = 0; i < list.Count(); ++i)
      ASSERT_STREQ(list.Item(i), modelList[static_cast<size_t>(i)].c_str()) << "item " << i;
  }
}

TEST(SdoEdit, StringListOwnsItsItems) {
  CStringList list;
  EXPECT_EQ(list.Item(0), nullptr);
  list.Append(nullptr);
  EXPECT_EQ(list.Count(), 0);
  list.Append(static_cast<char*>(CData::CAlloc(4, 1)));  // freed by the list (ASan checks)
  list.Append(static_cast<char*>(CData::CAlloc(8, 1)));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(2), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Append(static_cast<char*>(CData::CAlloc(4, 1)));  // released by the destructor
}

}  // namespace
