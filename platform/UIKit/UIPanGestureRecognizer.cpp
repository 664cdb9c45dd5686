#include "UIKit/UIPanGestureRecognizer.h"

#include <cmath>

#include "UIKit/UIView.h"

std::shared_ptr<UIPanGestureRecognizer> UIPanGestureRecognizer::make() {
  return std::shared_ptr<UIPanGestureRecognizer>(new UIPanGestureRecognizer());
}

namespace {

CGPoint minus(CGPoint a, CGPoint b) {
  return {a.x - b.x, a.y - b.y};
}

}  // namespace

CGPoint UIPanGestureRecognizer::translation(const UIView* in) const {
  if (!in)
    return minus(current_, start_);
  return minus(in->convertFrom(current_, nullptr), in->convertFrom(start_, nullptr));
}

void UIPanGestureRecognizer::setTranslation(CGPoint translation, const UIView* in) {
  if (!in) {
    start_ = minus(current_, translation);
    return;
  }
  const CGPoint startInView = minus(in->convertFrom(current_, nullptr), translation);
  start_ = in->convert(startInView, nullptr);
}

CGPoint UIPanGestureRecognizer::velocity(const UIView* in) const {
  if (!in)
    return velocity_;
  // A vector maps through the linear part only: the difference of two mapped points.
  return minus(in->convertFrom(velocity_, nullptr), in->convertFrom(CGPoint{}, nullptr));
}

void UIPanGestureRecognizer::touchesBegan(const UITouchSet& touches, const UIEvent& event) {
  if (tracked().size() > maximumTouches_) {
    if (isRunning()) {
      setState(State::cancelled);
    } else {
      setState(State::failed);
    }
    return;
  }
  // A finger added (or, below, lifted) moves the centre; the reference moves with it, so the
  // translation carries on from where it was.
  const CGPoint centre = windowCentroid();
  if (tracked().size() == touches.size()) {
    start_ = current_ = centre;
    velocity_ = CGPoint();
  } else {
    start_ = CGPoint{start_.x + centre.x - current_.x, start_.y + centre.y - current_.y};
    current_ = centre;
  }
  lastTime_ = event.timestamp();
}

void UIPanGestureRecognizer::touchesMoved(const UITouchSet&, const UIEvent& event) {
  const CGPoint centre = windowCentroid();
  const double dt = event.timestamp() - lastTime_;
  if (dt > 0)
    velocity_ = CGPoint{(centre.x - current_.x) / dt, (centre.y - current_.y) / dt};
  lastTime_ = event.timestamp();
  current_ = centre;
  if (state() == State::possible) {
    const CGPoint t = minus(current_, start_);
    if (tracked().size() >= minimumTouches_ && std::hypot(t.x, t.y) > hysteresis)
      setState(State::began);
  } else if (isRunning()) {
    setState(State::changed);
  }
}

void UIPanGestureRecognizer::touchesEnded(const UITouchSet& touches, const UIEvent&) {
  const std::size_t remaining = tracked().size() - std::min(tracked().size(), touches.size());
  if (remaining == 0) {
    setState(isRunning() ? State::ended : State::failed);
    return;
  }
  const CGPoint centre = windowCentroid(touches);
  start_ = CGPoint{start_.x + centre.x - current_.x, start_.y + centre.y - current_.y};
  current_ = centre;
  if (isRunning() && remaining < minimumTouches_)
    setState(State::ended);
}

void UIPanGestureRecognizer::reset() {
  start_ = current_ = velocity_ = CGPoint();
  lastTime_ = 0;
}
