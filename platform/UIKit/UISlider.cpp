#include "UIKit/UISlider.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGFloat trackHeight = 4;

}  // namespace

UISlider::UISlider(CGRect frame) : UIControl(frame) {
  setOpaque(false);
}

std::shared_ptr<UISlider> UISlider::make(CGRect frame) {
  return std::shared_ptr<UISlider>(new UISlider(frame));
}

void UISlider::setValue(float value) {
  if (std::isnan(value))
    value = minimum_;
  value = std::clamp(value, minimum_, std::max(minimum_, maximum_));
  if (value == value_)
    return;
  value_ = value;
  setNeedsDisplay();
}

void UISlider::setMinimumValue(float minimum) {
  if (!std::isfinite(minimum))
    return;
  minimum_ = minimum;
  if (maximum_ < minimum_)
    maximum_ = minimum_;
  setValue(value_);
  setNeedsDisplay();
}

void UISlider::setMaximumValue(float maximum) {
  if (!std::isfinite(maximum))
    return;
  maximum_ = maximum;
  if (minimum_ > maximum_)
    minimum_ = maximum_;
  setValue(value_);
  setNeedsDisplay();
}

// The thumb's centre runs from half a thumb in from the left to half a thumb in from the right.
CGRect UISlider::trackRect() const {
  const CGRect b = bounds();
  return CGRect(b.origin.x + thumbDiameter / 2, b.origin.y + (b.size.height - trackHeight) / 2,
                std::max<CGFloat>(0, b.size.width - thumbDiameter), trackHeight);
}

CGRect UISlider::thumbRect() const {
  const CGRect track = trackRect();
  const CGFloat range = maximum_ - minimum_;
  const CGFloat f = range > 0 ? (value_ - minimum_) / range : 0;
  const CGFloat x = track.origin.x + f * track.size.width;
  const CGFloat y = track.origin.y + trackHeight / 2;
  return CGRect(x - thumbDiameter / 2, y - thumbDiameter / 2, thumbDiameter, thumbDiameter);
}

float UISlider::valueAt(CGPoint point) const {
  const CGRect track = trackRect();
  if (!(track.size.width > 0) || !std::isfinite(point.x))
    return value_;
  const CGFloat f = std::clamp<CGFloat>((point.x - track.origin.x) / track.size.width, 0, 1);
  return float(minimum_ + f * (CGFloat(maximum_) - minimum_));
}

void UISlider::trackTo(CGPoint point) {
  const float before = value_;
  setValue(valueAt(point));
  if (value_ == before)
    return;
  changedWhileTracking_ = true;
  if (continuous_)
    sendActions(UIControlEvents::valueChanged);
}

bool UISlider::beginTracking(const UITouch& touch, const UIEvent*) {
  changedWhileTracking_ = false;
  trackTo(touch.location(this));
  return true;
}

bool UISlider::continueTracking(const UITouch& touch, const UIEvent*) {
  trackTo(touch.location(this));
  return true;
}

void UISlider::endTracking(const UITouch*, const UIEvent*) {
  if (!continuous_ && changedWhileTracking_)
    sendActions(UIControlEvents::valueChanged);
}

// A thin track, tinted up to the thumb, and a white round thumb with a grey rim.
void UISlider::draw(const CGRect&) {
  if (!UIGraphicsGetCurrentContext())
    return;
  const CGRect track = trackRect();
  const CGRect thumb = thumbRect();
  const CGFloat alpha = isEnabled() ? 1 : 0.4;
  UIColor::lightGray().withAlphaComponent(alpha).setFill();
  UIBezierPath::roundedRect(track, trackHeight / 2).fill();
  const CGFloat filled = std::max<CGFloat>(0, thumb.midX() - track.origin.x);
  CGFloat r, g, b, a;
  tint_.getRed(&r, &g, &b, &a);
  UIColor(r, g, b, a * alpha).setFill();
  UIBezierPath::roundedRect(CGRect(track.origin.x, track.origin.y, filled, track.size.height),
                            trackHeight / 2)
      .fill();
  UIColor::white().setFill();
  const UIBezierPath knob = UIBezierPath::ovalIn(thumb.insetBy(1, 1));
  knob.fill();
  UIColor::gray().withAlphaComponent(alpha).setStroke();
  knob.stroke();
}
