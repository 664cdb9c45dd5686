// MIDI events from the effect's render thread to the main thread: a fixed ring of events copied
// by value (the sample time and at most three bytes), never blocking, allocating or locking; a
// full ring drops the event and counts it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "RealTime/SpscRing.h"

struct MIDIOutputEvent {
  std::int64_t sampleTime = 0;
  std::int64_t length = 0;  // bytes the effect gave (more than are kept when above 3)
  std::uint8_t bytes[3] = {};
};

class MIDIEventQueue {
 public:
  static constexpr std::size_t kCapacity = 256;

  // [render] Copies min(length, 3) bytes.
  void push(std::int64_t sampleTime, std::int64_t length, const std::uint8_t* bytes) noexcept {
    MIDIOutputEvent event;
    event.sampleTime = sampleTime;
    event.length = length;
    const std::int64_t kept = bytes ? std::clamp<std::int64_t>(length, 0, 3) : 0;
    for (std::int64_t i = 0; i < kept; ++i)
      event.bytes[i] = bytes[i];
    if (!ring_.push(event))
      dropped_.fetch_add(1, std::memory_order_relaxed);
  }
  // [main] The next event, false when none.
  bool pop(MIDIOutputEvent& event) noexcept { return ring_.pop(event); }
  // [main] True while events wait for pop: two atomic loads.
  bool hasPending() const noexcept { return !ring_.empty(); }
  // [any] Events dropped because the ring was full.
  std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  SpscRing<MIDIOutputEvent, kCapacity> ring_;
  std::atomic<std::uint64_t> dropped_{0};
};
