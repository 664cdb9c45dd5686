// Log lines printed on the main queue, safe to call from any thread, the render thread included.
//
// The text is the whole line: no prefix, time stamp or level. From any thread but a render
// thread the line is one work item on the main queue, so it prints in first-in first-out order
// with all other main-queue work. Lines from threads other than the main thread are bounded:
// when many wait for the main loop, such a thread waits for it while it prints, and drops the
// line when it prints nothing for a while, counted in a line of its own (see Foundation/Print.h).
// On a render thread (inside a RenderScope) the line is copied into a fixed lock-free queue
// without allocation, lock or system call, and the main loop prints it on its next look at that
// queue; when that queue is full the line is dropped, and a line saying how many were dropped
// precedes the next one printed (see Foundation/Print.h, printLogLine).
#pragma once

#include <string_view>

// Prints the text as one line on the main queue. [any]
void safeprint(std::string_view text);
// The same as safeprint: a separate entry for debug messages. [any]
void debugprint(std::string_view text);
