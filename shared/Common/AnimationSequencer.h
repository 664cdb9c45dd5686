// AnimationSequencer: plays a timeline of set-up Animators. Each item is placed at a start
// frame; a frame clock advances by one on every tick of the sequencer's own timer; an item whose
// start frame has come is started and stepped once per tick until it finishes; the sequence ends
// in the tick whose frame reaches the end frame (the largest start frame + frame count seen).
// It can be paused and continued (the clock keeps running), sought to a frame and rewound.
//
// Hold sequencers in std::shared_ptr: a running sequencer is held by its timer. All operations
// and callbacks: [main]; callbacks do not call animate().
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Animator.h"
#include "AnimatorCallback.h"

class Timer;

class AnimationSequencer : public std::enable_shared_from_this<AnimationSequencer> {
 public:
  AnimationSequencer() = default;
  virtual ~AnimationSequencer();
  AnimationSequencer(const AnimationSequencer&) = delete;
  AnimationSequencer& operator=(const AnimationSequencer&) = delete;

  float interval = 0.005f;  // timer period in seconds; read by start()
  // Before each step of a started item.
  AnimatorCallback<void(AnimationSequencer&, const std::shared_ptr<Animator>&)> onAnimation;
  // Once, when the clock has reached the end frame (the clock still shows that frame).
  AnimatorCallback<void(AnimationSequencer&)> onFinished;

  // Places the item at a start frame and keeps the list sorted by start frame; no item: prints
  // "FEHLER: Das Animator Objekt ist ungültig." and changes nothing.
  virtual void add(std::shared_ptr<Animator> item, std::int64_t at);
  // Removes the first placed entry that is this animator (none, or not placed: nothing), then
  // recalculates the end frame, which never falls. A running item goes on until it finishes.
  virtual void remove(const std::shared_ptr<Animator>& item);
  // Removes every placed item and sets the end frame to 0; started items, clock and timer stay.
  virtual void removeAll();
  virtual std::int64_t getCount();         // placed items
  virtual std::int64_t getCurrentCount();  // started items that have not finished
  virtual std::int64_t getCurrentFrame();
  virtual std::int64_t getCurrentIndex();
  // Schedules the repeating timer (first tick one interval from now); each firing advances the
  // clock, then runs animate(). The clock is not reset. A timer still running from an earlier
  // start() is invalidated first.
  virtual void start();
  // Invalidates the timer; index and clock back to 0. Items, end frame and pause flag stay.
  virtual void stop();
  virtual void pause();
  // Resumes after pause(); `continue` is a keyword, hence the underscore.
  virtual void continue_();
  // Rewinds every placed item (Animator::rewind); the clock is not changed.
  virtual void rewind();
  // Moves the clock to a frame: items placed before it are stopped, the others rewound; beyond
  // the end frame the sequencer stops instead.
  virtual void seek(std::int64_t to);
  // The work of one tick, after the clock has advanced.
  virtual void animate();
  // Raises the end frame to the largest start frame + frame count of the placed items.
  virtual void calculateFrames();

 protected:
  // Toolkit-internal state.
  std::shared_ptr<Timer> _timer;
  std::int64_t _currentFrame = 0;
  std::int64_t _maxFrames = 0;
  std::vector<std::shared_ptr<Animator>> _animators;      // placed, sorted by start frame
  std::vector<std::shared_ptr<Animator>> _animatedItems;  // started, in starting order, unique
  std::int64_t _currentIndex = 0;                         // where the search for items to start begins
  bool _suspended = false;

 private:
  void findAnimators();
  void scheduleItem(const std::shared_ptr<Animator>& item);
  void reset();
};
