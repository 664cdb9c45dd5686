#include "Logging.h"

#include "Foundation/Print.h"

void safeprint(std::string_view text) {
  printLogLine(text);
}

void debugprint(std::string_view text) {
  printLogLine(text);
}
