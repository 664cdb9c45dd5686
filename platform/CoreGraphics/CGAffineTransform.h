// Affine transforms of the plane: a point (x, y) maps to (a x + c y + tx, b x + d y + ty).
// `t.scaledBy(s)` (and translatedBy) scales first and then applies t. Plain values. [any]
#pragma once

#include "CoreGraphics/CGGeometry.h"

struct CGAffineTransform {
  CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static constexpr CGAffineTransform identity() { return CGAffineTransform(); }
  static constexpr CGAffineTransform makeTranslation(CGFloat x, CGFloat y) { return {1, 0, 0, 1, x, y}; }
  static constexpr CGAffineTransform makeScale(CGFloat x, CGFloat y) { return {x, 0, 0, y, 0, 0}; }
  // Rotation by an angle in radians; with y pointing down a positive angle turns clockwise on screen.
  static CGAffineTransform makeRotation(CGFloat angle);

  // self then t: the point is mapped by this transform first.
  constexpr CGAffineTransform concatenating(const CGAffineTransform& t) const {
    return {a * t.a + b * t.c,          a * t.b + b * t.d,            // a, b
            c * t.a + d * t.c,          c * t.b + d * t.d,            // c, d
            tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};  // tx, ty
  }
  // The scale or translation applied before this transform.
  constexpr CGAffineTransform scaledBy(CGFloat x, CGFloat y) const {
    return makeScale(x, y).concatenating(*this);
  }
  constexpr CGAffineTransform translatedBy(CGFloat x, CGFloat y) const {
    return makeTranslation(x, y).concatenating(*this);
  }

  constexpr CGFloat determinant() const { return a * d - b * c; }
  // Finite coefficients and a determinant far enough from 0 that the inverse is finite too;
  // this is the condition under which a drawing library accepts the matrix.
  bool isInvertible() const;
  // The inverse; a transform that is not invertible is returned unchanged.
  CGAffineTransform inverted() const;

  bool operator==(const CGAffineTransform&) const = default;
};
