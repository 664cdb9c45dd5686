// CString: search, replace, insert, sub-strings, trimming, splitting and case changes.
#include "SDOString.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace SDO {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

int CString::FindIn(const char* bytes, int len, const char* text, int tlen, int start) {
  if (len == 0 || !text)
    return -1;
  if (start < 0)
    start = 0;
  if (start >= len || tlen == 0)
    return -1;
  // Works by length: the content may hold zero bytes.
  const std::string_view hay(bytes, static_cast<size_t>(len));
  const size_t p = hay.find(std::string_view(text, static_cast<size_t>(tlen)), static_cast<size_t>(start));
  return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

int CString::Find(char* text, int start) {
  return FindIn(data, length, text, StrLen(text), start);
}

// One replacement at the first occurrence p from start; when all is set, the next one is
// searched from p plus the replacement's length in the new content, which is the same as
// from p plus the search's length in the old content. A step whose new length would be 0 (or
// above INT_MAX) fails and ends the run, keeping the steps before it: so removing every
// occurrence from a content made only of occurrences leaves the last one. The steps are
// counted first and then built in one pass, without recursion and in linear time.
char* CString::Replaced(const char* bytes, int len, char* search, char* replacement, int start, bool all,
                        int* newLength) {
  if (len == 0 || !search)
    return nullptr;
  if (replacement && std::strcmp(replacement, search) == 0)
    return nullptr;
  const int slen = StrLen(search);
  const int rlen = StrLen(replacement);
  const int first = FindIn(bytes, len, search, slen, start);
  if (first < 0)
    return nullptr;

  const long long step = static_cast<long long>(rlen) - slen;
  long long total = len;
  int steps = 0;
  for (int p = first; p >= 0; p = FindIn(bytes, len, search, slen, p + slen)) {
    const long long next = total + step;
    if (next < 1 || next > INT_MAX)
      break;
    total = next;
    ++steps;
    if (!all)
      break;
  }
  if (steps == 0)
    return nullptr;
  char* out = NewBuffer(total);
  if (!out)
    return nullptr;

  char* w = out;
  int from = 0;
  int p = first;
  for (int k = 0; k < steps; ++k) {
    std::memcpy(w, bytes + from, static_cast<size_t>(p - from));
    w += p - from;
    if (rlen > 0)
      std::memcpy(w, replacement, static_cast<size_t>(rlen));
    w += rlen;
    from = p + slen;
    p = FindIn(bytes, len, search, slen, from);
  }
  std::memcpy(w, bytes + from, static_cast<size_t>(len - from));
  *newLength = static_cast<int>(total);
  return out;
}

bool CString::Replace(char* search, char* replacement, int start, bool all) {
  int n = 0;
  char* replaced = Replaced(data, length, search, replacement, start, all, &n);
  if (!replaced)
    return false;
  Install(replaced, n);
  return true;
}

void CString::Insert(int pos, char* text) {
  const int n = StrLen(text);
  if (n == 0 || pos < 0 || pos >= length)
    return;
  char* buffer = NewBuffer(static_cast<long long>(length) + n);
  if (!buffer)
    return;
  std::memcpy(buffer, data, static_cast<size_t>(pos));
  std::memcpy(buffer + pos, text, static_cast<size_t>(n));
  std::memcpy(buffer + pos + n, data + pos, static_cast<size_t>(length - pos));
  Install(buffer, length + n);
}

char* CString::SubStr(int start, int count) {
  if (length == 0 || start < 0 || start >= length)
    return nullptr;
  const long long n = std::min<long long>(count, static_cast<long long>(length) - start);
  if (n <= 0)
    return nullptr;
  SetTemp(nullptr);
  char* copy = NewBuffer(n);
  if (!copy)
    return nullptr;
  std::memcpy(copy, data + start, static_cast<size_t>(n));
  temp = copy;
  return copy;
}

void CString::TrimLeft() {
  int k = 0;
  while (k < length && IsBlank(data[k]))
    ++k;
  if (k == 0)
    return;
  if (k == length || !SetJoined(data + k, length - k, nullptr, 0))
    Clear();
}

void CString::TrimRight() {
  int k = 0;
  while (k < length && IsBlank(data[length - 1 - k]))
    ++k;
  if (k == 0)
    return;
  if (k == length || !SetJoined(data, length - k, nullptr, 0))
    Clear();
}

void CString::Trim() {
  TrimLeft();
  if (length != 0)
    TrimRight();
}

// Pieces between separators go to the list as new texts that the list then owns; empty
// pieces (adjacent separators) are dropped. Iterative: one pass over the content. The
// separator is copied first: it may be one of the texts that emptying the list releases.
int CString::Split(char* text, CStringList* list, int max, int start) {
  if (!text || !list || length == 0)
    return -1;
  std::string copy(text);
  char* separator = copy.data();
  if (start == 0)
    list->Clear();
  const int slen = StrLen(separator);
  auto append = [&](int from, int to) {  // true when max items are reached
    from = std::max(from, 0);
    if (to <= from)
      return false;
    const int n = to - from;
    if (auto* piece = static_cast<char*>(CAlloc(static_cast<unsigned long>(Padding(n)), 1))) {
      std::memcpy(piece, data + from, static_cast<size_t>(n));
      list->Append(piece);
    }
    return max >= 1 && list->Count() >= max;
  };
  for (int from = start;;) {
    const int p = Find(separator, from);
    if (p < 0) {
      append(from, length);
      break;
    }
    if (p > from && append(from, p))
      break;
    from = p + slen;
  }
  return list->Count();
}

// Case changes in place; the bytes go to the ctype functions as unsigned values.
void CString::Uppercase() {
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (std::islower(c))
      data[i] = static_cast<char>(std::toupper(c));
  }
}

void CString::Lowercase() {
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (std::isupper(c))
      data[i] = static_cast<char>(std::tolower(c));
  }
}

void CString::Revertcase() {
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (std::islower(c))
      data[i] = static_cast<char>(std::toupper(c));
    else if (std::isupper(c))
      data[i] = static_cast<char>(std::tolower(c));
  }
}

}  // namespace SDO
