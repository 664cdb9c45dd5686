// Colours: UIColor with red, green, blue and alpha components (extended sRGB, so components may
// leave 0...1), and the Core Image colour CIColor made from one. Plain values [any]; setFill and
// setStroke act on the current graphics context [main].
#pragma once

#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"

class UIColor {
 public:
  constexpr UIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
      : red_(red), green_(green), blue_(blue), alpha_(alpha) {}
  // A grey: white 0 is black, 1 is white.
  static constexpr UIColor white(CGFloat white, CGFloat alpha) { return UIColor(white, white, white, alpha); }
  // A colour from hue, saturation and brightness (0...1 each).
  static UIColor hue(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha);

  static constexpr UIColor red() { return UIColor(1, 0, 0, 1); }
  static constexpr UIColor green() { return UIColor(0, 1, 0, 1); }
  static constexpr UIColor blue() { return UIColor(0, 0, 1, 1); }
  static constexpr UIColor black() { return UIColor(0, 0, 0, 1); }
  static constexpr UIColor white() { return UIColor(1, 1, 1, 1); }
  static constexpr UIColor gray() { return UIColor(0.5, 0.5, 0.5, 1); }
  static constexpr UIColor lightGray() { return UIColor(2.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0, 1); }
  static constexpr UIColor clear() { return UIColor(0, 0, 0, 0); }
  // The default tint of buttons and sliders.
  static constexpr UIColor systemBlue() { return UIColor(0.0, 0.478, 1.0, 1.0); }

  // getRed(_:green:blue:alpha:): the components, always available here.
  bool getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const;
  constexpr UIColor withAlphaComponent(CGFloat alpha) const { return UIColor(red_, green_, blue_, alpha); }
  constexpr CGColor cgColor() const { return CGColor{red_, green_, blue_, alpha_}; }

  // Make this the fill or stroke colour of the current graphics context; without one, nothing.
  void setFill() const;
  void setStroke() const;
  // Both at once.
  void set() const;

  bool operator==(const UIColor&) const = default;

 private:
  friend class CIColor;
  CGFloat red_, green_, blue_, alpha_;
};

// The Core Image colour of a UIColor: its components in the same colour space.
class CIColor {
 public:
  explicit CIColor(const UIColor& color)
      : red_(color.red_), green_(color.green_), blue_(color.blue_), alpha_(color.alpha_) {}
  CIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha = 1)
      : red_(red), green_(green), blue_(blue), alpha_(alpha) {}

  CGFloat red() const { return red_; }
  CGFloat green() const { return green_; }
  CGFloat blue() const { return blue_; }
  CGFloat alpha() const { return alpha_; }

 private:
  CGFloat red_, green_, blue_, alpha_;
};
