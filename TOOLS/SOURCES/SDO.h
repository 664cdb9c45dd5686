// SDO: the authors' string and data library. Include this header to use it.
//
// Every unit that includes it gets its own print table, hexadecimal table and the two strings
// `invalid` and `empty`, built at start-up in that order; the library's own unit adds
// CString::tempstr after them. So with two including units (the kernel adapter's and the
// library's) the counters stand at 4 after start-up.
#pragma once

#include "SDOData.h"
#include "SDOHexTable.h"
#include "SDOPrinTable.h"
#include "SDOString.h"
#include "SDOStringList.h"

namespace SDO {

static CPrinTable PrinTable;
static CString invalid("null");
static CString empty(" ");  // a single space, length 1

}  // namespace SDO
