// Pan: one or more fingers dragging. Begins once the touches' centre has moved more than 10 points
// from where they came down; every move after that is a change; it ends when the last finger
// lifts. translation(in:) is the offset of the centre since touch-down, measured in any view's
// coordinates; a finger added or lifted mid-gesture does not make it jump. [main]
#pragma once

#include <cstddef>
#include <memory>

#include "UIKit/UIGestureRecognizer.h"

class UIPanGestureRecognizer : public UIGestureRecognizer {
 public:
  static std::shared_ptr<UIPanGestureRecognizer> make();

  // The offset since the gesture started, in `view`'s coordinates (the window's for null).
  CGPoint translation(const UIView* in) const;
  // Moves the reference so that the translation now reads `translation` (in `view`'s coordinates).
  void setTranslation(CGPoint translation, const UIView* in);
  // Points per second of the centre, in `view`'s coordinates, from the last two moves.
  CGPoint velocity(const UIView* in) const;

  // How far (points) the centre must move before the pan begins.
  static constexpr CGFloat hysteresis = 10;

 protected:
  UIPanGestureRecognizer() = default;
  void touchesBegan(const UITouchSet& touches, const UIEvent& event) override;
  void touchesMoved(const UITouchSet& touches, const UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, const UIEvent& event) override;
  void reset() override;

 private:
  CGPoint start_;     // window coordinates: centre at touch-down, moved on re-basing
  CGPoint current_;   // window coordinates
  CGPoint velocity_;  // window points per second
  double lastTime_ = 0;
  std::size_t minimumTouches_ = 1;
  std::size_t maximumTouches_ = 1000;
};
