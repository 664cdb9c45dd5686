// Run-loop timers driven by the test clock, frame by frame: first firing one interval after
// scheduling, repetition without drift, invalidation (also from inside the block) and release of
// the block.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/Timer.h"
#include "Dispatch/testing/TestClock.h"

namespace {

// Switches the test clock on for one test.
struct TestClockScope {
  TestClockScope() {
    MainLoop::runUntilIdle();
    TestClock::enable();
  }
  ~TestClockScope() { TestClock::disable(); }
};

}  // namespace

TEST(Timer, FirstFiringComesOneIntervalAfterSchedulingAndRepeatsPerInterval) {
  TestClockScope clock;
  constexpr double kInterval = 0.04;  // the editor's meter period
  std::vector<double> firedAt;
  auto timer = Timer::scheduledTimer(kInterval, true, [&](Timer&) { firedAt.push_back(TestClock::now()); });
  EXPECT_TRUE(timer->isValid());
  EXPECT_DOUBLE_EQ(timer->timeInterval(), kInterval);

  MainLoop::runUntilIdle();
  TestClock::advance(kInterval * 0.999);
  EXPECT_TRUE(firedAt.empty()) << "fired before one interval had passed";
  TestClock::advance(kInterval * 0.001);
  ASSERT_EQ(firedAt.size(), 1u);

  SCOPED_TRACE("one advance by the interval is exactly one tick, for many ticks (no drift)");
  for (int tick = 2; tick <= 1000; ++tick) {
    TestClock::advance(kInterval);
    ASSERT_EQ(firedAt.size(), static_cast<std::size_t>(tick));
  }
  // The clock reads each tick's own due time inside the block.
  EXPECT_NEAR(firedAt.back(), 1000 * kInterval, 1e-9);

  SCOPED_TRACE("a long advance fires every period passed, in order");
  TestClock::advance(1.0);
  ASSERT_EQ(firedAt.size(), 1025u);
  for (std::size_t i = 1; i < firedAt.size(); ++i)
    ASSERT_NEAR(firedAt[i] - firedAt[i - 1], kInterval, 1e-9);
  timer->invalidate();
  TestClock::advance(1.0);
  EXPECT_EQ(firedAt.size(), 1025u);
}

TEST(Timer, TimersFireInDueOrderAndOneShotsFireOnce) {
  TestClockScope clock;
  std::string log;
  auto a = Timer::scheduledTimer(0.3, true, [&](Timer&) { log += "a"; });
  auto b = Timer::scheduledTimer(0.2, true, [&](Timer&) { log += "b"; });
  auto once = Timer::scheduledTimer(0.5, false, [&](Timer&) { log += "o"; });
  EXPECT_EQ(once->timeInterval(), 0.0);
  TestClock::advance(1.2);
  // b at .2 .4 .6 .8 1.0 1.2, a at .3 .6 .9 1.2, o at .5; equal due times in creation order.
  EXPECT_EQ(log, "baboabbabab");
  EXPECT_FALSE(once->isValid());
  a->invalidate();
  b->invalidate();
}

TEST(Timer, InvalidateStopsTheTimerAndReleasesTheBlock) {
  TestClockScope clock;
  auto sentinel = std::make_shared<int>(7);
  std::weak_ptr<int> watch = sentinel;
  int calls = 0;
  bool aliveDuringCall = false;
  std::weak_ptr<Timer> weakTimer;
  {
    auto timer =
        Timer::scheduledTimer(0.1, true, [&calls, &aliveDuringCall, &watch, held = sentinel](Timer& t) {
          ++calls;
          if (calls == 3) {
            t.invalidate();
            t.invalidate();  // a second call does nothing
            // The block (and what it holds) is still alive while it runs.
            aliveDuringCall = !watch.expired() && *held == 7;
          }
        });
    weakTimer = timer;
  }
  sentinel.reset();
  EXPECT_FALSE(watch.expired()) << "the run loop holds the scheduled timer and its block";
  EXPECT_FALSE(weakTimer.expired());
  for (int i = 0; i < 5; ++i)
    TestClock::advance(0.1);
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(aliveDuringCall);
  EXPECT_TRUE(watch.expired()) << "the block was not released after invalidate";
  EXPECT_TRUE(weakTimer.expired()) << "the run loop still holds the timer";

  // An owner that holds its timer and is held by the timer's block: the cycle the animation
  // classes use, broken by invalidate from outside, which releases the block at once.
  SCOPED_TRACE("invalidate outside the block");
  struct Owner {
    std::shared_ptr<Timer> timer;
    int ticks = 0;
  };
  auto owner = std::make_shared<Owner>();
  std::weak_ptr<Owner> ownerWatch = owner;
  owner->timer = Timer::scheduledTimer(0.5, true, [o = owner](Timer&) { ++o->ticks; });
  std::shared_ptr<Timer> timer = owner->timer;
  owner.reset();
  TestClock::advance(1.0);
  ASSERT_FALSE(ownerWatch.expired());
  EXPECT_EQ(ownerWatch.lock()->ticks, 2);
  ownerWatch.lock()->timer.reset();
  timer->invalidate();
  EXPECT_TRUE(ownerWatch.expired());
  EXPECT_FALSE(timer->isValid());
}

TEST(Timer, FireRunsTheBlockNowAndKeepsTheSchedule) {
  TestClockScope clock;
  int calls = 0;
  auto repeating = Timer::scheduledTimer(1.0, true, [&](Timer&) { ++calls; });
  repeating->fire();
  EXPECT_EQ(calls, 1);
  TestClock::advance(1.0);
  EXPECT_EQ(calls, 2);
  repeating->invalidate();
  repeating->fire();
  EXPECT_EQ(calls, 2);

  int once = 0;
  auto oneShot = Timer::scheduledTimer(1.0, false, [&](Timer&) { ++once; });
  oneShot->fire();
  EXPECT_FALSE(oneShot->isValid());
  TestClock::advance(2.0);
  EXPECT_EQ(once, 1);
}

TEST(Timer, DegenerateIntervalsAreSafe) {
  TestClockScope clock;
  int tiny = 0, never = 0;
  // Zero, negative and NaN intervals become the 0.1 ms floor; an infinite one never falls due.
  auto zero = Timer::scheduledTimer(0.0, true, [&](Timer&) { ++tiny; });
  auto nan = Timer::scheduledTimer(std::nan(""), true, [&](Timer&) { ++tiny; });
  auto inf = Timer::scheduledTimer(INFINITY, true, [&](Timer&) { ++never; });
  TestClock::advance(0.001);
  EXPECT_EQ(tiny, 20);
  EXPECT_EQ(never, 0);
  zero->invalidate();
  nan->invalidate();
  TestClock::advance(1e300);
  EXPECT_EQ(never, 0);
  inf->invalidate();
}

TEST(Timer, RealClockTimerFiresOnTheRunningLoop) {
  MainLoop::runUntilIdle();
  ASSERT_FALSE(TestClock::isEnabled());
  int calls = 0;
  auto timer = Timer::scheduledTimer(0.005, true, [&](Timer& t) {
    if (++calls == 3)
      t.invalidate();
  });
  EXPECT_TRUE(MainLoop::runUntil([&] { return !timer->isValid(); }, std::chrono::seconds(10)));
  EXPECT_EQ(calls, 3);
}

TEST(Timer, ATimerLeftByAnEarlierTestClockNeverFires) {
  int stale = 0;
  std::shared_ptr<Timer> leftOver;
  {
    TestClockScope first;
    leftOver = Timer::scheduledTimer(0.1, true, [&](Timer&) { ++stale; });
    TestClock::advance(0.1);
    EXPECT_EQ(stale, 1);
  }
  TestClockScope second;
  int fresh = 0;
  auto timer = Timer::scheduledTimer(0.1, true, [&](Timer&) { ++fresh; });
  TestClock::advance(1.0);
  EXPECT_EQ(fresh, 10);
  EXPECT_EQ(stale, 1);
  timer->invalidate();
  leftOver->invalidate();
}
