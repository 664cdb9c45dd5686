// A bounded, lock-free queue of text lines: many producers on any thread (the render thread
// included), one consumer. It carries log lines from threads that must not allocate, lock or
// block to the main thread, which prints them.
//
// Storage is a fixed ring of SlotCount slots inside the object: no allocation ever, and an
// object with static storage is zero-initialised at load (constinit), so it is ready before any
// code runs. A line takes as many consecutive slots as its length needs; producers claim a run
// of slots with one compare-and-swap on the enqueue position (a multi-slot variant of Vyukov's
// bounded queue), so lines of all producers come out in the order their slots were claimed, and
// one producer's lines in the order of its calls. When the ring has no room the line is dropped
// and counted; nothing ever waits. The next line that does get in carries the number of lines
// dropped before it, so that the consumer can say so in its place.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

inline constexpr std::size_t kLineQueueSlotPayload = 104;

template <std::size_t SlotCount>
class LineQueue {
  static_assert(SlotCount >= 2 && std::has_single_bit(SlotCount), "the ring size is a power of two");
  static_assert(SlotCount <= (std::size_t(1) << 24), "a line's byte length fits the 32-bit length field");

 public:
  // Text bytes carried by one slot.
  static constexpr std::size_t kSlotPayload = kLineQueueSlotPayload;

  constexpr LineQueue() noexcept = default;
  LineQueue(const LineQueue&) = delete;
  LineQueue& operator=(const LineQueue&) = delete;

  // Copies the text in; false when there is no room (the line is dropped and counted).
  // Lock-free, allocation-free, never blocks. [any]
  bool push(std::string_view text) noexcept {
    const std::size_t needed = text.empty() ? 1 : (text.size() + kSlotPayload - 1) / kSlotPayload;
    if (needed > SlotCount)
      return drop();

    // Claim the run [position, position + needed). The consumer frees slots in position order, so
    // when the run's last slot is free for this lap, every slot before it is free as well; the
    // acquire load of that slot's sequence makes the consumer's earlier reads of them happen first.
    std::uint64_t position = enqueuePos_.load(std::memory_order_relaxed);
    for (;;) {
      const std::uint64_t last = position + needed - 1;
      const auto lag = static_cast<std::int64_t>(sequenceOf(last, std::memory_order_acquire) - last);
      if (lag == 0) {
        if (enqueuePos_.compare_exchange_weak(position, position + needed, std::memory_order_relaxed,
                                              std::memory_order_relaxed))
          break;
      } else if (lag < 0) {
        return drop();  // the slot still holds a line of the previous lap: the ring is full
      } else {
        position = enqueuePos_.load(std::memory_order_relaxed);
      }
    }

    Slot& first = slotAt(position);
    first.slots = static_cast<std::uint32_t>(needed);
    first.length = static_cast<std::uint32_t>(text.size());
    first.droppedBefore = unreported_.exchange(0, std::memory_order_relaxed);
    std::size_t offset = 0;
    for (std::size_t i = 0; i < needed; ++i) {
      const std::size_t n = std::min(kSlotPayload, text.size() - offset);
      if (n > 0)
        std::memcpy(slotAt(position + i).bytes, text.data() + offset, n);
      offset += n;
    }
    // Continuation slots are marked taken for producers that probe them; the consumer reads the
    // whole line once the first slot is published, so that store comes last.
    for (std::size_t i = needed - 1; i >= 1; --i)
      setSequence(position + i, position + i + 1);
    setSequence(position, position + 1);
    return true;
  }

  // True when the oldest line is complete and can be popped. [consumer]
  bool hasPending() const noexcept {
    return sequenceOf(dequeuePos_, std::memory_order_acquire) == dequeuePos_ + 1;
  }

  // Moves the oldest complete line into `line` (reusing its capacity) and the number of lines
  // dropped just before it into `droppedBefore`; false when there is none. [consumer]
  bool pop(std::string& line, std::uint64_t& droppedBefore) {
    if (!hasPending())
      return false;
    const Slot& first = slotAt(dequeuePos_);
    const std::size_t slots = first.slots;
    const std::size_t length = first.length;
    droppedBefore = first.droppedBefore;
    line.resize(length);
    std::size_t offset = 0;
    for (std::size_t i = 0; i < slots; ++i) {
      const std::size_t n = std::min(kSlotPayload, length - offset);
      if (n > 0)
        std::memcpy(line.data() + offset, slotAt(dequeuePos_ + i).bytes, n);
      offset += n;
    }
    // Free in position order (producers rely on it), each for its position one lap on.
    for (std::size_t i = 0; i < slots; ++i)
      setSequence(dequeuePos_ + i, dequeuePos_ + i + SlotCount);
    dequeuePos_ += slots;
    return true;
  }
  bool pop(std::string& line) {
    std::uint64_t droppedBefore = 0;
    return pop(line, droppedBefore);
  }

  // Lines dropped since the last line that got in, or since the last call, and not yet carried
  // by a line; a consumer that finds the queue empty reports these itself. [any]
  std::uint64_t takeUnreportedDrops() noexcept { return unreported_.exchange(0, std::memory_order_relaxed); }

  // The enqueue position: the number of slots claimed so far. A consumer that pops only while
  // its own position is below a value read here drains what was pushed before, and no more. [any]
  std::uint64_t claimedSlots() const noexcept { return enqueuePos_.load(std::memory_order_acquire); }
  // The consumer's position in the same units. [consumer]
  std::uint64_t consumedSlots() const noexcept { return dequeuePos_; }
  // Lines refused for want of room since construction. [any]
  std::uint64_t droppedLines() const noexcept { return dropped_.load(std::memory_order_relaxed); }

 private:
  struct alignas(64) Slot {
    // Vyukov's cell sequence, stored less the slot's index so that all-zero memory is the empty
    // ring: the sequence equals the position when the slot is free for it, position + 1 when its
    // line is published, position + SlotCount once consumed (free for the next lap).
    std::atomic<std::uint64_t> sequence{0};
    std::uint64_t droppedBefore = 0;  // first slot of a line: lines dropped just before it
    std::uint32_t slots = 0;          // first slot of a line: the number of slots it spans
    std::uint32_t length = 0;         // first slot of a line: the text length in bytes
    char bytes[kSlotPayload]{};
  };
  static_assert(sizeof(Slot) == 128, "a slot is two cache lines");

  static constexpr std::uint64_t kMask = SlotCount - 1;
  Slot& slotAt(std::uint64_t position) noexcept { return slots_[position & kMask]; }
  const Slot& slotAt(std::uint64_t position) const noexcept { return slots_[position & kMask]; }
  std::uint64_t sequenceOf(std::uint64_t position, std::memory_order order) const noexcept {
    return slotAt(position).sequence.load(order) + (position & kMask);
  }
  void setSequence(std::uint64_t position, std::uint64_t sequence) noexcept {
    slotAt(position).sequence.store(sequence - (position & kMask), std::memory_order_release);
  }
  bool drop() noexcept {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    unreported_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }

  std::array<Slot, SlotCount> slots_{};
  alignas(64) std::atomic<std::uint64_t> enqueuePos_{0};
  alignas(64) std::atomic<std::uint64_t> dropped_{0};
  std::atomic<std::uint64_t> unreported_{0};
  alignas(64) std::uint64_t dequeuePos_ = 0;  // consumer-owned
};
