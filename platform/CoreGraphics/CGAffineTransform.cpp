#include "CoreGraphics/CGAffineTransform.h"

#include <cmath>

CGAffineTransform CGAffineTransform::makeRotation(CGFloat angle) {
  const CGFloat c = std::cos(angle), s = std::sin(angle);
  return {c, s, -s, c, 0, 0};
}

bool CGAffineTransform::isInvertible() const {
  if (!(std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(tx) &&
        std::isfinite(ty)))
    return false;
  const CGFloat det = determinant();
  // 1/det must be finite as well: a determinant that underflows to a denormal is as unusable as 0.
  return det != 0 && std::isfinite(det) && std::isfinite(1 / det);
}

CGAffineTransform CGAffineTransform::inverted() const {
  if (!isInvertible())
    return *this;
  const CGFloat k = 1 / determinant();
  // Inverse of [a c tx; b d ty; 0 0 1]: the 2x2 inverse, and the translation mapped back by it.
  const CGFloat ia = d * k, ib = -b * k, ic = -c * k, id = a * k;
  return {ia, ib, ic, id, -(ia * tx + ic * ty), -(ib * tx + id * ty)};
}

CGPoint CGPoint::applying(const CGAffineTransform& t) const {
  return {t.a * x + t.c * y + t.tx, t.b * x + t.d * y + t.ty};
}

CGSize CGSize::applying(const CGAffineTransform& t) const {
  return {t.a * width + t.c * height, t.b * width + t.d * height};
}

CGRect CGRect::applying(const CGAffineTransform& t) const {
  const CGRect r = standardized();
  const CGPoint corners[4] = {
      CGPoint{r.minX(), r.minY()}.applying(t), CGPoint{r.maxX(), r.minY()}.applying(t),
      CGPoint{r.minX(), r.maxY()}.applying(t), CGPoint{r.maxX(), r.maxY()}.applying(t)};
  CGFloat x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
  for (const CGPoint& p : corners) {
    x0 = std::min(x0, p.x);
    x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  return CGRect(x0, y0, x1 - x0, y1 - y0);
}
