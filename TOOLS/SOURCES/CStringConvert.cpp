// CString: number conversions, the wide text, encoding, character classes and XML.
#include "SDOString.h"

#include <cstdlib>
#include <cstring>

namespace SDO {

// glibc's atoi is (int) strtol(text, 0, 10); spelled out here, since atoi itself is undefined
// for values outside int.
int CString::Integer() {
  return length == 0 ? 0 : static_cast<int>(std::strtol(c_str(), nullptr, 10));
}

int CString::HexToInt() {
  return length == 0 ? 0 : static_cast<int>(std::strtol(c_str(), nullptr, 16));
}

float CString::Float() {
  return length == 0 ? 0.0f : static_cast<float>(std::atof(c_str()));
}

double CString::Double() {
  return length == 0 ? 0.0 : std::atof(c_str());
}

bool CString::ToBool() {
  return length != 0;
}

// Each byte taken as a Latin-1 code point.
wchar_t* CString::Unicode() {
  static_assert(sizeof(wchar_t) == 4, "the wide text has 32-bit units");
  if (length == 0)
    return nullptr;
  std::free(wtemp);
  wtemp = nullptr;
  auto* wide = static_cast<wchar_t*>(CAlloc(static_cast<unsigned long>(Padding(length)), sizeof(wchar_t)));
  if (!wide)
    return nullptr;
  for (int i = 0; i < length; ++i)
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(data[i]));
  wtemp = wide;
  return wide;
}

void CString::Decode() {}

void CString::Encode() {
  if (length == 0)
    return;
  const char* hex = Hex2();
  if (!temp)  // the rendering failed: keep the content
    return;
  operator=(const_cast<char*>(hex));
}

bool CString::IsASCII() {
  for (const char* p = c_str(); *p; ++p)
    if (static_cast<unsigned char>(*p) & 0x80)
      return false;
  return true;
}

bool CString::IsKeyword() {
  for (int i = 0; i < length; ++i) {
    const char c = data[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i != 0))
      return false;
  }
  return true;
}

const char* CString::XML(int indent) {
  static const char undefined[] = "<CData>\n\tundefined</CData>";
  static const char head[] = "<CString encoding='UTF8'>\n\t";
  static const char tail[] = "</CString>\n";
  if (length == 0 || !data)
    return undefined;
  SetTemp(nullptr);
  const int tabs = indent > 0 ? indent : 0;
  const long long size = 3LL * tabs + (sizeof head - 1) + length + 1 + (sizeof tail - 1);
  char* out = NewBuffer(size);
  if (!out)
    return undefined;
  char* w = out;
  auto put = [&w](const void* bytes, size_t n) {
    std::memcpy(w, bytes, n);
    w += n;
  };
  auto putTabs = [&w, tabs] {
    std::memset(w, '\t', static_cast<size_t>(tabs));
    w += tabs;
  };
  putTabs();
  put(head, sizeof head - 1);
  putTabs();
  put(data, static_cast<size_t>(length));  // as it is, without escaping
  put("\n", 1);
  putTabs();
  put(tail, sizeof tail - 1);
  temp = out;
  return out;
}

}  // namespace SDO
