// AnimatorChain: runs set-up Animators one after another on one timer of its own. Normally each
// tick steps the current item and, once it has finished, moves the index on by the direction
// (+1 forwards, −1 backwards); the chain ends when the index runs off the list. In `async` mode
// each tick instead starts the current item on its own timer and moves on at once, so the items
// begin one tick apart and run side by side.
//
// The chain never sets up or rewinds its items; add them set up. Hold chains in std::shared_ptr:
// a running chain is held by its timer. All operations: [main].
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Animator.h"
#include "AnimatorCallback.h"

class Timer;

class AnimatorChain : public std::enable_shared_from_this<AnimatorChain> {
 public:
  AnimatorChain() = default;
  virtual ~AnimatorChain();
  AnimatorChain(const AnimatorChain&) = delete;
  AnimatorChain& operator=(const AnimatorChain&) = delete;

  float interval = 0.005f;  // timer period in seconds; read by start()
  bool async = false;       // each tick starts the current item and moves on
  // On every tick, with the current item, before it is stepped or started.
  AnimatorCallback<void(AnimatorChain&, const std::shared_ptr<Animator>&)> onAnimation;
  // Once, when the index has run off the end (getCurrentIndex() still shows the final index).
  AnimatorCallback<void(AnimatorChain&)> onFinished;

  // Appends the item (also one already in the chain); no item: nothing.
  virtual void add(std::shared_ptr<Animator> item);
  // Removes the first entry that is this animator; the index is not changed. No item, or one
  // that is not in the chain: nothing.
  virtual void remove(const std::shared_ptr<Animator>& item);
  // stop(), then empties the chain.
  virtual void removeAll();
  virtual std::int64_t getCount();
  virtual std::int64_t getCurrentIndex();
  // The item at the index, or none when the index is outside the list.
  virtual std::shared_ptr<Animator> getCurrentItem();
  // Schedules the repeating timer (first tick one interval from now) without moving the index;
  // a timer still running from an earlier start() is invalidated first.
  virtual void start();
  // Invalidates the timer and sets the index to 0; direction and async stay.
  virtual void stop();
  // Direction −1 when true, +1 when false; the index is not moved.
  virtual void setBackwards(bool direction);
  // One tick; the timer's action.
  virtual void animate();

 protected:
  // Toolkit-internal state.
  std::shared_ptr<Timer> _timer;
  std::vector<std::shared_ptr<Animator>> _animators;
  std::int64_t _currentIndex = 0;
  std::int64_t _direction = 1;

 private:
  void reset();
};
