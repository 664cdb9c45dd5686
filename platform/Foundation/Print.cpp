#include "Foundation/Print.h"

#include <cstdio>

namespace {

// One locked stretch of stdout per call: printf from other threads waits for the whole line, and
// the flush hands the line to the file descriptor at once, so lines also stay in order with
// writes that bypass stdio (another process on the same pipe, a crash right after).
void writeLocked(std::string_view text, bool newline) {
  std::FILE* out = stdout;
  flockfile(out);
  if (!text.empty()) fwrite_unlocked(text.data(), 1, text.size(), out);
  if (newline) fputc_unlocked('\n', out);
  fflush_unlocked(out);
  funlockfile(out);
}

}  // namespace

void print(std::string_view text) { writeLocked(text, true); }

void printRaw(std::string_view text) { writeLocked(text, false); }
