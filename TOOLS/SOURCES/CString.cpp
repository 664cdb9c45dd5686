// CString: construction, assignment, comparison, appending, removing and the operators with
// the shared result.
#include "SDOString.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace SDO {

namespace {

const char kNullText[] = "(null*)";

// "%f" of a double has at most 309 integer digits, the point, six decimals, a sign and the
// terminating zero (317 bytes); the sized buffer keeps any other case safe as well.
struct Formatted {
  char text[352];
  int n;
};

Formatted Format(int value) {
  Formatted f;
  f.n = std::snprintf(f.text, sizeof f.text, "%d", value);
  return f;
}

Formatted Format(double value) {
  Formatted f;
  f.n = std::snprintf(f.text, sizeof f.text, "%f", value);
  if (f.n >= static_cast<int>(sizeof f.text))
    f.n = static_cast<int>(sizeof f.text) - 1;
  return f;
}

int Compare(const char* a, const char* b) {
  return std::strcmp(a ? a : kNullText, b ? b : kNullText);
}

}  // namespace

CString::CString() {
  init();
}

CString::CString(const char* text) {
  init();
  SetJoined(text, StrLen(text), nullptr, 0);
}

CString::~CString() {
  Clear();
  --count;
}

void CString::init() {
  ++count;
  classname = "CString";
}

int CString::ClassCount() {
  return count;
}
const char* CString::String() {
  return c_str();
}
const char* CString::c_str() {
  return length == 0 || !data ? kNullText : data;
}
const char* CString::Data() {
  return c_str();
}

void CString::Install(char* buffer, int n) {
  std::free(data);
  data = buffer;
  length = buffer ? n : 0;
}

bool CString::SetJoined(const char* a, long long na, const char* b, long long nb) {
  const long long n = na + nb;
  if (n == 0) {
    Clear();
    return true;
  }
  char* buffer = NewBuffer(n);  // refuses n > INT_MAX
  if (!buffer)
    return false;
  if (na > 0)
    std::memcpy(buffer, a, static_cast<size_t>(na));
  if (nb > 0)
    std::memcpy(buffer + na, b, static_cast<size_t>(nb));
  Install(buffer, static_cast<int>(n));
  return true;
}

void CString::reassign(int n) {
  Clear();
  if (n > 0)
    Install(NewBuffer(n), n);
}

// Assignment -------------------------------------------------------------------------------

int CString::operator=(CString& other) {
  if (&other != this && !SetJoined(other.data, other.length, nullptr, 0))
    Clear();
  return 0;
}

int CString::operator=(char* text) {
  if (!SetJoined(text, StrLen(text), nullptr, 0))
    Clear();
  return 0;
}

int CString::operator=(const char* text) {
  if (!SetJoined(text, StrLen(text), nullptr, 0))
    Clear();
  return length;
}

int CString::operator=(int value) {
  const Formatted f = Format(value);
  if (!SetJoined(f.text, f.n, nullptr, 0))
    Clear();
  return 0;
}

int CString::operator=(double value) {
  const Formatted f = Format(value);
  if (!SetJoined(f.text, f.n, nullptr, 0))
    Clear();
  return 0;
}

// Access -----------------------------------------------------------------------------------

char& CString::operator[](int i) {
  if (i >= 0 && i < length)
    return data[i];
  nirvana = 0;
  return nirvana;
}

signed char CString::At(int i) {
  if (i >= 0 && i < length)
    return static_cast<signed char>(data[i]);
  return 0;
}

signed char CString::First() {
  return At(0);
}
signed char CString::Last() {
  return At(length - 1);
}

// Comparison -------------------------------------------------------------------------------

bool CString::operator==(char* text) {
  return Compare(c_str(), text) == 0;
}
bool CString::operator==(CString& other) {
  return Compare(c_str(), other.c_str()) == 0;
}
bool CString::operator!=(CString& other) {
  return Compare(c_str(), other.c_str()) != 0;
}
bool CString::operator!=(char* text) {
  return Compare(c_str(), text) != 0;
}
bool CString::operator<(CString& other) {
  return Compare(c_str(), other.c_str()) < 0;
}
bool CString::operator>(CString& other) {
  return Compare(c_str(), other.c_str()) > 0;
}
bool CString::operator<=(CString& other) {
  return Compare(c_str(), other.c_str()) <= 0;
}
bool CString::operator>=(CString& other) {
  return Compare(c_str(), other.c_str()) >= 0;
}

// Appending and removing -------------------------------------------------------------------

int CString::operator+=(CString& other) {
  if (other.length > 0)
    SetJoined(data, length, other.data, other.length);
  return 0;
}

int CString::operator+=(char* text) {
  const int n = StrLen(text);
  if (n > 0)
    SetJoined(data, length, text, n);
  return 0;
}

int CString::operator+=(char c) {
  SetJoined(data, length, &c, 1);
  return 0;
}

int CString::operator+=(int value) {
  const Formatted f = Format(value);
  SetJoined(data, length, f.text, f.n);
  return 0;
}

int CString::operator+=(double value) {
  const Formatted f = Format(value);
  SetJoined(data, length, f.text, f.n);
  return 0;
}

int CString::operator-=(char* text) {
  Replace(text, nullptr, 0, true);
  return 0;
}

int CString::operator-=(int n) {
  if (n < 1)
    return 0;
  if (n < length)
    SetJoined(data, length - n, nullptr, 0);
  else
    Clear();
  return 0;
}

// Operators with the shared result ---------------------------------------------------------
// Each builds tempstr's new content before releasing its old one, so tempstr may itself be
// this object or the operand.

CString& CString::operator+(CString& other) {
  if (other.length == 0)
    return *this;
  if (!tempstr.SetJoined(data, length, other.data, other.length))
    tempstr.Clear();
  return tempstr;
}

CString& CString::operator+(char* text) {
  if (!text)
    return *this;
  if (!tempstr.SetJoined(data, length, text, StrLen(text)))
    tempstr.Clear();
  return tempstr;
}

CString& CString::operator+(int value) {
  const Formatted f = Format(value);
  if (!tempstr.SetJoined(data, length, f.text, f.n))
    tempstr.Clear();
  return tempstr;
}

CString& CString::operator+(double value) {
  const Formatted f = Format(value);
  if (!tempstr.SetJoined(data, length, f.text, f.n))
    tempstr.Clear();
  return tempstr;
}

CString& CString::operator*(int n) {
  if (n < 2)
    return *this;
  const long long total = static_cast<long long>(length) * n;  // refused above INT_MAX
  char* buffer = NewBuffer(total);
  if (!buffer) {
    tempstr.Clear();
    return tempstr;
  }
  for (int i = 0; i < n; ++i)
    std::memcpy(buffer + static_cast<long long>(i) * length, data, static_cast<size_t>(length));
  tempstr.Install(buffer, static_cast<int>(total));
  return tempstr;
}

CString& CString::operator-(int n) {
  if (n < 1)
    return *this;
  if (n >= length || !tempstr.SetJoined(data, length - n, nullptr, 0))
    tempstr.Clear();
  return tempstr;
}

CString& CString::operator-(char* text) {
  if (!text)
    return *this;
  int n = 0;
  if (char* removed = Replaced(data, length, text, nullptr, 0, true, &n))
    tempstr.Install(removed, n);
  else if (!tempstr.SetJoined(data, length, nullptr, 0))
    tempstr.Clear();
  return tempstr;
}

}  // namespace SDO
