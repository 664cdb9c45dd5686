// Log lines printed on the main queue, safe to call from any thread, the render thread included.
//
// Each call copies the text into a fixed-size lock-free line queue and returns at once; the main
// thread prints the queued lines in submission order, each as one whole line on standard output
// (the text is the whole line: no prefix, time stamp or level). The lines of one thread come out
// in the order of its calls; lines of several threads in the order their calls claimed queue
// space. A line is printed no later than main-queue work submitted after it from the same thread.
//
// Real time: no allocation, no lock, no blocking. Waking the main loop costs one write to its
// wake-up descriptor, made only by the first line after the loop last looked at the queue. When the queue is full
// (LogQueue::kSlots slots of LineQueue::kSlotPayload bytes waiting) the line is dropped and counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Prints the text as one line on the main queue. [any]
void safeprint(std::string_view text);
// The same as safeprint: a separate entry for debug messages. [any]
void debugprint(std::string_view text);

namespace LogQueue {
// Capacity of the queue that carries lines to the main thread (a short line takes one slot).
inline constexpr std::size_t kSlots = 4096;
// Lines dropped because the queue was full since the process started. [any]
std::uint64_t droppedLines();
// True while queued lines wait for the main loop. [main]
bool hasPendingLines();
// Lines printed by the main loop since the process started. [main]
std::uint64_t printedLines();
}  // namespace LogQueue
