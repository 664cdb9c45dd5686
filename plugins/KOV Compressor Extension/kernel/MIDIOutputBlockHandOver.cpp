#include "MIDIOutputBlockHandOver.h"

bool MIDIOutputBlockHandOver::set(const BlockPtr& block) {
  const Block* wanted = (block && *block) ? block.get() : nullptr;
  const int now = current_.load(std::memory_order_acquire);
  const Block* published = now >= 0 ? slots_[now].raw.load(std::memory_order_acquire) : nullptr;
  if (published == wanted) return true;

  if (!wanted) {
    retire(current_.exchange(-1, std::memory_order_seq_cst));
    return true;
  }
  for (int k = 0; k < kSlots; ++k) {
    int expected = kFree;
    if (!slots_[k].state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) continue;
    slots_[k].owner = block;  // the slot's reference was empty: nothing is released here
    slots_[k].raw.store(wanted, std::memory_order_release);
    slots_[k].state.store(kPublished, std::memory_order_release);
    retire(current_.exchange(k, std::memory_order_seq_cst));
    return true;
  }
  return false;
}

void MIDIOutputBlockHandOver::retire(int index) {
  if (index >= 0) slots_[index].state.store(kRetired, std::memory_order_release);
}

const MIDIOutputBlockHandOver::Block* MIDIOutputBlockHandOver::acquire() {
  // Hazard mark: publish the slot about to be used, then confirm it is still current. A
  // collector that missed the mark sees the slot still published and leaves it.
  int index = current_.load(std::memory_order_seq_cst);
  for (;;) {
    inUse_.store(index, std::memory_order_seq_cst);
    const int check = current_.load(std::memory_order_seq_cst);
    if (check == index) break;
    index = check;
  }
  return index >= 0 ? slots_[index].raw.load(std::memory_order_acquire) : nullptr;
}

void MIDIOutputBlockHandOver::collect() {
  for (int k = 0; k < kSlots; ++k) {
    Slot& slot = slots_[k];
    if (slot.state.load(std::memory_order_acquire) != kRetired) continue;
    int expected = kRetired;
    if (!slot.state.compare_exchange_strong(expected, kCollecting, std::memory_order_acq_rel)) continue;
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

MIDIOutputBlockHandOver::BlockPtr MIDIOutputBlockHandOver::current() const {
  // Off the render thread only the caller's own set/collect change slots it could read; a slot
  // that is current is never collected.
  const int index = current_.load(std::memory_order_acquire);
  return index >= 0 ? slots_[index].owner : nullptr;
}
