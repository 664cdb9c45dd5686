#include "AnimationSequencer.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "AnimatorTimer.h"
#include "Foundation/Print.h"

namespace {
// Frame sums saturate: a start frame near the 64-bit limit must not overflow the end frame.
std::int64_t addFrames(std::int64_t a, std::int64_t b) {
  std::int64_t r = 0;
  if (__builtin_add_overflow(a, b, &r)) {
    return b < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
  }
  return r;
}
}  // namespace

AnimationSequencer::~AnimationSequencer() {
  // Only reachable with a timer still held when the sequencer was not owned by a shared_ptr.
  invalidateAnimationTimer(_timer);
}

void AnimationSequencer::add(std::shared_ptr<Animator> item, std::int64_t at) {
  if (!item) {
    print("FEHLER: Das Animator Objekt ist ungültig.");
    return;
  }
  item->_startFrame = at;
  _animators.push_back(std::move(item));
  // Sorted by start frame again as a whole (an item placed twice moves its other entry too);
  // items with equal start frames keep the order in which they were placed.
  std::stable_sort(_animators.begin(), _animators.end(),
                   [](const std::shared_ptr<Animator>& a, const std::shared_ptr<Animator>& b) {
                     return a->_startFrame < b->_startFrame;
                   });
  calculateFrames();
}

void AnimationSequencer::remove(const std::shared_ptr<Animator>& item) {
  if (item) {
    const auto entry = std::find(_animators.begin(), _animators.end(), item);
    if (entry != _animators.end())
      _animators.erase(entry);
  }
  calculateFrames();
}

void AnimationSequencer::removeAll() {
  std::vector<std::shared_ptr<Animator>>().swap(_animators);
  _maxFrames = 0;
}

std::int64_t AnimationSequencer::getCount() {
  return static_cast<std::int64_t>(_animators.size());
}
std::int64_t AnimationSequencer::getCurrentCount() {
  return static_cast<std::int64_t>(_animatedItems.size());
}
std::int64_t AnimationSequencer::getCurrentFrame() {
  return _currentFrame;
}
std::int64_t AnimationSequencer::getCurrentIndex() {
  return _currentIndex;
}

void AnimationSequencer::start() {
  invalidateAnimationTimer(_timer);
  _timer = scheduleAnimationTimer(*this, interval, [](AnimationSequencer& sequencer) {
    sequencer._currentFrame = addFrames(sequencer._currentFrame, 1);
    sequencer.animate();
  });
}

void AnimationSequencer::stop() {
  reset();
}

void AnimationSequencer::reset() {
  invalidateAnimationTimer(_timer);
  _currentIndex = 0;
  _currentFrame = 0;
}

void AnimationSequencer::pause() {
  _suspended = true;
}
void AnimationSequencer::continue_() {
  _suspended = false;
}

void AnimationSequencer::rewind() {
  const std::vector<std::shared_ptr<Animator>> items = _animators;
  for (const std::shared_ptr<Animator>& item : items)
    item->rewind();
}

void AnimationSequencer::seek(std::int64_t to) {
  _currentFrame = to;
  _currentIndex = 0;
  if (to > _maxFrames) {
    stop();
    return;
  }
  const std::vector<std::shared_ptr<Animator>> items = _animators;
  for (const std::shared_ptr<Animator>& item : items) {
    if (item->_startFrame < to) {
      item->stop();
      _currentIndex = _currentIndex + 1;
    } else {
      item->rewind();
    }
  }
}

void AnimationSequencer::animate() {
  if (_suspended)
    return;
  if (_animators.empty()) {
    print("WARNUNG: Es sind keine Animator Objekte definiert.");
    return;
  }
  const std::shared_ptr<AnimationSequencer> self = weak_from_this().lock();
  findAnimators();
  const std::vector<std::shared_ptr<Animator>> walk = _animatedItems;
  for (const std::shared_ptr<Animator>& item : walk) {
    if (onAnimation)
      onAnimation(*this, item);
    item->animate();
    if (item->isFinished()) {
      const auto entry = std::find(_animatedItems.begin(), _animatedItems.end(), item);
      if (entry != _animatedItems.end())
        _animatedItems.erase(entry);
    }
  }
  if (_currentFrame >= _maxFrames) {
    if (onFinished)
      onFinished(*this);
    stop();
  }
}

void AnimationSequencer::findAnimators() {
  // Removals can leave the index past the list (after a seek that passed every item): the walk
  // stays inside the list as it is at each position.
  for (std::int64_t i = std::max<std::int64_t>(_currentIndex, 0);
       i < static_cast<std::int64_t>(_animators.size()); ++i) {
    const std::shared_ptr<Animator> item = _animators[static_cast<std::size_t>(i)];
    if (_currentFrame >= item->_startFrame && !item->isFinished()) {
      _currentIndex = i;
      scheduleItem(item);
    }
  }
}

void AnimationSequencer::scheduleItem(const std::shared_ptr<Animator>& item) {
  if (std::find(_animatedItems.begin(), _animatedItems.end(), item) != _animatedItems.end())
    return;
  _animatedItems.push_back(item);
}

void AnimationSequencer::calculateFrames() {
  for (const std::shared_ptr<Animator>& item : _animators) {
    const std::int64_t end = addFrames(item->_startFrame, item->_frames);
    if (end > _maxFrames)
      _maxFrames = end;
  }
}
