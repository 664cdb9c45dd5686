// Pinch: two fingers moving apart or together. Begins once their distance has changed by more
// than 3 % from touch-down; `scale` is the distance now over the distance at touch-down (so it is
// relative to the start of the gesture, 1 at the start); it ends when a finger lifts.
// Touch-pad pinches and Ctrl+wheel arrive as pinch input instead of touches: began at a point,
// changed with a scale relative to that start, ended (or cancelled). [main]
#pragma once

#include <memory>

#include "UIKit/UIGestureRecognizer.h"

class UIPinchGestureRecognizer : public UIGestureRecognizer {
 public:
  static std::shared_ptr<UIPinchGestureRecognizer> make();

  CGFloat scale() const { return scale_; }
  void setScale(CGFloat scale);
  // Scale per second from the last two changes.
  CGFloat velocity() const { return velocity_; }
  CGPoint location(const UIView* in) const override;

  bool pinchInput(UITouchPhase phase, CGPoint windowLocation, CGFloat scale) override;

 protected:
  UIPinchGestureRecognizer() = default;
  void touchesBegan(const UITouchSet& touches, const UIEvent& event) override;
  void touchesMoved(const UITouchSet& touches, const UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, const UIEvent& event) override;
  void reset() override;

 private:
  CGFloat distance() const;

  CGFloat startDistance_ = 0;
  CGFloat base_ = 1;  // the scale that setScale made the current distance read
  CGFloat scale_ = 1;
  CGFloat velocity_ = 0;
  double lastTime_ = 0;
  CGPoint inputLocation_;
  bool fromInput_ = false;
};
