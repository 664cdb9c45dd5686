// Animator: a frame-counted tween of one float from a source to a destination value, each frame
// computed by the easing curve of its EnumEasing kind and stepped by a repeating timer on the
// run loop of the thread that starts it (the main thread here).
//
// Hold animators in std::shared_ptr: while its timer is scheduled the timer holds the animator,
// so a started animator kept nowhere else lives until its run ends or stop() is called.
// All operations and callbacks: [main].
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "AnimatorCallback.h"
#include "EnumEasing.h"

class Timer;

class Animator : public std::enable_shared_from_this<Animator> {
 public:
  // The easing operation of the current kind, called as (frame, source, amount, frame count).
  using Action = std::function<float(std::int64_t, float, float, std::int64_t)>;

  // The number of live animators (every construction adds 1, every destruction subtracts 1).
  static std::atomic<std::int64_t> classCount;

  // No run set up (isFinished() is true), interval 0.005 s, linear curve.
  Animator();
  // Animator() followed by setup with the same values.
  Animator(float sourceValue, float destinationValue, std::int64_t frames, float interval = 0.009f,
           EnumEasing type = EnumEasing::EASING_easeNone);
  virtual ~Animator();
  Animator(const Animator&) = delete;
  Animator& operator=(const Animator&) = delete;

  // The easing operations, one per curve (see Easing.h); overridable, stateless.
#define KOV_ANIMATOR_EASE(name) \
  virtual float name(std::int64_t currentFrame, float sourceValue, float amount, std::int64_t numFrames);
  KOV_EASING_CURVES(KOV_ANIMATOR_EASE)
#undef KOV_ANIMATOR_EASE

  // When true, a run that reaches its destination reverses direction instead of ending.
  bool looped = false;
  // Before every step, with the value before the step.
  AnimatorCallback<void(Animator&, float)> onAnimation;
  // Once when a run that is not looped ends, with the destination value.
  AnimatorCallback<void(Animator&, float)> onFinished;
  // When a looped run reaches its destination, before it reverses.
  AnimatorCallback<void(Animator&)> onLoop;

  // Sets up a new run: value = source, frame count clamped to 0 when negative or when the
  // destination equals the source. Neither starts nor stops a timer.
  virtual void setup(float source, float destination, std::int64_t frames, float interval = 0.009f,
                     EnumEasing type = EnumEasing::EASING_easeNone);
  // The run back from the destination to the source, with the same frames, interval and curve.
  virtual void reverse();
  // Completes the run at once: a linear one-frame run from source to destination, stepped twice.
  virtual void undo();
  virtual float getDestinationValue();
  virtual float getSourceValue();
  virtual float getValue();
  // One step of the run; the timer's action.
  virtual void animate();
  // True when no run is set up (also after a run has ended).
  virtual bool isFinished();
  // Schedules the repeating timer, first firing one interval from now; a timer still running
  // from an earlier start() is invalidated first.
  virtual void start();
  // Invalidates the timer, then ends the run (looped is cleared).
  virtual void stop();
  // The run again from the current source with the frame count last handed to setup, at the
  // default interval 0.009 s and on the linear curve.
  virtual void rewind();
  // Changes the curve from the next step on.
  virtual void setType(EnumEasing type);
  // Takes effect at the next start().
  virtual void setInterval(float interval);

  EnumEasing type() const {
    return _type;
  }

 protected:
  // Toolkit-internal state, read and written directly by the animation classes.
  std::int64_t _startFrame = 0;  // place on an AnimationSequencer's timeline
  std::int64_t _frameCount = 0;  // frame count handed to the last setup, before clamping
  std::shared_ptr<Timer> _timer;
  float _source = 0;
  float _value = 0;
  float _destination = 0;
  float _amount = 0;          // _destination − _source
  std::int64_t _frames = -1;  // frames of the current run; −1: none set up or the last one ended
  std::int64_t _step = 0;     // frames done in the current run
  float _interval = 0.005f;   // timer period in seconds
  Action _action;             // the easing operation of _type, bound to this animator

  // Every assignment of the kind installs its easing operation in _action.
  void assignType(EnumEasing type);

  friend class AnimatorStack;
  friend class AnimatorChain;
  friend class AnimationSequencer;

 private:
  // _step = 0, _frames = −1, looped = false.
  virtual void reset();

  EnumEasing _type = EnumEasing::EASING_easeNone;
};
