// Standard output, one whole line a call (`print`), and log lines on the main queue.
//
// print/printRaw write at once: every call writes one whole line, so lines from several threads
// never interleave. They share stdout's stream with printf, so the order of both is kept.
//
// printLogLine is the sink of the toolkit's safeprint/debugprint. From any thread but a render
// thread a line is one work item on the main queue: it prints when the main loop runs it, in
// first-in first-out order with all other main-queue work (a line, then work that prints another
// line, then a third line come out in that order). Lines from threads other than the main thread
// are bounded: a thread that finds kPendingThreadLines of them waiting for the main loop waits
// until the loop has printed a stretch of them, for as long as the loop goes on printing. A loop
// that prints nothing for kStalledLoopWait (blocked, maybe on the printing thread) cannot hang the
// thread: its line is dropped, and while the loop still prints nothing later lines drop at once;
// one line (threadDroppedNotice) says how many were dropped where they would have been. The main
// thread's own lines never wait.
//
// On a render thread (inside a RenderScope) a line takes the render-line queue instead
// (RealTime/RenderLines.h): no stdio, lock, allocation, wait or system call there. The main loop
// prints those lines on its own iterations: a source on the main context looks at the queue on
// every iteration of the loop, whatever woke it, and asks to be woken only when nobody has looked
// for the poll interval: 40 ms while render scopes are being entered (and for 2 s after the last
// one), a second otherwise. A loop that other work wakes
// often enough (a meter's timer, input, frames) gets no wake-up of its own from it. When render
// lines were dropped for want of room, the printer writes one line saying how many
// (droppedNotice) before the next line it prints.
//
// Render drains ride on the same turns: main-loop work that takes over what render threads leave
// in lock-free queues of their own (MIDI events, for one), without a timer of its own and without
// any wake-up from the render side. On each turn the printer asks every drain whether it has work
// (`pending`, called on every iteration of the loop: a few atomic loads, no side effects, no
// change to the drains); when one has, the loop dispatches the printer, which prints the queued
// lines first and then runs every drain whose `pending` holds. A drain whose `pending` stays true
// after it ran keeps the loop busy: it must take what it reports. Work left by a thread that
// enters no render scope waits for the slow poll (a second) unless something else wakes the loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Writes text and a newline as one unit. [any]
void print(std::string_view text);
// Writes text as given (the caller supplies any newline), as one unit. [any]
void printRaw(std::string_view text);

// Prints the text as one line on the main queue (see above). [any, render included]
void printLogLine(std::string_view text);

namespace LogLines {
// Lines printLogLine has printed so far, on either road. [main]
std::uint64_t printed();
// True while lines from render threads wait for the main loop. [main]
bool renderLinesPending();
// Render-thread lines dropped for want of room since the process started. [any]
std::uint64_t dropped();
// The line printed in place of `count` dropped lines. [any]
std::string droppedNotice(std::uint64_t count);
// Lines from threads other than the main thread and render threads that may wait for the main
// loop at once; a thread that finds this many waits for room (see above).
inline constexpr std::size_t kPendingThreadLines = 4096;
// How long such a thread waits for a main loop that prints nothing before it drops its line.
inline constexpr std::chrono::milliseconds kStalledLoopWait{250};
// Lines from such threads dropped since the process started. [any]
std::uint64_t threadLinesDropped();
// The line printed where `count` of them were dropped. [any]
std::string threadDroppedNotice(std::uint64_t count);
// Makes sure the main loop's render-line printer is attached. It is attached when this library
// is loaded; an owner of a render entry calls this as well, so that a program linked statically
// without any other use of this file still prints its render lines. [any but render]
void attachRenderLinePrinter();

// Adds a render drain (see above): `drain` runs on the main loop, after the render lines of the
// same turn, whenever `pending` returns true. Drains run in the order they were added. The key
// names it for removeRenderDrain. [main]
std::uint64_t addRenderDrain(std::function<bool()> pending, std::function<void()> drain);
// Removes the drain; neither function is called again (nor destroyed while it runs: a drain may
// remove itself or others, and add drains, which run from the next turn on). An unknown or
// removed key is ignored. [main]
void removeRenderDrain(std::uint64_t key);
}  // namespace LogLines
