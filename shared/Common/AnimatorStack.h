// AnimatorStack: runs several set-up Animators side by side on one timer of its own. Every tick
// steps each unfinished item once and takes an item out as soon as it has finished; the first
// tick that finds nothing to step reports onFinished and stops the stack, which empties it.
//
// The stack never sets up, starts or stops its items; add them set up and not started. Hold
// stacks in std::shared_ptr: a running stack is held by its timer. All operations: [main].
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Animator.h"
#include "AnimatorCallback.h"

class Timer;

class AnimatorStack : public std::enable_shared_from_this<AnimatorStack> {
 public:
  AnimatorStack() = default;
  virtual ~AnimatorStack();
  AnimatorStack(const AnimatorStack&) = delete;
  AnimatorStack& operator=(const AnimatorStack&) = delete;

  float interval = 0.005f;  // timer period in seconds; read by start()
  // Before each step of an item.
  AnimatorCallback<void(AnimatorStack&, const std::shared_ptr<Animator>&)> onAnimation;
  // Once, in the first tick that steps no item.
  AnimatorCallback<void(AnimatorStack&)> onFinished;
  // After a finished item has been taken out of the list.
  AnimatorCallback<void(AnimatorStack&, const std::shared_ptr<Animator>&)> onRemovedItem;

  // Appends the item (also one already in the list); no item: nothing.
  virtual void add(std::shared_ptr<Animator> item);
  virtual std::int64_t getCount();
  // The current list; the animators are shared.
  virtual std::vector<std::shared_ptr<Animator>> getItems();
  // Schedules the repeating timer (first tick one interval from now); a timer still running
  // from an earlier start() is invalidated first.
  virtual void start();
  virtual void stop();
  // One tick; the timer's action.
  virtual void animate();
  // Invalidates the timer and empties the list.
  virtual void reset();

 protected:
  // Toolkit-internal state.
  std::shared_ptr<Timer> _timer;
  std::vector<std::shared_ptr<Animator>> _animators;
};
