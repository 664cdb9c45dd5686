// The process's one queue of log lines printed on render threads. A render thread (one inside a
// RenderScope) hands its lines here instead of writing them: no stdio, lock, allocation or system
// call. The main loop empties the queue on its own iterations and prints each line whole on
// standard output (Foundation's log-line printer does this; it also polls while rendering goes on,
// so a render thread never has to wake it).
//
// The queue has static storage, zero-initialised at load: usable before any constructor runs and
// shared by every module of the process (default visibility). It holds kSlots slots of
// LineQueue's payload; a line that finds no room is dropped and counted, and the printer says how
// many were dropped before the next line it prints.
//
// Threads: push [render, or any]; the consumer side [main] only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "RealTime/LineQueue.h"

namespace RenderLines {

inline constexpr std::size_t kSlots = 4096;
using Queue = LineQueue<kSlots>;

[[gnu::visibility("default")]] inline constinit Queue gQueue;

inline Queue& queue() noexcept {
  return gQueue;
}

// Queues one line. [any] lock-free, allocation-free
inline bool push(std::string_view text) noexcept {
  return gQueue.push(text);
}

// Formats with snprintf into a stack buffer and queues the result (cut at 255 bytes). snprintf
// into memory takes no stream lock and does not allocate for the numbers printed here. [any]
template <typename... Args>
bool pushFormatted(const char* format, Args... args) noexcept {
  char line[256];
  const int length = std::snprintf(line, sizeof line, format, args...);
  if (length < 0)
    return false;
  const std::size_t size = std::size_t(length) < sizeof line ? std::size_t(length) : sizeof line - 1;
  return push(std::string_view(line, size));
}

}  // namespace RenderLines
