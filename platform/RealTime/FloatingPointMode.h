// The processor's handling of subnormal floats for the calling thread: flush-to-zero (results
// that would be subnormal become 0) and denormals-are-zero (subnormal inputs read as 0).
//
// Recursive filters and envelope followers that decay towards 0 otherwise settle on subnormal
// values, and arithmetic on those is many times slower on most processors. Results of normal
// numbers that stay normal are the same in both modes.
//
// x86-64: the FTZ (bit 15) and DAZ (bit 6) flags of MXCSR. AArch64: the FZ flag (bit 24) of FPCR,
// which covers both. Elsewhere nothing is changed and subnormals stay. [any: per thread]
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#endif

namespace FloatingPointMode {

// The thread's control word as the functions below read and restore it.
using Word = std::uint64_t;

#if defined(__x86_64__) || defined(_M_X64)
inline constexpr Word kFlushBits = (Word(1) << 15) | (Word(1) << 6);
inline Word read() noexcept {
  return _mm_getcsr();
}
inline void write(Word word) noexcept {
  _mm_setcsr(static_cast<unsigned>(word));
}
#elif defined(__aarch64__)
inline constexpr Word kFlushBits = Word(1) << 24;
inline Word read() noexcept {
  Word word;
  asm volatile("mrs %0, fpcr" : "=r"(word));
  return word;
}
inline void write(Word word) noexcept {
  asm volatile("msr fpcr, %0" : : "r"(word));
}
#else
inline constexpr Word kFlushBits = 0;
inline Word read() noexcept {
  return 0;
}
inline void write(Word) noexcept {}
#endif

// True when this thread flushes subnormals to zero (always false where that is not supported).
inline bool flushesSubnormals() noexcept {
  return kFlushBits != 0 && (read() & kFlushBits) == kFlushBits;
}

// Turns flushing on for this thread and returns the word to hand back to restore(). Writes the
// control register only when a flag is missing: reading it is cheap, writing it is not.
inline Word enterFlushToZero() noexcept {
  const Word saved = read();
  if ((saved & kFlushBits) != kFlushBits)
    write(saved | kFlushBits);
  return saved;
}

// Puts back the flags enterFlushToZero() found.
inline void restore(Word saved) noexcept {
  if ((saved & kFlushBits) != kFlushBits)
    write(saved);
}

}  // namespace FloatingPointMode
