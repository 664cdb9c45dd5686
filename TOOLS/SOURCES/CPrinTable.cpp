#include "SDOPrinTable.h"

#include <cstring>

namespace SDO {

namespace {

// ASCII control abbreviations; 9, 10 and 13 are named by the character itself instead.
const char* const kControlNames[32] = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>", "<BS>",  "\t",    "\n",
    "<VT>",  "<FF>",  "\r",    "<SO>",  "<SI>",  "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>",
    "<SYN>", "<ETB>", "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>",
};

}  // namespace

CPrinTable::CPrinTable() {
  for (int c = 0; c < 128; ++c) {
    std::memset(names[c], 0, sizeof names[c]);
    if (c < 32)
      std::strcpy(names[c], kControlNames[c]);
    else if (c == 127)
      std::strcpy(names[c], "<DEL>");
    else
      names[c][0] = static_cast<char>(c);
    refs[c] = names[c];
  }
}

}  // namespace SDO
