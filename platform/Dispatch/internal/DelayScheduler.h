// Internal to the Dispatch library: one thread that hands delayed work to its queue when the
// work's time has come (asyncAfter of the global and serial queues).
#pragma once

#ifndef KOV_BUILDING_DISPATCH
#error "Dispatch/internal/ is private to the Dispatch library"
#endif

#include <chrono>
#include <functional>

namespace dispatch_detail {

// Calls `post` on the scheduler's thread at `deadline`; `post` only enqueues work elsewhere. [any]
void postAt(std::chrono::steady_clock::time_point deadline, std::function<void()> post);

}  // namespace dispatch_detail
