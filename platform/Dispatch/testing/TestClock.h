// Test-only control of the test clock (see Dispatch/Timer.h). Built into
// platform_dispatch_testing, which only tests and benchmarks link.
//
// Once enabled, timers follow the test clock instead of the monotonic clock, and advancing it
// fires every timer that falls due, in due order, without sleeping. Times are whole nanoseconds,
// so advancing by a timer's interval N times reaches its N-th due time exactly.
#pragma once

#include "Dispatch/Timer.h"

namespace TestClock {
// Switches timers created from now on to the test clock, starting at 0 s. Test-clock timers
// made before this call never fire again (each enable starts a new test). [main]
void enable();
// Back to the real clock for timers created from now on. [main]
void disable();
// Moves the clock on and runs the main loop until every timer due by then has fired: the clock
// steps to each due time in turn (a repeating timer fires once per period passed), and main-queue
// work runs in between. [main]
void advance(double seconds);
}  // namespace TestClock
