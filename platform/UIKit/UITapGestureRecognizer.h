// Tap: a number of short touches in quick succession. Each tap must lift within 0.75 s, the next
// come down within 0.35 s of the last lift and within 40 points of the first, and no finger may
// move more than 10 points; the gesture is recognised (ended) when the last required tap lifts, and
// fails otherwise. The waits use the main-loop timers (so TestClock drives them). [main]
#pragma once

#include <memory>

#include "Dispatch/Timer.h"
#include "UIKit/UIGestureRecognizer.h"

class UITapGestureRecognizer : public UIGestureRecognizer {
 public:
  static std::shared_ptr<UITapGestureRecognizer> make();
  ~UITapGestureRecognizer() override;

  int numberOfTapsRequired() const { return tapsRequired_; }
  void setNumberOfTapsRequired(int taps) { tapsRequired_ = taps < 1 ? 1 : taps; }

  static constexpr double maximumTapDuration = 0.75;
  static constexpr double maximumTapInterval = 0.35;
  static constexpr CGFloat allowableMovement = 10;
  static constexpr CGFloat allowableDistance = 40;

 protected:
  UITapGestureRecognizer() = default;
  void touchesBegan(const UITouchSet& touches, const UIEvent& event) override;
  void touchesMoved(const UITouchSet& touches, const UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, const UIEvent& event) override;
  void reset() override;

 private:
  void failAfter(double seconds);

  std::shared_ptr<Timer> timer_;
  CGPoint firstDown_;
  CGPoint down_;
  int taps_ = 0;
  int tapsRequired_ = 1;
  int touchesRequired_ = 1;
  int touchesSeen_ = 0;
};
