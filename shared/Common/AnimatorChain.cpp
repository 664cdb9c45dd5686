#include "AnimatorChain.h"

#include <algorithm>

#include "AnimatorTimer.h"
#include "Foundation/Print.h"

AnimatorChain::~AnimatorChain() {
  // Only reachable with a timer still held when the chain was not owned by a shared_ptr.
  invalidateAnimationTimer(_timer);
}

void AnimatorChain::add(std::shared_ptr<Animator> item) {
  if (!item)
    return;
  _animators.push_back(std::move(item));
}

void AnimatorChain::remove(const std::shared_ptr<Animator>& item) {
  if (!item)
    return;
  const auto entry = std::find(_animators.begin(), _animators.end(), item);
  if (entry != _animators.end())
    _animators.erase(entry);
}

void AnimatorChain::removeAll() {
  stop();
  std::vector<std::shared_ptr<Animator>>().swap(_animators);
}

std::int64_t AnimatorChain::getCount() {
  return static_cast<std::int64_t>(_animators.size());
}

std::int64_t AnimatorChain::getCurrentIndex() {
  return _currentIndex;
}

std::shared_ptr<Animator> AnimatorChain::getCurrentItem() {
  if (_currentIndex < 0 || _currentIndex >= static_cast<std::int64_t>(_animators.size()))
    return nullptr;
  return _animators[static_cast<std::size_t>(_currentIndex)];
}

void AnimatorChain::start() {
  invalidateAnimationTimer(_timer);
  _timer = scheduleAnimationTimer(*this, interval, [](AnimatorChain& chain) { chain.animate(); });
}

void AnimatorChain::stop() {
  reset();
}

void AnimatorChain::reset() {
  invalidateAnimationTimer(_timer);
  _currentIndex = 0;
}

void AnimatorChain::setBackwards(bool direction) {
  _direction = direction ? -1 : 1;
}

void AnimatorChain::animate() {
  if (_animators.empty()) {
    print("WARNUNG: Es sind keine Animator Objekte definiert.");
    return;
  }
  const std::shared_ptr<AnimatorChain> self = weak_from_this().lock();
  // Removals may have left the index past the end; it never goes below 0 between ticks.
  // The list's own size throughout: an overridden getCount() must not move the index off it.
  const std::int64_t last = static_cast<std::int64_t>(_animators.size()) - 1;
  _currentIndex = std::clamp<std::int64_t>(_currentIndex, 0, last);

  const std::shared_ptr<Animator> item = _animators[static_cast<std::size_t>(_currentIndex)];
  if (onAnimation)
    onAnimation(*this, item);
  if (async) {
    item->start();
    _currentIndex = _currentIndex + _direction;
  } else {
    item->animate();
    if (item->isFinished())
      _currentIndex = _currentIndex + _direction;
  }

  // Backwards the run ends on reaching index 0, without visiting it again.
  const bool over =
      _direction > 0 ? _currentIndex >= static_cast<std::int64_t>(_animators.size()) : _currentIndex <= 0;
  if (over) {
    if (onFinished)
      onFinished(*this);
    stop();
  }
}
