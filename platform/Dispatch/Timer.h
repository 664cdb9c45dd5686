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
  void fireFromRunLoop();
  void runBlock();

  Timer() = default;
  std::shared_ptr<State> state_;
};

// A clock for tests: once enabled, timers follow this clock instead of the monotonic clock,
// and advancing it fires every timer that falls due, in due order, without sleeping. Times are
// whole nanoseconds, so advancing by a timer's interval N times reaches its N-th due time exactly.
// While a timer's block runs, now() is that firing's due time.
namespace TestClock {
// Switches timers created from now on to the test clock, starting at 0 s. Test-clock timers
// made before this call never fire again (each enable starts a new test). [main]
void enable();
// Back to the real clock for timers created from now on. [main]
void disable();
bool isEnabled();
// Seconds on the test clock. [any]
double now();
// Moves the clock on and runs the main loop until every timer due by then has fired: the clock
// steps to each due time in turn (a repeating timer fires once per period passed), and main-queue
// work runs in between. [main]
void advance(double seconds);
}  // namespace TestClock
