#include "UIKit/UIPinchGestureRecognizer.h"

#include <cmath>

#include "UIKit/UIView.h"

namespace {

// The change of finger distance (as a fraction) that starts the gesture.
constexpr CGFloat startThreshold = 0.03;

}  // namespace

std::shared_ptr<UIPinchGestureRecognizer> UIPinchGestureRecognizer::make() {
  return std::shared_ptr<UIPinchGestureRecognizer>(new UIPinchGestureRecognizer());
}

CGFloat UIPinchGestureRecognizer::distance() const {
  if (tracked().size() < 2)
    return 0;
  const CGPoint a = tracked()[0]->windowLocation(), b = tracked()[1]->windowLocation();
  return std::hypot(a.x - b.x, a.y - b.y);
}

void UIPinchGestureRecognizer::setScale(CGFloat scale) {
  scale_ = base_ = scale;
  startDistance_ = distance();
}

CGPoint UIPinchGestureRecognizer::location(const UIView* in) const {
  if (!fromInput_)
    return UIGestureRecognizer::location(in);
  return in ? in->convertFrom(inputLocation_, nullptr) : inputLocation_;
}

void UIPinchGestureRecognizer::touchesBegan(const UITouchSet&, const UIEvent& event) {
  if (fromInput_)
    return;
  if (tracked().size() == 2) {
    startDistance_ = distance();
    base_ = scale_;
    lastTime_ = event.timestamp();
  }
}

void UIPinchGestureRecognizer::touchesMoved(const UITouchSet&, const UIEvent& event) {
  if (fromInput_ || tracked().size() < 2 || !(startDistance_ > 0))
    return;
  const CGFloat s = base_ * distance() / startDistance_;
  const double dt = event.timestamp() - lastTime_;
  if (dt > 0)
    velocity_ = (s - scale_) / dt;
  lastTime_ = event.timestamp();
  scale_ = s;
  if (state() == State::possible) {
    if (std::fabs(s / base_ - 1) > startThreshold)
      setState(State::began);
  } else if (isRunning()) {
    setState(State::changed);
  }
}

void UIPinchGestureRecognizer::touchesEnded(const UITouchSet& touches, const UIEvent&) {
  if (fromInput_)
    return;
  if (isRunning()) {
    setState(State::ended);
    return;
  }
  const std::size_t remaining = tracked().size() - std::min(tracked().size(), touches.size());
  if (remaining == 0) {
    setState(State::failed);
  } else {
    startDistance_ = 0;  // waits for a second finger again
  }
}

bool UIPinchGestureRecognizer::pinchInput(UITouchPhase phase, CGPoint windowLocation, CGFloat scale) {
  switch (phase) {
    case UITouchPhase::began:
      if (!tracked().empty() || state() != State::possible)
        return false;
      fromInput_ = true;
      inputLocation_ = windowLocation;
      scale_ = base_ = 1;
      velocity_ = 0;
      setState(State::began);
      if (state() != State::began) {
        fromInput_ = false;
        resetIfIdle();
        return false;
      }
      return true;
    case UITouchPhase::moved:
    case UITouchPhase::stationary:
      if (!fromInput_ || !isRunning())
        return false;
      inputLocation_ = windowLocation;
      if (std::isfinite(scale))
        scale_ = scale;
      setState(State::changed);
      return true;
    case UITouchPhase::ended:
    case UITouchPhase::cancelled:
      if (!fromInput_)
        return false;
      if (isRunning())
        setState(phase == UITouchPhase::ended ? State::ended : State::cancelled);
      fromInput_ = false;
      resetIfIdle();
      return true;
  }
  return false;
}

void UIPinchGestureRecognizer::reset() {
  startDistance_ = 0;
  base_ = scale_ = 1;
  velocity_ = 0;
  lastTime_ = 0;
  fromInput_ = false;
}
