// A fixed ring of trivially copyable items from one producer thread to one consumer thread; push
// and pop never block, allocate or lock (a full ring refuses the push).
//
// Threads: push [one producer, render included]; pop, empty [one consumer, render included].
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

template <typename T, std::size_t Capacity>
class SpscRing {
  static_assert(std::is_trivially_copyable_v<T>);
  static_assert((Capacity & (Capacity - 1)) == 0, "a power of two");

 public:
  // [producer] False when full.
  bool push(const T& item) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == Capacity)
      return false;
    items_[tail & (Capacity - 1)] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }
  // [consumer] False when empty.
  bool pop(T& item) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire))
      return false;
    item = items_[head & (Capacity - 1)];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }
  // [consumer] True when pop would find nothing (a push under way may land right after).
  bool empty() const {
    return head_.load(std::memory_order_relaxed) == tail_.load(std::memory_order_acquire);
  }

 private:
  std::array<T, Capacity> items_{};
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};
