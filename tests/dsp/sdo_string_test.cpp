// CString: search and split against the one-step-at-a-time rule, and large inputs (the edits,
// shared results, renderings, aliasing operands and huge lengths have their own files). Run under
// ASan+UBSan: a read of released content or an undersized buffer fails there.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace sdotest;

// The rules of Find, Replace and Split taken one step at a time, each step a new call on the
// new content, on std::string. Small inputs only.
int ModelFind(const std::string& s, const char* text, int start) {
  if (s.empty() || !text)
    return -1;
  start = std::max(start, 0);
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
  if (s.empty() || !search || (replacement && std::strcmp(replacement, search) == 0))
    return false;
  const int p = ModelFind(s, search, start);
  const std::string r = replacement ? replacement : "";
  const size_t slen = std::strlen(search);
  if (p < 0 || s.size() - slen + r.size() == 0)
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

TEST(SdoString, SearchAndSplitFollowTheStepRule) {
  std::mt19937 rng(20240611);
  const char alphabet[] = {'a', 'b', ',', '\0'};
  const char* texts[] = {nullptr, "", "a", "b", ",", "ab", "aa", ",,", "a,", "ba", "aba"};
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 4000; ++round) {
    std::string content;
    for (int k = pick(9); k > 0; --k)
      content += alphabet[pick(4)];
    const char* search = texts[pick(11)];
    const char* replacement = texts[pick(11)];
    const int start = pick(static_cast<int>(content.size()) + 3);
    const bool all = pick(2) == 1;
    const int max = pick(4) - 1;
    SCOPED_TRACE(testing::Message() << "round " << round << " content '" << content << "' search "
                                    << (search ? search : "null") << " replacement "
                                    << (replacement ? replacement : "null") << " start " << start << " all "
                                    << all << " max " << max);
    CString s;
    SetBytes(s, content);
    std::string model = content;
    CString r;
    r = s;
    ASSERT_EQ(r.Replace(W(search), W(replacement), start, all),
              ModelReplace(model, search, replacement, start, all));
    ASSERT_EQ(Bytes(r), model);
    ASSERT_EQ(s.Find(W(search), start), ModelFind(content, search, start));

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
    ASSERT_EQ(s.Split(W(search), &list, max, start), ModelSplit(content, search, modelList, max, start));
    ASSERT_EQ(list.Count(), static_cast<int>(modelList.size()));
    for (int i = 0; i < list.Count(); ++i)
      ASSERT_STREQ(list.Item(i), modelList[static_cast<size_t>(i)].c_str()) << "item " << i;
  }
}

TEST(SdoString, LargeInputsNeedNoRecursion) {
  // One million occurrences: one recursive call per occurrence would overflow the stack.
  const int pairs = 1000000;
  CString s("a,");
  CString big;
  big = s * pairs;
  CStringList list;
  ASSERT_EQ(big.Length(), 2 * pairs);
  EXPECT_EQ(big.Split(W(","), &list, 0, 0), pairs);
  EXPECT_STREQ(list.Item(pairs - 1), "a");
  EXPECT_TRUE(big.Replace(W(","), W("--"), 0, true));
  EXPECT_EQ(big.Length(), 3 * pairs);
  EXPECT_EQ(Bytes(big).substr(0, 7), "a--a--a");
  big -= W("a--");
  EXPECT_EQ(Bytes(big), "a--") << "the last removal would empty it";
}

}  // namespace
