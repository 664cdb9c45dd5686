// Hands an object held by shared pointer to the render thread without a data race, a lock or an
// allocation on the render thread, and releases replaced objects later, off the render thread.
//
// Objects live in the slots of a RetiredObjects, each keeping one shared reference. `set` publishes
// an object by slot index; `acquire` (render thread) takes the current object and marks its slot
// as in use until the next `acquire` (a hazard mark), so the object stays valid between render
// calls too. A replaced object is retired and released by `collect`, off the render thread, once
// the render thread no longer marks it. An object of a class that tests false (an empty block)
// counts as none.
//
// Threads: set [any, render included; several threads at once]; acquire [render, one thread];
// collect [any but render]; current [main: not while another thread collects].
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "RealTime/RetiredObjects.h"

template <typename T, int SlotCount = 16>
class HandOver {
 public:
  using Pointer = std::shared_ptr<const T>;
  static constexpr int kSlots = SlotCount;

  HandOver() = default;
  HandOver(const HandOver&) = delete;
  HandOver& operator=(const HandOver&) = delete;

  // Publishes the object (null: none). Setting the object already current does nothing. Copies
  // only the shared reference (no allocation). Returns false when every slot is taken by an
  // object that was not collected yet; the current object then stays.
  bool set(const Pointer& object) {
    const T* wanted = isSomething(object) ? object.get() : nullptr;
    if (objects_.object(current_.load(std::memory_order_acquire)) == wanted)
      return true;

    if (!wanted) {
      objects_.retire(current_.exchange(-1, std::memory_order_seq_cst));
      return true;
    }
    Pointer reference = object;  // the caller keeps its own: nothing is released here
    const int index = objects_.hold(reference);
    if (index < 0)
      return false;
    objects_.retire(current_.exchange(index, std::memory_order_seq_cst));
    return true;
  }

  // The object for this render call, or null; valid until the next acquire.
  const T* acquire() {
    // Hazard mark: publish the slot about to be used, then confirm it is still current. A
    // collector that missed the mark sees the slot still published and leaves it.
    int index = current_.load(std::memory_order_seq_cst);
    for (;;) {
      inUse_.store(index, std::memory_order_seq_cst);
      const int check = current_.load(std::memory_order_seq_cst);
      if (check == index)
        break;
      index = check;
    }
    return objects_.object(index);
  }

  // Releases replaced objects that the render thread does not mark. The mark is read only once
  // the slot is the collector's: a mark read before may belong to an earlier life of the slot.
  void collect() {
    objects_.collect(
        [this](int slot, std::uint64_t) { return inUse_.load(std::memory_order_seq_cst) == slot; });
  }

  // The object currently published. Off the render thread only the caller's own set/collect
  // change slots it could read; a slot that is current is never collected.
  Pointer current() const {
    const int index = current_.load(std::memory_order_acquire);
    return index >= 0 ? objects_.owner(index) : nullptr;
  }

 private:
  static bool isSomething(const Pointer& object) {
    if constexpr (std::is_class_v<T> && std::is_constructible_v<bool, const T&>)
      return object && static_cast<bool>(*object);
    else
      return object != nullptr;
  }

  RetiredObjects<Pointer, kSlots> objects_;
  std::atomic<int> current_{-1};  // published slot, -1 for none
  std::atomic<int> inUse_{-1};    // slot marked by the render thread
};
