// Helpers of the animation tests: timers on the test clock and an event log.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Animator.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/Timer.h"
#include "Dispatch/testing/TestClock.h"

using Items = std::vector<std::shared_ptr<Animator>>;
using Events = std::vector<std::string>;

// The warning of a container ticked with no items.
inline const std::string kNoItems = "WARNUNG: Es sind keine Animator Objekte definiert.\n";

// Timers created in the test follow the test clock on this thread's main loop.
class AnimClock : public ::testing::Test {
 protected:
  void SetUp() override {
    MainLoop::adoptCurrentThread();
    TestClock::enable();
  }
  void TearDown() override {
    MainLoop::runUntilIdle();
    TestClock::disable();
  }
  // Lets `count` periods of a timer with this interval pass; each fires it once.
  static void tick(float interval, int count = 1) {
    for (int i = 0; i < count; ++i)
      TestClock::advance(static_cast<double>(interval));
  }
};

// An ordered record of callbacks, e.g. {"anim 0", "anim 0.25", "finished 1"}.
struct EventLog {
  std::vector<std::string> events;
  void add(const std::string& what) { events.push_back(what); }
  void add(const std::string& what, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %g", what.c_str(), value);
    events.emplace_back(text);
  }
  std::size_t count(const std::string& prefix) const {
    std::size_t n = 0;
    for (const auto& e : events)
      n += e.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
};

// A linear run from 0 to 1 over `frames`; with a log, its end adds "<name> done".
inline std::shared_ptr<Animator> item(std::int64_t frames, EventLog* log = nullptr,
                                      const std::string& name = "") {
  auto a = std::make_shared<Animator>(0.0f, 1.0f, frames);
  if (log)
    a->onFinished = [log, name](Animator&, float) { log->add(name + " done"); };
  return a;
}
