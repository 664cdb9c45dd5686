// SDO: CPrinTable, printable names of the character codes 0 to 127. Plain data built once at
// start-up and never destroyed.  [any]
#pragma once

namespace SDO {

class CPrinTable {
 public:
  CPrinTable();

  // Codes 32..126 and 9, 10, 13 are named by the character itself, the other control codes
  // by their ASCII abbreviation in angle brackets ("<NUL>" .. "<US>", "<DEL>").
  char names[128][6];
  char* refs[128];  // refs[c] points at names[c]
};

}  // namespace SDO
