// Counts heap allocations made by the current thread while a scope is armed, to prove that a
// render path allocates nothing. Include it in exactly one source file of a test binary: it
// replaces the global operator new/delete for that binary.
//
//   AllocationCounter counter;            // arms counting on this thread
//   render(...);
//   EXPECT_EQ(counter.count(), 0u);
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocation_counting {
inline thread_local bool armed = false;
inline thread_local std::size_t count = 0;

inline void* allocate(std::size_t size, std::size_t alignment = 0) {
  if (armed)
    ++count;
  if (size == 0)
    size = 1;
  void* p = nullptr;
  if (alignment > alignof(std::max_align_t)) {
    p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
  } else {
    p = std::malloc(size);
  }
  if (!p)
    throw std::bad_alloc();
  return p;
}
}  // namespace allocation_counting

class AllocationCounter {
 public:
  AllocationCounter() {
    allocation_counting::count = 0;
    allocation_counting::armed = true;
  }
  ~AllocationCounter() { allocation_counting::armed = false; }
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  std::size_t count() const { return allocation_counting::count; }
};

void* operator new(std::size_t size) {
  return allocation_counting::allocate(size);
}
void* operator new[](std::size_t size) {
  return allocation_counting::allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
  return allocation_counting::allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return allocation_counting::allocate(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocation_counting::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocation_counting::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  try {
    return allocation_counting::allocate(size, static_cast<std::size_t>(a));
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  try {
    return allocation_counting::allocate(size, static_cast<std::size_t>(a));
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
