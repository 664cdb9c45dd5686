// Helpers of the SDO tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SDOString.h"
#include "StdoutCapture.h"

namespace sdotest {

// The names every SDO test uses, brought in by `using namespace sdotest`.
using namespace std::string_literals;
using SDO::CData;
using SDO::CString;
using SDO::CStringList;

// Some CString operators behave differently for `char*` and `const char*` (operator= returns 0
// for the one, the new length for the other): W passes a literal as the `char*` overload.
inline char* W(const char* text) {
  return const_cast<char*>(text);
}

// Every content byte, zeros included.
inline std::string Bytes(SDO::CString& s) {
  std::string out;
  for (int i = 0; i < s.Length(); ++i)
    out += static_cast<char>(s.At(i));
  return out;
}

// Makes `s` hold exactly these bytes (zeros included) without the operators under test.
inline void SetBytes(SDO::CString& s, const std::string& bytes) {
  s.reassign(static_cast<int>(bytes.size()));
  for (size_t i = 0; i < bytes.size(); ++i)
    s[static_cast<int>(i)] = bytes[i];
}

// An operation on a string holding `before`: what it answers and the bytes it leaves. OP gives
// the text and the function of an operator's expression on `s`; DO those of a call that answers
// nothing (taken as 0).
struct Edit {
  std::string before;
  const char* what;
  std::function<int(SDO::CString&)> op;
  std::string after;
  int answer = 0;
};
#define OP(expr) #expr, [](SDO::CString & s) -> int { return (expr); }
#define DO(expr) \
#expr, [](SDO::CString & s) -> int { (expr); return 0; }

inline void CheckEdits(const std::vector<Edit>& edits) {
  for (const Edit& e : edits) {
    SCOPED_TRACE(testing::Message() << e.what << " on '" << e.before << "'");
    SDO::CString s;
    SetBytes(s, e.before);
    EXPECT_EQ(e.op(s), e.answer);
    EXPECT_EQ(Bytes(s), e.after);
  }
}

// The items of a list, in order.
inline std::vector<std::string> Items(SDO::CStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i)
    out.emplace_back(list.Item(i));
  return out;
}

// What `f` prints on stdout.
template <typename F>
std::string Printed(F&& f) {
  stdout_capture::beginCapture();
  f();
  return stdout_capture::endCapture();
}

}  // namespace sdotest
