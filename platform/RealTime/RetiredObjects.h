// The one way the platform frees objects that a reader (the render thread, or any thread reading
// a published value) may still be using after they were replaced.
//
// A fixed set of places, each holding one owner (std::unique_ptr or std::shared_ptr) and the raw
// pointer readers use. `hold` puts an object in a free place; `retire` marks a held place as
// replaced, with a stamp of the readers' state at that moment; `collect` frees the retired places
// for which the caller's test says no reader can still hold them, and makes them free again.
// `hold` and `retire` neither lock, allocate nor free, so the render thread may call them;
// freeing happens only in `collect` (and the destructor), never on the render thread.
//
// Threads: hold, retire [any, render included; several threads at once]; collect [any but
// render; several at once]; object/owner [any, for a place the caller knows is held].
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <utility>

template <typename Owner, int Capacity>
class RetiredObjects {
 public:
  using Object = typename Owner::element_type;
  static constexpr int kPlaces = Capacity;

  RetiredObjects() = default;
  RetiredObjects(const RetiredObjects&) = delete;
  RetiredObjects& operator=(const RetiredObjects&) = delete;

  // Moves `owner` (not empty) into a free place and returns the place; -1 when every place is
  // taken, `owner` then stays with the caller. The place's previous owner was released by
  // collect, so nothing is freed here.
  int hold(Owner& owner) noexcept {
    for (int k = 0; k < kPlaces; ++k) {
      Place& place = places_[k];
      int expected = kFree;
      if (!place.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel))
        continue;
      place.raw.store(owner.get(), std::memory_order_release);
      place.owner = std::move(owner);
      place.state.store(kHeld, std::memory_order_release);
      return k;
    }
    return -1;
  }

  // Marks a held place as replaced; `stamp` is what the caller's collect test reads. -1 is ignored.
  void retire(int index, std::uint64_t stamp = 0) noexcept {
    if (index < 0)
      return;
    places_[index].stamp.store(stamp, std::memory_order_relaxed);
    places_[index].state.store(kRetired, std::memory_order_release);
  }

  // Frees every retired object for which stillRead(index, stamp) is false. The test runs after the
  // place is claimed for collecting, so it never sees a place from an earlier life.
  template <typename StillRead>
  void collect(StillRead stillRead) {
    for (int k = 0; k < kPlaces; ++k) {
      Place& place = places_[k];
      if (place.state.load(std::memory_order_acquire) != kRetired)
        continue;
      int expected = kRetired;
      if (!place.state.compare_exchange_strong(expected, kCollecting, std::memory_order_acq_rel))
        continue;
      if (stillRead(k, place.stamp.load(std::memory_order_relaxed))) {
        place.state.store(kRetired, std::memory_order_release);
        continue;
      }
      place.raw.store(nullptr, std::memory_order_relaxed);
      place.owner = Owner();
      place.state.store(kFree, std::memory_order_release);
    }
  }

  // The object of a held (or retired, not yet collected) place; null for -1.
  Object* object(int index) const noexcept {
    return index >= 0 ? places_[index].raw.load(std::memory_order_acquire) : nullptr;
  }
  // The owner of a held place, written only by the thread that filled it.
  const Owner& owner(int index) const noexcept { return places_[index].owner; }

  // Places retired and not yet freed. [any; a snapshot]
  int retiredCount() const noexcept {
    int count = 0;
    for (const Place& place : places_) {
      const int state = place.state.load(std::memory_order_acquire);
      count += state == kRetired || state == kCollecting;
    }
    return count;
  }

 private:
  enum State : int { kFree = 0, kClaimed = 1, kHeld = 2, kRetired = 3, kCollecting = 4 };
  struct Place {
    std::atomic<int> state{kFree};
    std::atomic<Object*> raw{nullptr};
    std::atomic<std::uint64_t> stamp{0};
    Owner owner;  // written only by the thread that claimed the place or is collecting it
  };

  std::array<Place, kPlaces> places_;
};
