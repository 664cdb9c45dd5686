// Hands an object held by shared pointer to the render thread without a data race, a lock or an
// allocation on the render thread, and releases replaced objects later, off the render thread.
//
// Objects live in a fixed set of slots, each keeping one shared reference. `set` publishes an
// object by slot index; `acquire` (render thread) takes the current object and marks its slot as
// in use until the next `acquire` (a hazard mark), so the object stays valid between render
// calls too. A replaced object is released by `collect`, off the render thread, once the render
// thread no longer marks it. An object of a class that tests false (an empty block) counts as none.
//
// Threads: set [any, render included; several threads at once]; acquire [render, one thread];
// collect [any but render]; current [main: not while another thread collects].
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <type_traits>

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
    const int now = current_.load(std::memory_order_acquire);
    const T* published = now >= 0 ? slots_[now].raw.load(std::memory_order_acquire) : nullptr;
    if (published == wanted)
      return true;

    if (!wanted) {
      retire(current_.exchange(-1, std::memory_order_seq_cst));
      return true;
    }
    for (Slot& slot : slots_) {
      int expected = kFree;
      if (!slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel))
        continue;
      slot.owner = object;  // the slot's reference was empty: nothing is released here
      slot.raw.store(wanted, std::memory_order_release);
      slot.state.store(kPublished, std::memory_order_release);
      retire(current_.exchange(int(&slot - slots_.data()), std::memory_order_seq_cst));
      return true;
    }
    return false;
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
    return index >= 0 ? slots_[index].raw.load(std::memory_order_acquire) : nullptr;
  }

  // Releases replaced objects that the render thread does not mark.
  void collect() {
    for (int k = 0; k < kSlots; ++k) {
      Slot& slot = slots_[k];
      if (slot.state.load(std::memory_order_acquire) != kRetired)
        continue;
      int expected = kRetired;
      if (!slot.state.compare_exchange_strong(expected, kCollecting, std::memory_order_acq_rel))
        continue;
      // Look at the render thread's mark only once the slot is ours: a mark read before the claim
      // may belong to an earlier life of the slot (another collector freed it, a setter reused
      // it, and it was retired again while the render thread marks it).
      if (inUse_.load(std::memory_order_seq_cst) == k) {
        slot.state.store(kRetired, std::memory_order_release);
        continue;
      }
      slot.raw.store(nullptr, std::memory_order_relaxed);
      slot.owner.reset();
      slot.state.store(kFree, std::memory_order_release);
    }
  }

  // The object currently published. Off the render thread only the caller's own set/collect
  // change slots it could read; a slot that is current is never collected.
  Pointer current() const {
    const int index = current_.load(std::memory_order_acquire);
    return index >= 0 ? slots_[index].owner : nullptr;
  }

 private:
  enum State : int { kFree = 0, kClaimed = 1, kPublished = 2, kRetired = 3, kCollecting = 4 };
  struct Slot {
    std::atomic<int> state{kFree};
    std::atomic<const T*> raw{nullptr};
    Pointer owner;  // written only by the thread that claimed or is collecting the slot
  };

  static bool isSomething(const Pointer& object) {
    if constexpr (std::is_class_v<T> && std::is_constructible_v<bool, const T&>)
      return object && static_cast<bool>(*object);
    else
      return object != nullptr;
  }
  void retire(int index) {
    if (index >= 0)
      slots_[index].state.store(kRetired, std::memory_order_release);
  }

  std::array<Slot, kSlots> slots_;
  std::atomic<int> current_{-1};  // published slot, -1 for none
  std::atomic<int> inUse_{-1};    // slot marked by the render thread
};
