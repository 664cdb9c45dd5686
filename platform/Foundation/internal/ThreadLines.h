// Internal to Foundation: the bound on log lines that threads other than the main thread and
// render threads hand to the main queue (printLogLine, Print.cpp).
//
// Every such line is one main-queue item, and a thread can post them far faster than the main
// loop prints them: without a bound the queue, and the process's memory, grow as long as it goes
// on. So the lines posted and not yet printed are counted. A thread that finds
// LogLines::kPendingThreadLines of them waits until the main loop has printed them down by a
// stretch (kResumeGap in ThreadLines.cpp), woken by the printing. It waits as long as the loop
// prints, however slowly: the threads go at the loop's pace and every line it can print is kept.
// A loop that prints nothing for LogLines::kStalledLoopWait is stalled (busy elsewhere, or its
// thread waits for the printing thread itself: a join, a sync), and must not hang the thread: the
// line is dropped and counted, and while the loop still prints nothing later lines drop at once,
// without waiting. A main thread that joins a printing thread so waits for it one stall longer,
// not one per line.
//
// Lines dropped between two lines that get through are reported by one main-queue item, posted
// at the first of them, that prints LogLines::threadDroppedNotice(count): it stands where they
// were dropped, after every line posted before them, even when no line follows. A line that gets
// through ends the run, so that later drops are reported after it.
//
// A line printed on the main thread never waits (the loop that would make room is its own) and
// is not counted; it ends a run of drops as any line does.
#pragma once

#ifndef KOV_BUILDING_FOUNDATION
#error "Foundation/internal/ is private to the Foundation library"
#endif

#include <cstdint>

namespace thread_lines {

// Before a thread that is neither the main thread nor a render thread posts a line: true when it
// may (the line counts as waiting until `printed`), after a wait for room if need be; false when
// the line was dropped instead (counted and reported, see above). [any but main and render]
bool admit();
// Before the main thread posts a line: ends the current run of drops. [main]
void closeDrops();
// A line that `admit` let through has been printed. [main]
void printed();
// Lines dropped since the process started. [any]
std::uint64_t dropped();

}  // namespace thread_lines
