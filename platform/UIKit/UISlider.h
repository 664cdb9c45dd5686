// Sliders: a value in a range set by dragging a thumb along a horizontal track (or by touching the
// track: the thumb jumps there). valueChanged is sent for every change while dragging when
// continuous (the default), else once on lift. Values are 32-bit floats.
// [main]
#pragma once

#include <memory>

#include "UIKit/UIColor.h"
#include "UIKit/UIControl.h"

class UISlider : public UIControl {
 public:
  static std::shared_ptr<UISlider> make(CGRect frame = CGRect());

  float value() const { return value_; }
  // Clamped to the range; marks the view for redrawing (sends no event).
  void setValue(float value);
  void setMinimumValue(float minimum);
  void setMaximumValue(float maximum);
  void setContinuous(bool continuous) { continuous_ = continuous; }

  // The thumb's rectangle and the track's, in own coordinates.
  CGRect thumbRect() const;
  CGRect trackRect() const;
  // The value a point (own coordinates) on the track stands for.
  float valueAt(CGPoint point) const;

  void draw(const CGRect& rect) override;

  static constexpr CGFloat thumbDiameter = 24;

 protected:
  explicit UISlider(CGRect frame);
  bool beginTracking(const UITouch& touch, const UIEvent* event) override;
  bool continueTracking(const UITouch& touch, const UIEvent* event) override;
  void endTracking(const UITouch* touch, const UIEvent* event) override;

 private:
  void trackTo(CGPoint point);

  float value_ = 0.5f;
  float minimum_ = 0;
  float maximum_ = 1;
  bool continuous_ = true;
  bool changedWhileTracking_ = false;
  UIColor tint_ = UIColor::systemBlue();
};
