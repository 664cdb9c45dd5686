// Helpers of the SDO string tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "SDOString.h"

namespace sdotest {

// Most of CString's text operands are `char*`, and some operators behave differently for
// `char*` and `const char*` (operator= returns 0 for the one, the new length for the other):
// W passes a literal as the `char*` overload.
inline char* W(const char* text) { return const_cast<char*>(text); }

// Every content byte, zeros included.
inline std::string Bytes(SDO::CString& s) {
    std::string out;
    for (int i = 0; i < s.Length(); ++i)
        out += static_cast<char>(s.At(i));
    return out;
}

// What `f` prints on stdout.
template <typename F>
std::string Printed(F&& f) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    f();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

} // namespace sdotest
