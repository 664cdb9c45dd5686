// Internal to the Dispatch library: the main thread, its GLib context and the report of work
// that escaped with an exception.
#pragma once

#ifndef KOV_BUILDING_DISPATCH
#error "Dispatch/internal/ is private to the Dispatch library"
#endif

#include <glib.h>

namespace dispatch_detail {

// The GLib default main context, which serves the main queue and the main run loop. [any]
GMainContext* mainContext();
// True on the main thread: the adopted one, or the process's initial thread before any. [any]
bool isMainThread();
// Makes the calling thread the main thread unless one was adopted already. [any]
void adoptIfUnset();
// Writes one line on stderr for an exception that left a work item or timer block; the item is
// dropped and the loop goes on. [any]
void reportEscapedException(const char* where) noexcept;

}  // namespace dispatch_detail
