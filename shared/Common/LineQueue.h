// A bounded, lock-free queue of text lines: many producers on any thread (the render thread
// included), one consumer. It carries log lines from threads that must not allocate, lock or
// block to the main thread, which prints them.
//
// Storage is a ring of fixed-size slots allocated once by the constructor. A line takes as many
// consecutive slots as its length needs; producers claim a run of slots with one compare-and-swap
// on the enqueue position (a multi-slot variant of Vyukov's bounded queue), so lines of all
// producers come out in the order their slots were claimed, and one producer's lines in the order
// of its calls. When the ring has no room the line is dropped and counted; nothing ever waits.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class LineQueue {
 public:
  // Text bytes carried by one slot.
  static constexpr std::size_t kSlotPayload = 112;

  // `slotCount` is rounded up to a power of two (at least 2). Allocates. [any]
  explicit LineQueue(std::size_t slotCount);
  ~LineQueue();
  LineQueue(const LineQueue&) = delete;
  LineQueue& operator=(const LineQueue&) = delete;

  // Copies the text in; false when there is no room (the line is dropped and counted).
  // Lock-free, allocation-free, never blocks. [any]
  bool push(std::string_view text) noexcept;

  // True when the oldest line is complete and can be popped. [consumer]
  bool hasPending() const noexcept;
  // Moves the oldest complete line into `line` (reusing its capacity); false when there is none.
  // [consumer]
  bool pop(std::string& line);

  // The enqueue position: the number of slots claimed so far. A consumer that pops only while
  // its own position is below a value read here drains what was pushed before, and no more.
  // [any]
  std::uint64_t claimedSlots() const noexcept;
  // The consumer's position in the same units. [consumer]
  std::uint64_t consumedSlots() const noexcept { return dequeuePos_; }

  // Lines refused for want of room since construction. [any]
  std::uint64_t droppedLines() const noexcept;
  std::size_t slotCount() const noexcept { return slotCount_; }
  // The longest text that can ever be queued. [any]
  std::size_t maximumLength() const noexcept { return slotCount_ * kSlotPayload; }

 private:
  struct alignas(64) Slot {
    // Vyukov's cell sequence: equals the position when free for it, position + 1 when its line
    // is published, position + slotCount once consumed (free for the next lap).
    std::atomic<std::uint64_t> sequence{0};
    std::uint32_t slots = 0;   // first slot of a line: the number of slots it spans
    std::uint32_t length = 0;  // first slot of a line: the text length in bytes
    char bytes[kSlotPayload];
  };
  static_assert(sizeof(Slot) == 128, "a slot is two cache lines");

  Slot& slotAt(std::uint64_t position) const noexcept { return slots_[position & mask_]; }

  std::size_t slotCount_;
  std::uint64_t mask_;
  std::unique_ptr<Slot[]> slots_;
  alignas(64) std::atomic<std::uint64_t> enqueuePos_{0};
  alignas(64) std::atomic<std::uint64_t> dropped_{0};
  alignas(64) std::uint64_t dequeuePos_ = 0;  // consumer-owned
};
