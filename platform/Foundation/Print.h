// Standard output, one whole line a call (`print`), and log lines on the main queue.
//
// print/printRaw write at once: every call writes one whole line, so lines from several threads
// never interleave. They share stdout's stream with printf, so the order of both is kept.
//
// printLogLine is the sink of the toolkit's safeprint/debugprint. From any thread but a render
// thread a line is one work item on the main queue: it prints when the main loop runs it, in
// first-in first-out order with all other main-queue work (a line, then work that prints another
// line, then a third line come out in that order). On a render thread (inside a RenderScope) it
// takes the render-line queue instead (RealTime/RenderLines.h): no stdio, lock, allocation or
// system call there. The main loop prints those lines on its own iterations: a source on the main
// context looks at the queue whenever the loop iterates, every 10 ms while render scopes are
// being entered (and for 2 s after the last one), and every second otherwise. When render lines
// were dropped for want of room, the printer writes one line saying how many (droppedNotice)
// before the next line it prints.
#pragma once

#include <cstdint>
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
// Makes sure the main loop's render-line printer is attached. It is attached when this library
// is loaded; an owner of a render entry calls this as well, so that a program linked statically
// without any other use of this file still prints its render lines. [any but render]
void attachRenderLinePrinter();
}  // namespace LogLines
