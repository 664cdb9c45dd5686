// Impulse: moves a float value by a decaying push. On every tick of its own timer the increment
// is multiplied by the intensity (below 1) and added to the value, until its magnitude falls
// below the threshold 0.001. With collision on, a step that reaches or crosses a bound is taken
// back and the increment changes sign. Every end resets the value to 0.
//
// Hold impulses in std::shared_ptr: a running impulse is held by its timer. All operations and
// callbacks: [main].
#pragma once

#include <cstdint>
#include <memory>

#include "AnimatorCallback.h"

class Timer;

class Impulse : public std::enable_shared_from_this<Impulse> {
 public:
  // Not set up: isFinished() is true.
  Impulse();
  // Impulse() followed by setup with the same values.
  Impulse(std::int64_t frames, float amount, float interval = 0.009f, float intensity = 0.75f);
  virtual ~Impulse();
  Impulse(const Impulse&) = delete;
  Impulse& operator=(const Impulse&) = delete;

  // At the end of every step, after the value has moved.
  AnimatorCallback<void(Impulse&)> onAnimation;
  // Once, when the increment has fallen below the threshold (the value is still the last one).
  AnimatorCallback<void(Impulse&)> onFinished;
  // When a step hit a bound and was taken back.
  AnimatorCallback<void(Impulse&)> onCollision;

  // Records a new push: frame count (raised to 0 when negative; only isFinished() reads it),
  // increment, intensity and interval. The value, the bounds and the timer are not touched.
  virtual void setup(std::int64_t frames, float amount, float interval = 0.009f, float intensity = 0.75f);
  virtual void setMinMax(bool enabled, float min, float max);
  // Schedules the repeating timer (first tick one interval from now); a timer still running
  // from an earlier start() is invalidated first.
  virtual void start();
  // Invalidates the timer, then resets frames, step, increment and value.
  virtual void stop();
  // One step; the timer's action.
  virtual void animate();
  virtual bool isFinished();
  // The increment handed to setup.
  virtual float getSourceValue();

 protected:
  // Toolkit-internal state.
  std::shared_ptr<Timer> _timer;
  std::int64_t _frames = -1;
  std::int64_t _step = 0;
  float _amount = 0;  // current increment
  float _value = 0;
  float _source = 0;  // increment handed to setup
  float _intensity = 0.75f;
  float _threshold = 0.001f;
  float _interval = 0.009f;  // timer period in seconds
  float _minVal = -1024;
  float _maxVal = 1024;
  bool _collision = false;

 private:
  void reset();
};
