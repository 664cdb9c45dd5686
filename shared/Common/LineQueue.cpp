#include "LineQueue.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {
// Keeps a line's byte length within the 32-bit length field of its first slot.
constexpr std::size_t kMaximumSlots = std::size_t(1) << 24;
}  // namespace

LineQueue::LineQueue(std::size_t slotCount)
    : slotCount_(std::bit_ceil(std::clamp<std::size_t>(slotCount, 2, kMaximumSlots))),
      mask_(slotCount_ - 1),
      slots_(std::make_unique<Slot[]>(slotCount_)) {
  for (std::size_t i = 0; i < slotCount_; ++i) slots_[i].sequence.store(i, std::memory_order_relaxed);
}

LineQueue::~LineQueue() = default;

bool LineQueue::push(std::string_view text) noexcept {
  const std::size_t needed =
      text.empty() ? 1 : (text.size() + kSlotPayload - 1) / kSlotPayload;
  if (needed > slotCount_) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }

  // Claim the run [position, position + needed). The consumer frees slots in position order, so
  // when the run's last slot is free for this lap, every slot before it is free as well; the
  // acquire load of that slot's sequence makes the consumer's earlier reads of them happen first.
  std::uint64_t position = enqueuePos_.load(std::memory_order_relaxed);
  for (;;) {
    const std::uint64_t last = position + needed - 1;
    const std::uint64_t sequence = slotAt(last).sequence.load(std::memory_order_acquire);
    const auto lag = static_cast<std::int64_t>(sequence - last);
    if (lag == 0) {
      if (enqueuePos_.compare_exchange_weak(position, position + needed, std::memory_order_relaxed,
                                            std::memory_order_relaxed)) {
        break;
      }
    } else if (lag < 0) {
      // The slot still holds a line of the previous lap: the ring is full.
      dropped_.fetch_add(1, std::memory_order_relaxed);
      return false;
    } else {
      position = enqueuePos_.load(std::memory_order_relaxed);
    }
  }

  Slot& first = slotAt(position);
  first.slots = static_cast<std::uint32_t>(needed);
  first.length = static_cast<std::uint32_t>(text.size());
  std::size_t offset = 0;
  for (std::size_t i = 0; i < needed; ++i) {
    const std::size_t n = std::min(kSlotPayload, text.size() - offset);
    if (n > 0) std::memcpy(slotAt(position + i).bytes, text.data() + offset, n);
    offset += n;
  }
  // Continuation slots are marked taken for producers that probe them; the consumer reads the
  // whole line once the first slot is published, so that store comes last.
  for (std::size_t i = needed - 1; i >= 1; --i) {
    slotAt(position + i).sequence.store(position + i + 1, std::memory_order_release);
  }
  first.sequence.store(position + 1, std::memory_order_release);
  return true;
}

bool LineQueue::hasPending() const noexcept {
  return slotAt(dequeuePos_).sequence.load(std::memory_order_acquire) == dequeuePos_ + 1;
}

bool LineQueue::pop(std::string& line) {
  Slot& first = slotAt(dequeuePos_);
  if (first.sequence.load(std::memory_order_acquire) != dequeuePos_ + 1) return false;

  const std::size_t slots = first.slots;
  const std::size_t length = first.length;
  line.resize(length);
  std::size_t offset = 0;
  for (std::size_t i = 0; i < slots; ++i) {
    const std::size_t n = std::min(kSlotPayload, length - offset);
    if (n > 0) std::memcpy(line.data() + offset, slotAt(dequeuePos_ + i).bytes, n);
    offset += n;
  }
  // Free in position order (producers rely on it), each for its position one lap on.
  for (std::size_t i = 0; i < slots; ++i) {
    slotAt(dequeuePos_ + i).sequence.store(dequeuePos_ + i + slotCount_, std::memory_order_release);
  }
  dequeuePos_ += slots;
  return true;
}

std::uint64_t LineQueue::claimedSlots() const noexcept {
  return enqueuePos_.load(std::memory_order_acquire);
}

std::uint64_t LineQueue::droppedLines() const noexcept {
  return dropped_.load(std::memory_order_relaxed);
}
