// The scope of one render call: every render entry (a unit's render block, an adapter's render
// method, a device callback) holds one on its stack for the length of the call.
//
// While it lives, the thread flushes subnormals to zero (FloatingPointMode) and counts as a
// render thread, so that code below can tell that it must not print, lock or allocate (log lines
// take the render-line queue instead). Scopes nest: an effect's render block that calls another
// unit's render block keeps one mark, and each scope restores the floating-point flags it found,
// so the caller's state comes back unchanged.
//
// The mark is in static thread-local storage (initial-exec model): reading it costs one load even
// in a module opened at run time, and a first render call on a new thread allocates nothing (a
// dynamically allocated TLS block would be made on first use). The mark and the count of render
// entries have default visibility so that a module built with hidden visibility shares the
// process's copy with the platform libraries.
//
// Threads: a scope is made and destroyed on one thread [render]. The queries are [any].
#pragma once

#include <atomic>
#include <cstdint>

#include "RealTime/FloatingPointMode.h"

namespace render_scope_detail {
// Depth of render scopes on this thread.
[[gnu::visibility("default"), gnu::tls_model("initial-exec")]] inline thread_local int depth = 0;
// Outermost render scopes entered since the process started.
[[gnu::visibility("default")]] inline constinit std::atomic<std::uint64_t> entries{0};
}  // namespace render_scope_detail

class RenderScope {
 public:
  RenderScope() noexcept : saved_(FloatingPointMode::enterFlushToZero()) {
    if (render_scope_detail::depth++ == 0)
      render_scope_detail::entries.fetch_add(1, std::memory_order_relaxed);
  }
  ~RenderScope() {
    --render_scope_detail::depth;
    FloatingPointMode::restore(saved_);
  }
  RenderScope(const RenderScope&) = delete;
  RenderScope& operator=(const RenderScope&) = delete;

  // True while the calling thread is inside a render scope. [any]
  static bool isRenderThread() noexcept { return render_scope_detail::depth > 0; }
  // Outermost scopes entered so far on any thread: a main loop that sees this move knows that
  // rendering goes on. [any]
  static std::uint64_t entries() noexcept {
    return render_scope_detail::entries.load(std::memory_order_relaxed);
  }

 private:
  FloatingPointMode::Word saved_;
};
