// SDO: CStringList, the list of texts that CString::Split fills. The list owns its items:
// appended texts are released (free) when the list is emptied or destroyed.  [any, one at a time]
#pragma once

#include <vector>

namespace SDO {

class CStringList {
 public:
  CStringList() = default;
  virtual ~CStringList();
  CStringList(const CStringList&) = delete;
  CStringList& operator=(const CStringList&) = delete;

  virtual void Clear();  // releases every item
  // Takes ownership of a zero-terminated text allocated with CData::CAlloc (or malloc).
  // Null is ignored; when the list cannot grow the text is released.
  virtual void Append(char* text);
  virtual int Count();
  virtual const char* Item(int index);  // null outside 0..Count()-1

  static char* temp;      // zero; nothing reads or writes it
  static int classcount;  // zero; nothing reads or writes it

 private:
  std::vector<char*> items;
};

}  // namespace SDO
