// Checks that a call which allocates or locks does not run on a marked render thread
// (RenderScope). They are compiled in builds that build the tests (KOV_RENDER_CHECKS, set by the
// platform's CMake while KOV_BUILD_TESTS is on); there a violation prints the call's name and
// aborts the process, so that the test that reached it fails loudly. Without KOV_RENDER_CHECKS the
// macro is empty and costs nothing.
//
// Checked: posts to the main queue, printing outside the render-line queue, the engine's graph
// changes and changes to the parameter tree's observers and callbacks.
#pragma once

#ifdef KOV_RENDER_CHECKS
#include <cstdio>
#include <cstdlib>

#include "RealTime/RenderScope.h"

namespace render_checks {
[[noreturn, gnu::cold]] inline void failOnRenderThread(const char* call) noexcept {
  std::fprintf(stderr, "render-thread violation: %s called on a render thread (it allocates or locks)\n",
               call);
  std::fflush(stderr);
  std::abort();
}
}  // namespace render_checks

#define KOV_NOT_ON_RENDER_THREAD(call)                      \
  do {                                                      \
    if (__builtin_expect(RenderScope::isRenderThread(), 0)) \
      ::render_checks::failOnRenderThread(call);            \
  } while (0)
#else
#define KOV_NOT_ON_RENDER_THREAD(call) \
  do {                                 \
  } while (0)
#endif
