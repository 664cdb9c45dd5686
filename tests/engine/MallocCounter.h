// Counts every heap allocation of the arming thread — operator new (AllocationCounter.h) and,
// outside sanitizer builds, the C allocation functions too (so FFmpeg's and SDL's allocations
// count), by replacing glibc's malloc family with counting forwarders. Include it in exactly one
// source file of a test binary; arm it with AllocationCounter.
#pragma once

#include <cstddef>

#include "AllocationCounter.h"

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

inline void countAllocation() {
  if (allocation_counting::armed)
    ++allocation_counting::count;
}
void* malloc(std::size_t size) {
  countAllocation();
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  countAllocation();
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
  countAllocation();
  return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
  countAllocation();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  countAllocation();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  countAllocation();
  void* p = __libc_memalign(alignment, size);
  if (!p)
    return 12;  // ENOMEM
  *out = p;
  return 0;
}
void free(void* p) {
  __libc_free(p);
}
}
#endif
