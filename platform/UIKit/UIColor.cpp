#include "UIKit/UIColor.h"

#include <cmath>

#include "UIKit/UIGraphics.h"

UIColor UIColor::hue(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha) {
  // HSB to RGB: six sectors of the colour wheel, each a linear ramp of one component.
  const CGFloat turns = std::isfinite(hue) ? hue : 0;  // int() of a non-finite value is undefined
  const CGFloat h = (turns - std::floor(turns)) * 6;
  const int sector = int(h) % 6;
  const CGFloat f = h - std::floor(h);
  const CGFloat v = brightness;
  const CGFloat p = v * (1 - saturation);
  const CGFloat q = v * (1 - saturation * f);
  const CGFloat t = v * (1 - saturation * (1 - f));
  switch (sector) {
    case 0:
      return UIColor(v, t, p, alpha);
    case 1:
      return UIColor(q, v, p, alpha);
    case 2:
      return UIColor(p, v, t, alpha);
    case 3:
      return UIColor(p, q, v, alpha);
    case 4:
      return UIColor(t, p, v, alpha);
    default:
      return UIColor(v, p, q, alpha);
  }
}

bool UIColor::getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const {
  if (red)
    *red = red_;
  if (green)
    *green = green_;
  if (blue)
    *blue = blue_;
  if (alpha)
    *alpha = alpha_;
  return true;
}

void UIColor::setFill() const {
  if (CGContext* context = UIGraphicsGetCurrentContext())
    context->setFillColor(cgColor());
}

void UIColor::setStroke() const {
  if (CGContext* context = UIGraphicsGetCurrentContext())
    context->setStrokeColor(cgColor());
}

void UIColor::set() const {
  setFill();
  setStroke();
}
