#include "AnimatorStack.h"

#include <algorithm>

#include "AnimatorTimer.h"

AnimatorStack::~AnimatorStack() {
  // Only reachable with a timer still held when the stack was not owned by a shared_ptr.
  invalidateAnimationTimer(_timer);
}

void AnimatorStack::add(std::shared_ptr<Animator> item) {
  if (!item)
    return;
  _animators.push_back(std::move(item));
}

std::int64_t AnimatorStack::getCount() {
  return static_cast<std::int64_t>(_animators.size());
}

std::vector<std::shared_ptr<Animator>> AnimatorStack::getItems() {
  return _animators;
}

void AnimatorStack::start() {
  invalidateAnimationTimer(_timer);
  _timer = scheduleAnimationTimer(*this, interval, [](AnimatorStack& stack) { stack.animate(); });
}

void AnimatorStack::stop() {
  reset();
}

void AnimatorStack::animate() {
  const std::shared_ptr<AnimatorStack> self = weak_from_this().lock();
  bool stepped = false;
  // The walk goes over the list as it was when the tick began; callbacks may change the list.
  const std::vector<std::shared_ptr<Animator>> walk = _animators;
  for (const std::shared_ptr<Animator>& item : walk) {
    if (item->isFinished())
      continue;
    if (onAnimation)
      onAnimation(*this, item);
    item->animate();
    stepped = true;
    if (item->isFinished()) {
      // The first entry that is this animator; a callback may have emptied the list already.
      const auto entry = std::find(_animators.begin(), _animators.end(), item);
      if (entry != _animators.end()) {
        _animators.erase(entry);
        if (onRemovedItem)
          onRemovedItem(*this, item);
      }
    }
  }
  if (!stepped) {
    if (onFinished)
      onFinished(*this);
    stop();
  }
}

void AnimatorStack::reset() {
  invalidateAnimationTimer(_timer);
  if (!_animators.empty())
    std::vector<std::shared_ptr<Animator>>().swap(_animators);
}
