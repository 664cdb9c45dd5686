#include "SDOData.h"
#include "SDOHexTable.h"

#include <cstdlib>
#include <cstring>

namespace SDO {

namespace {

const char kUndefinedXML[] = "<CData>\n\tundefined</CData>";
const char kOutOfMemory[] = "(out of memory)";

char* Append(char* w, const char* text) {
  const size_t n = std::strlen(text);
  std::memcpy(w, text, n);
  return w + n;
}

char* Tabs(char* w, int n) {
  std::memset(w, '\t', static_cast<size_t>(n));
  return w + n;
}

}  // namespace

static_assert(sizeof(CData) == 32, "the object layout is vtable, class name, content, length");

CData::CData() : classname("CData"), data(nullptr), length(0) {
  ++count;
}

CData::~CData() {
  Clear();
  if (--count <= 0) {
    std::free(temp);
    std::free(wtemp);
    std::free(err);
    temp = nullptr;
    wtemp = nullptr;
    err = nullptr;
  }
}

const char* CData::ClassName() {
  return classname;
}
int CData::ClassCount() {
  return count;
}
int CData::Length() {
  return length;
}
bool CData::Empty() {
  return length == 0;
}
long CData::DataSize() {
  return Padding(length);
}
int CData::ObjectSize() {
  return static_cast<int>(sizeof(CData));
}
const char* CData::String() {
  return Hex5();
}

void CData::Clear() {
  std::free(data);
  data = nullptr;
  length = 0;
}

long CData::Padding(int n) {
  return static_cast<long>(PaddingOf(n));
}

long long CData::PaddingOf(long long n) {
  if (n < 1)
    return 0;
  return (n + 1 + 3) & ~3LL;
}

void* CData::CAlloc(unsigned long count, unsigned long size) {
  if (count == 0 || size == 0)
    return nullptr;
  return std::calloc(count, size);
}

int CData::StrLen(const char* text) {
  if (!text)
    return 0;
  const size_t n = std::strlen(text);
  return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

char* CData::NewBuffer(long long n) {
  if (n < 1 || n > INT_MAX)
    return nullptr;
  return static_cast<char*>(CAlloc(static_cast<unsigned long>(PaddingOf(n)), 1));
}

void CData::SetTemp(char* text) {
  std::free(temp);
  temp = text;
}

// Writes every byte as two digits from hextable, after `prefix`; `lead` once before all.
// Spaced renderings write a space after each byte and then overwrite the last one with the
// terminating zero. `basis` is the size basis of the rendering (2n, 3n, 4n or 5n), whose
// Padding always leaves room for the lead and the terminating zero.
const char* CData::Render(long long basis, const char* lead, const char* prefix, bool spaced) {
  SetTemp(nullptr);
  char* out = NewBuffer(basis);
  if (!out)
    return kOutOfMemory;
  char* w = Append(out, lead);
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  for (int i = 0; i < length; ++i) {
    w = Append(w, prefix);
    *w++ = hextable[2 * bytes[i]];
    *w++ = hextable[2 * bytes[i] + 1];
    if (spaced)
      *w++ = ' ';
  }
  if (spaced)
    w[-1] = '\0';
  temp = out;
  return out;
}

const char* CData::Hex2() {
  return length == 0 ? "00" : Render(2LL * length, "", "", false);
}

const char* CData::ColorRGB() {
  return length == 0 ? "#000000" : Render(2LL * length, "#", "", false);
}

const char* CData::Hex3() {
  return length == 0 ? "00" : Render(3LL * length, "", "", true);
}

const char* CData::Hex4() {
  return length == 0 ? "#00" : Render(4LL * length, "", "#", true);
}

const char* CData::Hex5() {
  return length == 0 ? "0x00" : Render(5LL * length, "", "0x", true);
}

const char* CData::XML(int indent) {
  if (!data || length == 0)
    return kUndefinedXML;
  const char* rendering = Hex5();
  static const char head[] = "<CData encoding='HEX5'>\n\t";
  static const char tail[] = "</CData>\n";
  const int tabs = indent > 0 ? indent : 0;
  const long long size =
      3LL * tabs + (sizeof head - 1) + static_cast<long long>(std::strlen(rendering)) + 1 + (sizeof tail - 1);
  char* out = NewBuffer(size);
  if (!out)
    return kUndefinedXML;
  char* w = Tabs(out, tabs);
  w = Append(w, head);
  w = Tabs(w, tabs);
  w = Append(w, rendering);
  *w++ = '\n';
  w = Tabs(w, tabs);
  Append(w, tail);
  SetTemp(out);  // releases the rendering
  return out;
}

}  // namespace SDO
