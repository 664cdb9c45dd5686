// CString and CData: the edits, the shared-result operators, comparison, the renderings, search
// and split against the one-step-at-a-time rule, operands that alias the object, huge lengths
// and large inputs. Run under ASan+UBSan: a read of released content or an undersized buffer
// fails there.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace sdotest;

TEST(SdoString, Edits) {
  CheckEdits({
      {"old", OP(s = W(nullptr)), ""},
      {"old", OP(s = INT_MIN), "-2147483648"},
      {"a", OP(s += W(nullptr)), "a"},
      {"a\0"s, OP(s += 42),
       "a\0"
       "42"s},                       // a zero byte is content like any other
      {"XX", OP(s -= W("X")), "X"},  // the last removal would empty it and fails
      {"abc", OP(s -= -3), "abc"},
      {"abc", OP(s -= 5), ""},
      {"a \0"s, DO(s.Trim()), "a \0"s},  // a zero byte is not blank
      {"\0A"s, DO(s.Encode()), "0041"},
  });
  SCOPED_TRACE("DBL_MAX: 309 digits, the point and six decimals");
  CString s;
  s = -DBL_MAX;
  EXPECT_EQ(s.Length(), 317);
  EXPECT_EQ(Bytes(s).substr(310), ".000000");
}

// +, * and - answer the object itself when nothing changes, else the shared CString::tempstr,
// which the next such result overwrites; the operands stay as they were.
TEST(SdoString, SharedResultOperators) {
  CString a("ab");
  CString b("cd");
  CString none;
  EXPECT_EQ(&(a + none), &a);
  EXPECT_EQ(&(a * 1), &a);
  EXPECT_EQ(Bytes(a * 3), "ababab");
  EXPECT_TRUE((none * 3).Empty());
  EXPECT_EQ(Bytes(a - 1), "a");
  CString& first = a + b;
  EXPECT_EQ(&first, &CString::tempstr);
  EXPECT_EQ(&first, &(b + a));
  EXPECT_EQ(Bytes(first), "cdab") << "the second sum overwrites the first";
  EXPECT_EQ(Bytes(a), "ab");
}

TEST(SdoString, RenderingsAndPrintedTexts) {
  CString s;
  SetBytes(s, "\0\xFF\0"s);
  EXPECT_STREQ(s.Hex2(), "00FF00");
  EXPECT_STREQ(s.Hex4(), "#00 #FF #00");
  EXPECT_STREQ(s.Hex5(), "0x00 0xFF 0x00");
  SetBytes(s, std::string(256, '\xFF'));
  EXPECT_EQ(std::strlen(s.Hex5()), 5u * 256 - 1);
  EXPECT_EQ(CData::Padding(INT_MAX), 2147483648L);  // no wrap at the top

  SetBytes(s, "\x01\xAB");
  EXPECT_STREQ(s.CData::XML(2), "\t\t<CData encoding='HEX5'>\n\t\t\t0x01 0xAB\n\t\t</CData>\n");
  EXPECT_STREQ(s.XML(1), "\t<CString encoding='UTF8'>\n\t\t\x01\xAB\n\t</CString>\n");
  CString none;
  EXPECT_STREQ(none.XML(2), "<CData>\n\tundefined</CData>");
  EXPECT_STREQ(none.c_str(), "(null*)");
  EXPECT_STREQ(none.ColorRGB(), "#000000");
  SetBytes(s, "ab\0c"s);
  EXPECT_EQ(Printed([&] {
              EXPECT_EQ(s >> 3, 0);
              none >> 2;
              s >> -1;
            }),
            "ababab");
}

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

// Each operand below is the object's own content, a part of it, CString::tempstr receiving the
// result, or a list that is emptied first.
TEST(SdoString, OperandsThatAliasTheObject) {
  CheckEdits({
      {"abc", OP(s = static_cast<const char*>(s.Data() + 1)), "bc", 2},
      {"bcbc", OP(s += W(s.Data())), "bcbcbcbc"},
      {"xay", DO(s.Insert(1, W(s.Data()))), "xxayay"},
      {"aXa", OP(s.Replace(W(s.Data() + 1), W(s.Data() + 2), 0, true)), "aa", 1},
      {"abab", OP(s -= W(s.Data() + 2)), "ab"},
  });
  CString a("ab");
  CString b("cd");
  CString& t = a + b;  // tempstr = "abcd"
  EXPECT_EQ(Bytes(t + W(t.Data())), "abcdabcd");
  t = W("xy");
  EXPECT_EQ(Bytes(t * 3), "xyxyxy");
  EXPECT_EQ(Bytes(t - W(t.Data() + 1)), "x");
  CString c("1ab2ab3");
  CString& searched = a + W("");  // tempstr = "ab", which receives the result too
  EXPECT_EQ(Bytes(c - W(searched.Data())), "123");
  t = W("q");
  t.Encode();  // the rendering is read before it is assigned
  EXPECT_EQ(Bytes(t), "71");
  t = W(t.SubStr(1, 1));
  EXPECT_EQ(Bytes(t), "1");

  CStringList list;
  list.Append(strdup("--"));
  CString u("a--b----c");
  EXPECT_EQ(u.Split(W(list.Item(0)), &list, 0, 0), 3);
  EXPECT_STREQ(list.Item(2), "c");
}

TEST(SdoString, HugeLengthsAreRefused) {
  CString ab("ab");
  CString& r = ab * (INT_MAX / 2 + 1);  // 2^31 bytes: one more than the length can hold
  EXPECT_EQ(&r, &CString::tempstr);
  EXPECT_TRUE(r.Empty());
  EXPECT_STREQ(ab.SubStr(1, INT_MAX), "b");  // start + count may not wrap
  CString none;
  none.reassign(-1);
  EXPECT_TRUE(none.Empty());
  EXPECT_STREQ(ab.XML(INT_MAX), "<CData>\n\tundefined</CData>") << "3 * indent is too long";
  CString digits("99999999999");
  EXPECT_EQ(digits.Integer(), static_cast<int>(99999999999LL)) << "cut to 32 bits, no trap";
  EXPECT_EQ(digits.HexToInt(), static_cast<int>(0x99999999999LL));
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
