// Run-loop timers, scheduled on the calling thread's run loop (its thread-default GLib context,
// else the main loop), as custom GLib sources at the default priority.
// The first firing comes one interval after scheduling. A repeating timer keeps its phase:
// the next due time moves on by whole intervals, so it does not drift; on the real (monotonic)
// clock a timer that was held up skips the periods it missed (it fires once, not once per period).
// Intervals below 0.1 ms (and NaN) become 0.1 ms. A block that throws is reported on stderr.
#pragma once

#include <functional>
#include <memory>

class Timer : public std::enable_shared_from_this<Timer> {
 public:
  using Block = std::function<void(Timer&)>;

  // While scheduled, the run loop holds the timer, and so the block and whatever it captures.
  // [main]
  static std::shared_ptr<Timer> scheduledTimer(double withTimeInterval, bool repeats, Block block);

  // Stops the timer for good; the run loop releases it (and the block). Safe to call from
  // inside the block, and more than once. [main]
  void invalidate();
  bool isValid() const;  // [any]
  // The interval of a repeating timer; 0 for a one-shot timer, whatever interval it was made with.
  double timeInterval() const;
  // Makes the timer fire now: a repeating timer keeps its schedule, a one-shot timer is then
  // invalidated. [main]
  void fire();

  ~Timer();
  struct State;

 private:
  friend struct TimerScheduling;
  // The test-only control of the test clock (Dispatch/testing/TestClock.h) reaches the three
  // calls below through this.
  friend struct TestClockControl;
  // TestClock::enable, disable and advance (see there). [main]
  static void enableTestClock();
  static void disableTestClock();
  static void advanceTestClock(double seconds);

  void fireFromRunLoop();
  void runBlock();

  Timer() = default;
  std::shared_ptr<State> state_;
};

// The test clock: while a test has it on (Dispatch/testing/TestClock.h, built into a library
// that only tests and benchmarks link), timers made from then on follow it instead of the
// monotonic clock. Input timestamps read it too.
namespace TestClock {
// Whether timers made now follow the test clock. [any]
bool isEnabled();
// Seconds on the test clock; while a timer's block runs, that firing's due time. [any]
double now();
}  // namespace TestClock
