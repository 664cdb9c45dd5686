// CString: Find, Replace, Insert, SubStr, trimming and Split.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using SDO::CData;
using SDO::CString;
using SDO::CStringList;

using sdotest::Bytes;
using sdotest::W;

std::vector<std::string> Items(CStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.emplace_back(list.Item(i));
    return out;
}

TEST(SdoEdit, Find) {
    CString s("xxabc");
    EXPECT_EQ(s.Find(W("abc"), 0), 2);
    EXPECT_EQ(s.Find(W("abc"), 2), 2);
    EXPECT_EQ(s.Find(W("abc"), 3), -1);
    EXPECT_EQ(s.Find(W("x"), 1), 1);
    EXPECT_EQ(s.Find(W("x"), -5), 0) << "a negative start counts as 0";
    EXPECT_EQ(s.Find(W(""), 0), -1);
    EXPECT_EQ(s.Find(W(nullptr), 0), -1);
    EXPECT_EQ(s.Find(W("c"), 5), -1);
    EXPECT_EQ(s.Find(W("c"), 99), -1);
    EXPECT_EQ(s.Find(W("abcd"), 0), -1) << "no match may run past the end";
    CString none;
    EXPECT_EQ(none.Find(W("a"), 0), -1);
    CString z("a");
    z += '\0';
    z += W("bc");
    EXPECT_EQ(z.Find(W("bc"), 0), 2) << "the search runs over zero bytes";
}

TEST(SdoEdit, Replace) {
    CString s("a-b-c");
    {
        SCOPED_TRACE("first only, then all from a start");
        EXPECT_TRUE(s.Replace(W("-"), W("+"), 0, false));
        EXPECT_EQ(Bytes(s), "a+b-c");
        s = W("a-b-c-d");
        EXPECT_TRUE(s.Replace(W("-"), W("=="), 2, true));
        EXPECT_EQ(Bytes(s), "a-b==c==d");
    }
    {
        SCOPED_TRACE("refusals");
        s = W("abc");
        EXPECT_FALSE(s.Replace(W("a"), W("a"), 0, true));
        EXPECT_FALSE(s.Replace(W(nullptr), W("x"), 0, true));
        EXPECT_FALSE(s.Replace(W("q"), W("x"), 0, true));
        EXPECT_FALSE(s.Replace(W(""), W("x"), 0, true));
        EXPECT_FALSE(s.Replace(W("a"), W("x"), 1, true));
        EXPECT_FALSE(s.Replace(W("abc"), W(nullptr), 0, true)) << "would leave nothing";
        EXPECT_FALSE(s.Replace(W("abc"), W(""), 0, true));
        EXPECT_EQ(Bytes(s), "abc");
        CString none;
        EXPECT_FALSE(none.Replace(W("a"), W("b"), 0, true));
    }
    {
        SCOPED_TRACE("the replacement is not searched again");
        s = W("aaa");
        EXPECT_TRUE(s.Replace(W("a"), W("aa"), 0, true));
        EXPECT_EQ(Bytes(s), "aaaaaa");
        s = W("abab");
        EXPECT_TRUE(s.Replace(W("ab"), W("b"), 0, true));
        EXPECT_EQ(Bytes(s), "bb");
        s = W("aaaa");
        EXPECT_TRUE(s.Replace(W("aa"), W("b"), 0, true));
        EXPECT_EQ(Bytes(s), "bb");
    }
    {
        SCOPED_TRACE("removing everything keeps the last occurrence");
        s = W("ababab");
        EXPECT_TRUE(s.Replace(W("ab"), nullptr, 0, true));
        EXPECT_EQ(Bytes(s), "ab");
    }
    {
        SCOPED_TRACE("zero bytes around the match are kept");
        s = W("x");
        s += '\0';
        s += W("AB");
        s += '\0';
        EXPECT_TRUE(s.Replace(W("AB"), W("c"), 0, true));
        EXPECT_EQ(Bytes(s), std::string("x") + '\0' + "c" + '\0');
    }
}

TEST(SdoEdit, InsertAndSubStr) {
    CString s("ab");
    s.Insert(0, W("x"));
    EXPECT_EQ(Bytes(s), "xab");
    s.Insert(2, W("yz"));
    EXPECT_EQ(Bytes(s), "xayzb");
    s = W("ab");
    s.Insert(2, W("x"));
    s.Insert(-1, W("x"));
    s.Insert(0, W(""));
    s.Insert(0, W(nullptr));
    EXPECT_EQ(Bytes(s), "ab") << "no insertion at the end or outside";

    CString h("hello");
    EXPECT_STREQ(h.SubStr(1, 100), "ello");
    EXPECT_STREQ(h.SubStr(0, 2), "he");
    EXPECT_STREQ(h.SubStr(4, 1), "o");
    EXPECT_EQ(h.SubStr(5, 1), nullptr);
    EXPECT_EQ(h.SubStr(-1, 2), nullptr);
    EXPECT_EQ(h.SubStr(1, 0), nullptr);
    EXPECT_EQ(h.SubStr(1, -3), nullptr);
    EXPECT_STREQ(h.SubStr(2, INT_MAX), "llo") << "start + count may not wrap";
    CString none;
    EXPECT_EQ(none.SubStr(0, 1), nullptr);
}

TEST(SdoEdit, Trimming) {
    CString s("  x \r\n");
    s.Trim();
    EXPECT_EQ(Bytes(s), "x");
    s = W("  ");
    s.Trim();
    EXPECT_TRUE(s.Empty());
    s = W("\t\na b\t");
    s.TrimLeft();
    EXPECT_EQ(Bytes(s), "a b\t");
    s.TrimRight();
    EXPECT_EQ(Bytes(s), "a b");
    s.TrimLeft();
    s.TrimRight();
    EXPECT_EQ(Bytes(s), "a b");
    s = W("\r\n");
    s.TrimRight();
    EXPECT_TRUE(s.Empty());
    s = W("a ");
    s += '\0';
    s.Trim();
    EXPECT_EQ(Bytes(s), std::string("a ") + '\0') << "a zero byte is not blank";
    CString none;
    none.Trim();
    EXPECT_TRUE(none.Empty());
}

TEST(SdoEdit, Split) {
    CStringList list;
    CString s("a,,b");
    {
        SCOPED_TRACE("empty pieces dropped");
        EXPECT_EQ(s.Split(W(","), &list, 0, 0), 2);
        EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "b"}));
    }
    {
        SCOPED_TRACE("max items");
        EXPECT_EQ(s.Split(W(","), &list, 1, 0), 1);
        EXPECT_EQ(Items(list), (std::vector<std::string>{"a"}));
    }
    {
        SCOPED_TRACE("refusals");
        CString none;
        EXPECT_EQ(none.Split(W(","), &list, 0, 0), -1);
        EXPECT_EQ(s.Split(W(nullptr), &list, 0, 0), -1);
        EXPECT_EQ(s.Split(W(","), nullptr, 0, 0), -1);
        EXPECT_EQ(list.Count(), 1) << "a refused split leaves the list alone";
    }
    {
        SCOPED_TRACE("a start above 0 appends to the list");
        CString t("x;;y;z;");
        EXPECT_EQ(t.Split(W(";;"), &list, 0, 0), 2);
        EXPECT_EQ(Items(list), (std::vector<std::string>{"x", "y;z;"}));
        EXPECT_EQ(t.Split(W(";"), &list, 0, 3), 4);
        EXPECT_EQ(Items(list), (std::vector<std::string>{"x", "y;z;", "y", "z"}));
        EXPECT_EQ(t.Split(W(";"), &list, 0, 99), 4);
    }
    {
        SCOPED_TRACE("a separator absent: the whole content");
        CString t("abc");
        EXPECT_EQ(t.Split(W("-"), &list, 0, 0), 1);
        EXPECT_EQ(Items(list), (std::vector<std::string>{"abc"}));
        EXPECT_EQ(t.Split(W("abc"), &list, 0, 0), 0);
    }
    {
        SCOPED_TRACE("separators at both ends, max 2");
        CString t(",a,b,c,");
        EXPECT_EQ(t.Split(W(","), &list, 2, 0), 2);
        EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "b"}));
    }
}

TEST(SdoEdit, StringListOwnsItsItems) {
    CStringList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Item(0), nullptr);
    list.Append(nullptr);
    EXPECT_EQ(list.Count(), 0);
    list.Append(static_cast<char*>(CData::CAlloc(4, 1)));   // freed by the list (ASan checks)
    list.Append(static_cast<char*>(CData::CAlloc(8, 1)));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_STREQ(list.Item(1), "");
    EXPECT_EQ(list.Item(2), nullptr);
    EXPECT_EQ(list.Item(-1), nullptr);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.Append(static_cast<char*>(CData::CAlloc(4, 1)));   // released by the destructor
}

} // namespace
