// SDO: CString, a heap-held run of bytes with a length.
//
// The content may hold any byte, zero included. Operations that treat it as a text
// (comparisons, IsASCII, printing) see it up to the first zero byte; the others see every byte.
// An empty string holds no buffer and reads as the text "(null*)".
//
// Every change of content builds the new buffer first and releases the old one last, so a
// string may be given itself, its own text or CString::tempstr as an operand.
//
// The operators +, -, * leave their result in the one process-wide CString::tempstr and return
// it; SubStr and the renderings leave theirs in CData::temp. Such a result is valid until the
// next call of the same kind on any object. Only one thread at a time may use the library.
// [any, one at a time]
#pragma once

#include "SDOData.h"
#include "SDOStringList.h"

namespace SDO {

class CString : public CData {
 public:
  CString();
  CString(const char* text);  // copies the bytes up to the zero byte
  ~CString() override;
  CString(const CString&) = delete;  // use operator=(CString&)

  int ClassCount() override;
  const char* String() override;
  const char* XML(int indent) override;

  // Assignment: the old content is replaced by a copy of the new value.
  virtual int operator=(CString& other);    // 0
  virtual int operator=(char* text);        // 0
  virtual int operator=(const char* text);  // the new length
  virtual int operator=(int value);         // "%d"; 0
  virtual int operator=(double value);      // "%f"; 0

  // Byte i for 0 <= i < length, otherwise the shared byte `nirvana`, set to 0 first.
  virtual char& operator[](int i);

  // Comparisons of the texts that c_str() gives, in strcmp order; a null text reads as
  // "(null*)".
  virtual bool operator==(char* text);
  virtual bool operator==(CString& other);
  virtual bool operator!=(CString& other);
  virtual bool operator!=(char* text);
  virtual bool operator<(CString& other);
  virtual bool operator>(CString& other);
  virtual bool operator<=(CString& other);
  virtual bool operator>=(CString& other);

  // Appending; always 0. A failed allocation leaves the string unchanged.
  virtual int operator+=(CString& other);
  virtual int operator+=(char* text);
  virtual int operator+=(char c);
  virtual int operator+=(int value);
  virtual int operator+=(double value);

  // Removing; always 0. -=(text) is Replace(text, null, 0, true): removing the whole
  // content fails, so "ab" -= "ab" stays "ab" and "XX" -= "X" gives "X".
  virtual int operator-=(char* text);
  virtual int operator-=(int n);  // the last n bytes

  // Results in CString::tempstr. This object itself is returned for + of an empty string or
  // a null text, * below 2, - below 1 and - of a null text.
  virtual CString& operator+(CString& other);
  virtual CString& operator+(char* text);
  virtual CString& operator+(int value);
  virtual CString& operator+(double value);
  virtual CString& operator*(int n);
  virtual CString& operator-(int n);
  virtual CString& operator-(char* text);

  virtual int operator>>(int n);       // prints the text n times to stdout; 0
  virtual int operator<<(char* path);  // loads the whole file; the new length
  virtual int operator>>(char* path);  // saves the content; 0

  virtual signed char At(int i);  // byte i, or 0 outside the content
  virtual signed char First();
  virtual signed char Last();

  virtual int Find(char* text, int start);
  virtual bool Replace(char* search, char* replacement, int start, bool all);
  virtual void Insert(int pos, char* text);
  virtual char* SubStr(int start, int count);  // in CData::temp, or null
  virtual void Trim();
  virtual void TrimLeft();
  virtual void TrimRight();
  virtual int Split(char* separator, CStringList* list, int max, int start);
  virtual void Uppercase();
  virtual void Lowercase();
  virtual void Revertcase();

  virtual int Integer();
  virtual int HexToInt();
  virtual float Float();
  virtual double Double();
  virtual bool ToBool();
  virtual wchar_t* Unicode();  // in CData::wtemp, or null

  virtual void Decode();  // the counterpart of Encode(); changes nothing
  virtual void Encode();  // content := its Hex2() text
  virtual bool IsASCII();
  virtual bool IsKeyword();
  virtual const char* c_str();

  void init();
  const char* Data();
  void reassign(int n);  // n zero bytes (empty for n < 1)

  static int count;        // live CString objects; from -1
  static CString tempstr;  // the shared result of +, -, *
  static char nirvana;     // the byte that out-of-range indexing refers to

 private:
  // Installs a buffer built by NewBuffer (or null for empty) as the new content and
  // releases the old one.
  void Install(char* buffer, int n);
  // Sets this object to the bytes of a followed by those of b; either may alias any
  // content, this object's included. false (and no change) when it cannot be allocated.
  bool SetJoined(const char* a, long long na, const char* b, long long nb);
  // Position of text (tlen bytes) in bytes[0..len) at or after start, or -1.
  static int FindIn(const char* bytes, int len, const char* text, int tlen, int start);
  // bytes[0..len) with search replaced (from start; every occurrence when all), in a new
  // buffer of *newLength bytes; null when nothing is to be replaced or it cannot be built.
  static char* Replaced(const char* bytes, int len, char* search, char* replacement, int start, bool all,
                        int* newLength);
};

}  // namespace SDO
