#include "Animator.h"

#include <iterator>

#include "AnimatorTimer.h"
#include "Easing.h"

std::atomic<std::int64_t> Animator::classCount{0};

namespace {
using EaseOperation = float (Animator::*)(std::int64_t, float, float, std::int64_t);

// The easing operations in raw-value order; called through the animator, so overrides apply.
constexpr EaseOperation kEaseOperations[] = {
#define KOV_ANIMATOR_ENTRY(name) &Animator::name,
    KOV_EASING_CURVES(KOV_ANIMATOR_ENTRY)
#undef KOV_ANIMATOR_ENTRY
};
static_assert(std::size(kEaseOperations) == kEasingCurveCount);
}  // namespace

Animator::Animator() {
  assignType(EnumEasing::EASING_easeNone);
  classCount.fetch_add(1, std::memory_order_relaxed);
}

Animator::Animator(float sourceValue, float destinationValue, std::int64_t frames, float interval,
                   EnumEasing type)
    : Animator() {
  Animator::setup(sourceValue, destinationValue, frames, interval, type);
}

Animator::~Animator() {
  classCount.fetch_sub(1, std::memory_order_relaxed);
  // Only reachable with a timer still held when the animator was not owned by a shared_ptr
  // (its block then refers to it directly); otherwise the timer was invalidated already.
  invalidateAnimationTimer(_timer);
}

#define KOV_ANIMATOR_EASE_DEFINE(name)                                                                       \
  float Animator::name(std::int64_t currentFrame, float sourceValue, float amount, std::int64_t numFrames) { \
    return Easing::name(currentFrame, sourceValue, amount, numFrames);                                       \
  }
KOV_EASING_CURVES(KOV_ANIMATOR_EASE_DEFINE)
#undef KOV_ANIMATOR_EASE_DEFINE

void Animator::assignType(EnumEasing type) {
  _type = type;
  std::int64_t raw = rawValue(type);
  if (raw < 0 || raw >= kEasingCurveCount)
    raw = 0;  // EASING_easeLast: the linear curve
  // Captures only `this` and an index (small enough for std::function to store without
  // allocating): the animator owns the closure, the closure does not own the animator.
  _action = [this, raw](std::int64_t t, float b, float c, std::int64_t d) {
    return (this->*kEaseOperations[raw])(t, b, c, d);
  };
}

void Animator::setup(float source, float destination, std::int64_t frames, float interval, EnumEasing type) {
  _source = source;
  _destination = destination;
  _value = _source;
  _amount = _destination - _source;
  _frames = frames;
  _frameCount = _frames;
  _step = 0;
  _interval = interval;
  assignType(type);
  if (_frames < 0)
    _frames = 0;
  if (_amount == 0)
    _frames = 0;
}

void Animator::reverse() {
  setup(_destination, _source, _frames, _interval, _type);
}

void Animator::undo() {
  _frames = 1;
  _step = 0;
  setup(_source, _destination, 1, 0.009f, EnumEasing::EASING_easeNone);
  animate();
  animate();
}

float Animator::getDestinationValue() {
  return _destination;
}
float Animator::getSourceValue() {
  return _source;
}
float Animator::getValue() {
  return _value;
}

void Animator::animate() {
  if (_frames < 0)
    return;
  // Keeps this animator alive through callbacks that drop its last other owner.
  const std::shared_ptr<Animator> self = weak_from_this().lock();
  if (_step < _frames) {
    if (onAnimation)
      onAnimation(*this, _value);
    _step = _step + 1;
    _value = _action ? _action(_step, _source, _amount, _frames) : easeNone(_step, _source, _amount, _frames);
    return;
  }
  _value = _destination;
  if (!looped) {
    stop();
    if (onFinished)
      onFinished(*this, _value);
  } else {
    if (onLoop)
      onLoop(*this);
    reverse();
  }
}

bool Animator::isFinished() {
  return _frames < 0;
}

void Animator::start() {
  // A second start() would otherwise orphan the running timer, which goes on firing and
  // holding this animator.
  invalidateAnimationTimer(_timer);
  _timer = scheduleAnimationTimer(*this, _interval, [](Animator& animator) { animator.animate(); });
}

void Animator::stop() {
  invalidateAnimationTimer(_timer);
  reset();
}

void Animator::rewind() {
  setup(_source, _destination, _frameCount, 0.009f, EnumEasing::EASING_easeNone);
}

void Animator::setType(EnumEasing type) {
  assignType(type);
}

void Animator::setInterval(float interval) {
  _interval = interval;
}

void Animator::reset() {
  _step = 0;
  _frames = -1;
  looped = false;
}
