// Waiting in a test for what happens in its own time (a window drawn, a click handled, a line in
// a child process's log): the condition itself is polled, with the main loop running in between
// so that what it waits for in this process (input, redraws, main-queue work) gets done, until it
// holds or a generous deadline passes. A test never sleeps a fixed time and then looks: on a busy
// machine any fixed time can be too short, and on a quiet one it is time lost. [main]
//
//   ASSERT_TRUE(test_support::eventually("the button's press", [&] { return presses == 1; }));
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string_view>

#include "Dispatch/DispatchQueue.h"

namespace test_support {

struct Polling {
  // How often the condition is checked; zero checks it after every event the main loop handles
  // and at least every 10 ms (for cheap conditions). Conditions that cost something (a
  // screenshot, reading a file) name a longer period.
  std::chrono::milliseconds every{0};
  // Long enough for a loaded machine with two cores; a wait ends as soon as its condition holds.
  std::chrono::milliseconds deadline{std::chrono::seconds(20)};
};

// Success once `condition` holds; a failure naming `what` and the time waited when it has not
// within the deadline. The condition is checked at once, and once more at the deadline.
inline testing::AssertionResult eventually(std::string_view what, const std::function<bool()>& condition,
                                           Polling polling = {}) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto deadline = start + polling.deadline;
  bool held = false;
  if (polling.every.count() <= 0) {
    held = MainLoop::runUntil(condition, polling.deadline) || condition();
  } else {
    for (;;) {
      if ((held = condition()))
        break;
      const auto now = Clock::now();
      if (now >= deadline)
        break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
      MainLoop::runUntil([] { return false; },
                         std::max(std::chrono::milliseconds(1), std::min(polling.every, left)));
    }
  }
  if (held)
    return testing::AssertionSuccess();
  const double waited = std::chrono::duration<double>(Clock::now() - start).count();
  return testing::AssertionFailure() << "gave up after " << waited << " s waiting for " << what;
}

}  // namespace test_support
