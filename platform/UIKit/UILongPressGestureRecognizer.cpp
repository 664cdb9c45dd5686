#include "UIKit/UILongPressGestureRecognizer.h"

#include <cmath>

std::shared_ptr<UILongPressGestureRecognizer> UILongPressGestureRecognizer::make() {
  return std::shared_ptr<UILongPressGestureRecognizer>(new UILongPressGestureRecognizer());
}

UILongPressGestureRecognizer::~UILongPressGestureRecognizer() {
  if (timer_)
    timer_->invalidate();
}

void UILongPressGestureRecognizer::touchesBegan(const UITouchSet&, const UIEvent&) {
  const int down = int(tracked().size());
  if (down > touchesRequired_) {
    setState(isRunning() ? State::cancelled : State::failed);
    return;
  }
  if (down < touchesRequired_ || state() != State::possible)
    return;
  down_ = windowCentroid();
  if (timer_)
    timer_->invalidate();
  std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
  timer_ = Timer::scheduledTimer(minimumDuration_, false, [weak](Timer&) {
    auto self = weak.lock();
    if (self && self->state() == State::possible && self->numberOfTouches() > 0) {
      static_cast<UILongPressGestureRecognizer&>(*self).setState(State::began);
    }
  });
}

void UILongPressGestureRecognizer::touchesMoved(const UITouchSet&, const UIEvent&) {
  if (state() == State::possible) {
    const CGPoint c = windowCentroid();
    if (std::hypot(c.x - down_.x, c.y - down_.y) > allowableMovement_)
      setState(State::failed);
  } else if (isRunning()) {
    setState(State::changed);
  }
}

void UILongPressGestureRecognizer::touchesEnded(const UITouchSet&, const UIEvent&) {
  setState(isRunning() ? State::ended : State::failed);
}

void UILongPressGestureRecognizer::reset() {
  if (timer_)
    timer_->invalidate();
  timer_.reset();
}
