#include "UIKit/internal/UIKitLog.h"

#include <cstdio>
#include <string>

void uikitLog(std::string_view line) {
  std::string whole(line);
  whole += '\n';
  // One fwrite of the whole line: glibc locks the stream for the call, so lines never interleave.
  std::fwrite(whole.data(), 1, whole.size(), stderr);
  std::fflush(stderr);
}
