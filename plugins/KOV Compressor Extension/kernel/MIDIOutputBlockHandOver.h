// Hands the host's MIDI-output block to the render thread without a data race, a lock or an
// allocation on the render thread.
//
// Blocks live in a fixed set of slots, each keeping one shared reference. `set` publishes a
// block by slot index; `acquire` (render thread) takes the current block and marks its slot as
// in use until the next `acquire` (a hazard mark), so the block stays valid between render
// calls too. A replaced block is released by `collect`, off the render thread, once the render
// thread no longer marks it.
//
// Threads: set [any, render included; several threads at once]; acquire [render, one thread];
// collect [any but render]; current [main: not while another thread collects].
#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "AudioToolbox/CoreAudioTypes.h"

class MIDIOutputBlockHandOver {
 public:
  using Block = AUMIDIOutputEventBlock;
  using BlockPtr = std::shared_ptr<const Block>;
  static constexpr int kSlots = 16;

  MIDIOutputBlockHandOver() = default;
  MIDIOutputBlockHandOver(const MIDIOutputBlockHandOver&) = delete;
  MIDIOutputBlockHandOver& operator=(const MIDIOutputBlockHandOver&) = delete;

  // Publishes block (null: none). Setting the block already current does nothing. Copies
  // only the shared reference (no allocation). Returns false when every slot is taken by a
  // block that was not collected yet; the current block then stays.
  bool set(const BlockPtr& block);
  // The block for this render call, or null; valid until the next acquire.
  const Block* acquire();
  // Releases replaced blocks that the render thread does not mark.
  void collect();
  // The block currently published (for the render block made from it).
  BlockPtr current() const;

 private:
  enum State : int { kFree = 0, kClaimed = 1, kPublished = 2, kRetired = 3, kCollecting = 4 };
  struct Slot {
    std::atomic<int> state{kFree};
    std::atomic<const Block*> raw{nullptr};
    BlockPtr owner;  // written only by the thread that claimed or is collecting the slot
  };
  void retire(int index);

  std::array<Slot, kSlots> slots_;
  std::atomic<int> current_{-1};  // published slot, -1 for none
  std::atomic<int> inUse_{-1};    // slot marked by the render thread
};
