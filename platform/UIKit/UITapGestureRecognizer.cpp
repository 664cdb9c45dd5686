#include "UIKit/UITapGestureRecognizer.h"

#include <cmath>

std::shared_ptr<UITapGestureRecognizer> UITapGestureRecognizer::make() {
  return std::shared_ptr<UITapGestureRecognizer>(new UITapGestureRecognizer());
}

UITapGestureRecognizer::~UITapGestureRecognizer() {
  if (timer_)
    timer_->invalidate();
}

namespace {

CGFloat distance(CGPoint a, CGPoint b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace

// The gesture fails unless the next step comes within `seconds` (main-loop timer).
void UITapGestureRecognizer::failAfter(double seconds) {
  if (timer_)
    timer_->invalidate();
  std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
  timer_ = Timer::scheduledTimer(seconds, false, [weak](Timer&) {
    auto self = std::static_pointer_cast<UITapGestureRecognizer>(weak.lock());
    if (!self || self->state() != State::possible)
      return;
    self->setState(State::failed);
    self->resetIfIdle();
  });
}

void UITapGestureRecognizer::touchesBegan(const UITouchSet&, const UIEvent&) {
  if (int(tracked().size()) > touchesRequired_) {
    setState(State::failed);
    return;
  }
  touchesSeen_ = std::max(touchesSeen_, int(tracked().size()));
  const CGPoint centre = windowCentroid();
  if (taps_ == 0) {
    firstDown_ = centre;
  } else if (distance(centre, firstDown_) > allowableDistance) {
    setState(State::failed);
    return;
  }
  down_ = centre;
  failAfter(maximumTapDuration);
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet&, const UIEvent&) {
  if (distance(windowCentroid(), down_) > allowableMovement)
    setState(State::failed);
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches, const UIEvent&) {
  if (tracked().size() > touches.size())
    return;  // fingers still down
  if (touchesSeen_ != touchesRequired_) {
    setState(State::failed);
    return;
  }
  ++taps_;
  touchesSeen_ = 0;
  if (timer_)
    timer_->invalidate();
  if (taps_ >= tapsRequired_) {
    setState(State::ended);
  } else {
    failAfter(maximumTapInterval);
  }
}

void UITapGestureRecognizer::reset() {
  if (timer_)
    timer_->invalidate();
  timer_.reset();
  taps_ = 0;
  touchesSeen_ = 0;
}
