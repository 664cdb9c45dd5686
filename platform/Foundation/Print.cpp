#include "Foundation/Print.h"

#include <cstdio>

namespace {

// One locked stretch of stdout per call: printf from other threads waits for the whole line, and
// the flush hands the line to the file descriptor at once, so lines also stay in order with
// writes that bypass stdio (another process on the same pipe, a crash right after).
void writeLocked(std::string_view text, bool newline) {
  std::FILE* out = stdout;
  flockfile(out);
  // The locking calls inside take the lock we hold again (it is recursive); they keep every
  // access to the stream inside the C library.
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out);
  if (newline) std::fputc('\n', out);
  std::fflush(out);
  funlockfile(out);
}

}  // namespace

void print(std::string_view text) { writeLocked(text, true); }

void printRaw(std::string_view text) { writeLocked(text, false); }
