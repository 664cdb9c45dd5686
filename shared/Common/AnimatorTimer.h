// The repeating timer of the animation classes (Animator, its containers and Impulse).
//
// The timer's block holds the object strongly while the timer is scheduled, so an object that
// its creator keeps nowhere else lives until its run stops; invalidating the timer releases the
// block and with it the object. An object that is not owned by a std::shared_ptr cannot be held:
// its block refers to it directly, and its destructor must invalidate the timer.
#pragma once

#include <memory>
#include <utility>

#include "Dispatch/Timer.h"

// Schedules a repeating timer on the current run loop, first firing one interval from now, whose
// block calls tick(object) on every firing. The interval is widened from float seconds. [main]
template <class Object, class Tick>
std::shared_ptr<Timer> scheduleAnimationTimer(Object& object, float interval, Tick tick) {
  Timer::Block block;
  if (auto strong = object.weak_from_this().lock()) {
    block = [strong = std::move(strong), tick](Timer&) {
      // A local owner: the tick may invalidate this timer, which releases the block itself.
      const auto keep = strong;
      tick(*keep);
    };
  } else {
    block = [raw = &object, tick](Timer&) { tick(*raw); };
  }
  return Timer::scheduledTimer(static_cast<double>(interval), true, std::move(block));
}

// Invalidates and clears a timer slot; does nothing when it holds no timer. [main]
inline void invalidateAnimationTimer(std::shared_ptr<Timer>& timer) {
  if (timer) {
    const std::shared_ptr<Timer> old = std::move(timer);
    timer.reset();
    old->invalidate();
  }
}
