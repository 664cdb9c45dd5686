#include "Impulse.h"

#include <cmath>

#include "AnimatorTimer.h"

Impulse::Impulse() {
  reset();
}

Impulse::Impulse(std::int64_t frames, float amount, float interval, float intensity) : Impulse() {
  Impulse::setup(frames, amount, interval, intensity);
}

Impulse::~Impulse() {
  // Only reachable with a timer still held when the impulse was not owned by a shared_ptr.
  invalidateAnimationTimer(_timer);
}

void Impulse::setup(std::int64_t frames, float amount, float interval, float intensity) {
  _frames = frames;
  _step = 0;
  if (_frames < 0)
    _frames = 0;
  _source = amount;
  _amount = amount;
  _intensity = intensity;
  _interval = interval;
}

void Impulse::setMinMax(bool enabled, float min, float max) {
  _collision = enabled;
  _minVal = min;
  _maxVal = max;
}

void Impulse::start() {
  invalidateAnimationTimer(_timer);
  _timer = scheduleAnimationTimer(*this, _interval, [](Impulse& impulse) { impulse.animate(); });
}

void Impulse::stop() {
  invalidateAnimationTimer(_timer);
  reset();
}

void Impulse::animate() {
  const std::shared_ptr<Impulse> self = weak_from_this().lock();
  // The decay comes first: the first step adds amount × intensity. The increment after k ticks
  // is |amount| × intensity^k, so the number of steps depends only on amount, intensity and the
  // threshold. A non-finite increment (NaN or infinite amount or intensity) would never fall
  // below the threshold and keep the timer running for ever: it ends the impulse as well.
  _amount = _amount * _intensity;
  if (std::fabs(_amount) < _threshold || !std::isfinite(_amount)) {
    _amount = 0;
    if (onFinished)
      onFinished(*this);
    stop();
    return;
  }
  if (_step < INT64_MAX)
    _step = _step + 1;
  _value = _value + _amount;
  if (_collision && (_value <= _minVal || _value >= _maxVal)) {
    // Take the step back and turn round: the value returns to where it was before this step.
    _amount = -_amount;
    _value = _value + _amount;
    if (onCollision)
      onCollision(*this);
  }
  if (onAnimation)
    onAnimation(*this);
}

bool Impulse::isFinished() {
  return _frames < 0;
}

float Impulse::getSourceValue() {
  return _source;
}

void Impulse::reset() {
  _frames = -1;
  _step = 0;
  _amount = 0;
  _value = 0;
}
