// Long press: fingers held down for a minimum duration without moving far. Begins when the
// duration has passed (a main-loop timer, so TestClock drives it), reports each move as a change,
// ends when a finger lifts. Lifting or moving more than `allowableMovement` before it began makes
// it fail. [main]
#pragma once

#include <memory>

#include "Dispatch/Timer.h"
#include "UIKit/UIGestureRecognizer.h"

class UILongPressGestureRecognizer : public UIGestureRecognizer {
 public:
  static std::shared_ptr<UILongPressGestureRecognizer> make();
  ~UILongPressGestureRecognizer() override;

  void setMinimumPressDuration(double seconds) { minimumDuration_ = seconds; }
  CGFloat allowableMovement() const { return allowableMovement_; }

 protected:
  UILongPressGestureRecognizer() = default;
  void touchesBegan(const UITouchSet& touches, const UIEvent& event) override;
  void touchesMoved(const UITouchSet& touches, const UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, const UIEvent& event) override;
  void reset() override;

 private:
  std::shared_ptr<Timer> timer_;
  CGPoint down_;
  double minimumDuration_ = 0.5;
  CGFloat allowableMovement_ = 10;
  int touchesRequired_ = 1;
};
