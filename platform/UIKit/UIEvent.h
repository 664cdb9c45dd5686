// One input event as touch handlers see it: the time and every touch on the screen at that
// moment. Handlers are given it alongside the touches that changed; most only pass it on. [main]
#pragma once

#include "UIKit/UITouch.h"

class UIEvent {
 public:
  enum class EventType { touches = 0, motion = 1, remoteControl = 2, presses = 3 };

  UIEvent(double timestamp, UITouchSet allTouches) : timestamp_(timestamp), all_(std::move(allTouches)) {}

  EventType type() const { return EventType::touches; }
  double timestamp() const { return timestamp_; }
  // Every touch currently down, in any view.
  const UITouchSet& allTouches() const { return all_; }
  // The touches of `view`'s own.
  UITouchSet touches(const UIView* forView) const;

 private:
  double timestamp_;
  UITouchSet all_;
};
