// CString: operands that alias the object, CString::tempstr or a list that is emptied first,
// huge lengths (large inputs: sdo_string_test.cpp), and the counters after many operations. Run under
// ASan+UBSan: a read of released content or an undersized buffer fails there.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace sdotest;

// Each operand below is the object's own content or a part of it.
TEST(SdoMemory, OperandsThatAliasTheObject) {
  CheckEdits({
      {"abc", OP(s = s), "abc"},
      {"abc", OP(s = W(s.Data())), "abc"},
      {"abc", OP(s = static_cast<const char*>(s.Data() + 1)), "bc", 2},
      {"bc", OP(s += s), "bcbc"},
      {"bcbc", OP(s += W(s.Data())), "bcbcbcbc"},
      {"xay", DO(s.Insert(1, W(s.Data()))), "xxayay"},
      {"aXa", OP(s.Replace(W(s.Data() + 1), W(s.Data() + 2), 0, true)), "aa", 1},
      {"abab", OP(s -= W(s.Data() + 2)), "ab"},
  });
  CString s("ab");
  EXPECT_EQ(Bytes(s + s), "abab");
  EXPECT_EQ(Bytes(s - W(s.Data() + 1)), "a");
  SCOPED_TRACE("splitting on a separator held by the list that is emptied first");
  CStringList list;
  list.Append(strdup("--"));
  CString t("a--b----c");
  EXPECT_EQ(t.Split(W(list.Item(0)), &list, 0, 0), 3);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(SdoMemory, TempstrAsItsOwnOperand) {
  CString a("ab");
  CString b("cd");
  CString& t = a + b;  // tempstr = "abcd"
  EXPECT_EQ(Bytes(t + t), "abcdabcd");
  EXPECT_EQ(Bytes(t + W("!")), "abcdabcd!");
  EXPECT_EQ(Bytes(t + W(t.Data())), "abcdabcd!abcdabcd!");
  EXPECT_EQ(Bytes(t + 5), "abcdabcd!abcdabcd!5");
  t = W("xy");
  EXPECT_EQ(Bytes(t * 3), "xyxyxy");
  EXPECT_EQ(Bytes(t - 2), "xyxy");
  EXPECT_EQ(Bytes(t - W("x")), "yy");
  EXPECT_EQ(Bytes(t - W(t.Data() + 1)), "y");
  {
    SCOPED_TRACE("the search text lives in tempstr, which receives the result");
    CString c("1ab2ab3");
    CString d("a");
    CString e("b");
    CString& ab = d + e;
    EXPECT_EQ(Bytes(c - W(ab.Data())), "123");
    d + e;
    EXPECT_EQ(Bytes(c + W(CString::tempstr.Data())), "1ab2ab3ab");
  }
  t = W("q");
  t = t;
  t += t;
  EXPECT_EQ(Bytes(t), "qq");
  t.Encode();  // the rendering is read before it is assigned
  EXPECT_EQ(Bytes(t), "7171");
  t = W(t.SubStr(1, 2));
  EXPECT_EQ(Bytes(t), "17");
}

TEST(SdoMemory, HugeLengthsAreRefused) {
  CString ab("ab");
  CString& r = ab * (INT_MAX / 2 + 1);  // 2^31 bytes: one more than the length can hold
  EXPECT_EQ(&r, &CString::tempstr);
  EXPECT_TRUE(r.Empty());
  EXPECT_TRUE((ab * INT_MAX).Empty());
  EXPECT_EQ(Bytes(ab), "ab");
  EXPECT_EQ(ab.SubStr(1, INT_MAX), std::string("b"));
  CString none;
  none.reassign(-1);
  EXPECT_TRUE(none.Empty());
  none.reassign(3);
  EXPECT_EQ(Bytes(none), std::string(3, '\0'));
  CString x("x");
  EXPECT_STREQ(x.XML(INT_MAX), "<CData>\n\tundefined</CData>") << "3 * indent is too long";
  EXPECT_STREQ(x.CData::XML(INT_MAX), "<CData>\n\tundefined</CData>");
}

TEST(SdoMemory, CountersAfterManyOperations) {
  const int data0 = CData::count;
  const int strings0 = CString::count;
  {
    CString a("alpha");
    CString b(" beta ");
    CStringList list;
    for (int i = 0; i < 200; ++i) {
      CString c;
      c = a + b;
      c += i;
      c.Trim();
      c.Replace(W("a"), W("A"), 0, true);
      c.Split(W(" "), &list, 0, 0);
      c = c * 2;
      c = c - 3;
      c.XML(i % 3);
      c.Hex5();
      c.Unicode();
      c.Encode();
      ASSERT_EQ(CString::count, strings0 + 3);
    }
    EXPECT_EQ(CData::count, data0 + 2);
    EXPECT_EQ(list.Count(), 3);  // "AlphA", "betA", "199"
  }
  EXPECT_EQ(CData::count, data0);
  EXPECT_EQ(CString::count, strings0);
}

}  // namespace
