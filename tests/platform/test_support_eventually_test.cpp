// The window tests' one way of waiting (Eventually.h): it ends as soon as its condition holds,
// runs the main loop meanwhile (what the condition waits for may be main-queue work), and gives
// up at its deadline with a message naming what it waited for.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "Dispatch/DispatchQueue.h"
#include "Eventually.h"

namespace {

using namespace std::chrono_literals;
using test_support::eventually;
using Clock = std::chrono::steady_clock;

TEST(TestSupportWaiting, EndsWhenTheConditionHoldsAndOtherwiseNamesWhatItWaitedFor) {
  MainLoop::runUntilIdle();  // what earlier tests left
  {
    SCOPED_TRACE("a condition that holds already: no wait at all");
    int checks = 0;
    EXPECT_TRUE(eventually("a true condition", [&] { return ++checks > 0; }));
    EXPECT_EQ(checks, 1);
  }
  {
    SCOPED_TRACE("main-queue work makes it hold: the main loop runs while waiting");
    bool ran = false;
    DispatchQueue::main().async([&] { ran = true; });
    const auto start = Clock::now();
    EXPECT_TRUE(eventually("the main-queue item", [&] { return ran; }));
    EXPECT_LT(Clock::now() - start, 5s);
  }
  {
    SCOPED_TRACE("a costly condition checked every 20 ms: set by another thread after 60 ms");
    std::atomic<bool> set = false;
    int checks = 0;
    const auto start = Clock::now();
    std::thread setter([&] {
      std::this_thread::sleep_for(60ms);
      set = true;
    });
    EXPECT_TRUE(eventually("the other thread's flag", [&] { return ++checks, set.load(); }, {.every = 20ms}));
    const auto took = Clock::now() - start;
    setter.join();
    EXPECT_GE(checks, 2);
    EXPECT_LE(checks, took / 20ms + 2);  // not once per event and every 10 ms
  }
  for (const auto every : {0ms, 25ms}) {
    SCOPED_TRACE("never: a failure at the deadline, every " + std::to_string(every.count()) + " ms");
    const auto start = Clock::now();
    const testing::AssertionResult waited =
        eventually("the flag that stays down", [] { return false; }, {.every = every, .deadline = 100ms});
    const auto took = Clock::now() - start;
    EXPECT_FALSE(waited);
    EXPECT_GE(took, 100ms);
    EXPECT_LT(took, 5s);
    const std::string message = waited.message();
    EXPECT_EQ(message.rfind("gave up after ", 0), 0u) << message;
    EXPECT_NE(message.find(" s waiting for the flag that stays down"), std::string::npos) << message;
  }
}

}  // namespace
