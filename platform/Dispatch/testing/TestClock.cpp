#include "Dispatch/testing/TestClock.h"

struct TestClockControl {
  static void enable() { Timer::enableTestClock(); }
  static void disable() { Timer::disableTestClock(); }
  static void advance(double seconds) { Timer::advanceTestClock(seconds); }
};

namespace TestClock {

void enable() {
  TestClockControl::enable();
}

void disable() {
  TestClockControl::disable();
}

void advance(double seconds) {
  TestClockControl::advance(seconds);
}

}  // namespace TestClock
