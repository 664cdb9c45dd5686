// The library's own unit: it includes the public header like any user (so it builds its own
// print table and the strings `invalid` and `empty`), then defines the class-wide state.
// CString::tempstr is defined after the header's objects, so it is built after them.
#include "SDO.h"

namespace SDO {

int CData::count = -1;
char* CData::temp = nullptr;
wchar_t* CData::wtemp = nullptr;
char* CData::err = nullptr;

int CString::count = -1;
char CString::nirvana = 0;

char* CStringList::temp = nullptr;
int CStringList::classcount = 0;

CString CString::tempstr;

}  // namespace SDO
