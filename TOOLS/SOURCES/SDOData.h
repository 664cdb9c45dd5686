// SDO: CData, a byte buffer with a length, the base of the library's classes.
//
// CData owns the library's allocation rules (Padding, CAlloc), its class-wide counters and the
// shared scratch texts that the renderings return. Only one thread at a time may use the
// library: the counters and scratch texts are process-wide and unguarded.  [any, one at a time]
#pragma once

#include <climits>

namespace SDO {

class CData {
 public:
  CData();
  virtual ~CData();
  CData(const CData&) = delete;  // a copy would share and free the buffer twice
  CData& operator=(const CData&) = delete;

  virtual const char* ClassName();
  virtual int ClassCount();
  virtual int Length();
  virtual bool Empty();
  virtual long DataSize();       // Padding(length): the buffer's capacity in bytes
  virtual int ObjectSize();      // 32, the size of the object itself
  virtual const char* String();  // Hex5() here; the text in CString

  // Renderings of the bytes, left in the scratch text `temp` (valid until the next scratch
  // result of any object). Length 0 answers a constant text; a failed allocation answers
  // "(out of memory)" and leaves no scratch text.
  virtual const char* Hex2();      // "01AB"
  virtual const char* ColorRGB();  // "#01AB"
  virtual const char* Hex3();      // "01 AB"
  virtual const char* Hex4();      // "#01 #AB"
  virtual const char* Hex5();      // "0x01 0xAB"
  virtual const char* XML(int indent);

  void Clear();  // releases the content; length 0

  // Capacity for n content bytes: 0 for n < 1, else n + 1 rounded up to a multiple of 4,
  // so at least one zero byte follows the content.
  static long Padding(int n);
  // Zero-filled count * size bytes, or null when either is 0 or memory is short.
  static void* CAlloc(unsigned long count, unsigned long size);
  // Bytes before the first zero; 0 for null.
  static int StrLen(const char* text);

  static int count;       // live CData objects, subclasses included; from -1
  static char* temp;      // the shared scratch text
  static wchar_t* wtemp;  // the wide scratch text of CString::Unicode()
  static char* err;       // nothing sets it; released with the other two

 protected:
  // 64-bit forms of the rules above: lengths above INT_MAX are refused (0 / null), so no
  // length product or sum can wrap into an undersized buffer.
  static long long PaddingOf(long long n);
  static char* NewBuffer(long long n);  // zero-filled, Padding(n) bytes; null if refused
  static void SetTemp(char* text);      // releases the previous scratch text

  const char* classname;
  char* data;
  int length;

 private:
  const char* Render(long long basis, const char* lead, const char* prefix, bool spaced);
};

}  // namespace SDO
