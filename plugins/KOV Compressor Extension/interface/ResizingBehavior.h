// The canvas resizing rule: how a picture drawn on a fixed design canvas (in canvas units) is
// placed into the rectangle a view actually has. Every editor drawer maps its canvas with it:
// translate to the placed rectangle's origin, then scale by placed size / design size.
//
// `ResizingBehavior` is the plain rule; `ResizingBehavior0` is the same rule that also records
// the scale it used in a drawing object's `viewScale` (the panel's touch mapping divides view
// points by that scale). Both have the cases aspectFit 0, aspectFill 1, stretch 2, center 3.
// Plain values. [any]
#pragma once

#include <optional>

#include "CoreGraphics/CGGeometry.h"

namespace resizing {

enum class Case : int { aspectFit = 0, aspectFill = 1, stretch = 2, center = 3 };

// Where the design rectangle lands in the target, and with which scale. `scale` is empty when
// the target is the zero rectangle: the design is then returned unchanged and no scale applies.
struct Placement {
  CGRect rect;
  std::optional<CGSize> scale;
};

// The rule itself. A target equal to the design rectangle places it unchanged at scale (1, 1).
Placement place(Case behaviour, const CGRect& rect, const CGRect& target);

}  // namespace resizing

// The common part of both enumerations: the four cases, construction from a raw value, equality.
template <typename Derived>
class ResizingBehaviorCases {
 public:
  using Case = resizing::Case;
  static constexpr Case aspectFit = Case::aspectFit;
  static constexpr Case aspectFill = Case::aspectFill;
  static constexpr Case stretch = Case::stretch;
  static constexpr Case center = Case::center;

  constexpr ResizingBehaviorCases(Case value) : value_(value) {}  // NOLINT: implicit on purpose
  // Nothing for raw values outside 0...3.
  static constexpr std::optional<Derived> fromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 3)
      return std::nullopt;
    return Derived(static_cast<Case>(rawValue));
  }
  constexpr int rawValue() const { return static_cast<int>(value_); }
  constexpr Case value() const { return value_; }
  friend constexpr bool operator==(ResizingBehaviorCases a, ResizingBehaviorCases b) {
    return a.value_ == b.value_;
  }

 private:
  Case value_;
};

class ResizingBehavior : public ResizingBehaviorCases<ResizingBehavior> {
 public:
  using ResizingBehaviorCases::ResizingBehaviorCases;
  // The placed rectangle; no side effect.
  CGRect apply(const CGRect& rect, const CGRect& target) const {
    return resizing::place(value(), rect, target).rect;
  }
  // The placed rectangle; also stores the scale in instance.viewScale (see ResizingBehavior0).
  template <typename Instance>
  CGRect apply(const CGRect& rect, const CGRect& target, Instance& instance) const;
};

class ResizingBehavior0 : public ResizingBehaviorCases<ResizingBehavior0> {
 public:
  using ResizingBehaviorCases::ResizingBehaviorCases;
  // The placed rectangle. Stores the scale in instance.viewScale: (1, 1) when the target equals
  // the design rectangle (it is drawn at scale 1), nothing for a zero target (the previous scale
  // stays, since nothing is drawn into it).
  template <typename Instance>
  CGRect apply(const CGRect& rect, const CGRect& target, Instance& instance) const {
    const resizing::Placement placement = resizing::place(value(), rect, target);
    if (placement.scale)
      instance.viewScale = *placement.scale;
    return placement.rect;
  }
};

template <typename Instance>
CGRect ResizingBehavior::apply(const CGRect& rect, const CGRect& target, Instance& instance) const {
  return ResizingBehavior0(value()).apply(rect, target, instance);
}
