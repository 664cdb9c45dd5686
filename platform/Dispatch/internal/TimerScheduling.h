// Internal to the Dispatch library: timers on the main context, for the main queue's asyncAfter.
#pragma once

#ifndef KOV_BUILDING_DISPATCH
#error "Dispatch/internal/ is private to the Dispatch library"
#endif

#include "Dispatch/DispatchQueue.h"

namespace dispatch_detail {
// A one-shot run-loop timer on the main context that runs `work`; a delay of 0 or less (or NaN)
// makes it due at once. [any]
void scheduleOnMainContext(double seconds, DispatchQueue::Work work);
}  // namespace dispatch_detail
