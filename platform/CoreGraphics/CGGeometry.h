// Geometry of the 2-D graphics: the graphics float, points, sizes and rectangles, in a y-down
// coordinate space. Plain values, header-only. [any]
#pragma once

#include <algorithm>

struct CGAffineTransform;

// The graphics float: 64 bits, the precision of Cairo's coordinates.
using CGFloat = double;

struct CGPoint {
  CGFloat x = 0;
  CGFloat y = 0;
  bool operator==(const CGPoint&) const = default;
  // The point mapped by a transform (defined in CGAffineTransform.cpp).
  CGPoint applying(const CGAffineTransform& t) const;
};

struct CGSize {
  CGFloat width = 0;
  CGFloat height = 0;
  bool operator==(const CGSize&) const = default;
  // The size mapped by a transform's linear part (translation ignored).
  CGSize applying(const CGAffineTransform& t) const;
};

// A rectangle as origin and size. The size may be negative; the derived edges (minX, maxX, ...)
// and width/height read the standardised rectangle (non-negative size, origin moved to match).
struct CGRect {
  CGPoint origin;
  CGSize size;

  constexpr CGRect() = default;
  constexpr CGRect(CGPoint o, CGSize s) : origin(o), size(s) {}
  constexpr CGRect(CGFloat x, CGFloat y, CGFloat width, CGFloat height) : origin{x, y}, size{width, height} {}
  static constexpr CGRect zero() { return CGRect(); }

  // The same rectangle with a non-negative width and height.
  constexpr CGRect standardized() const {
    CGRect r = *this;
    if (r.size.width < 0) {
      r.origin.x += r.size.width;
      r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
      r.origin.y += r.size.height;
      r.size.height = -r.size.height;
    }
    return r;
  }

  constexpr CGFloat width() const { return size.width < 0 ? -size.width : size.width; }
  constexpr CGFloat height() const { return size.height < 0 ? -size.height : size.height; }
  constexpr CGFloat minX() const { return standardized().origin.x; }
  constexpr CGFloat minY() const { return standardized().origin.y; }
  constexpr CGFloat maxX() const { return minX() + width(); }
  constexpr CGFloat maxY() const { return minY() + height(); }
  constexpr CGFloat midX() const { return minX() + width() / 2; }
  constexpr CGFloat midY() const { return minY() + height() / 2; }
  constexpr bool isEmpty() const { return size.width == 0 || size.height == 0; }

  // Half-open containment: a point on the left or top edge is
  // inside, one on the right or bottom edge is not; an empty rectangle contains nothing.
  constexpr bool contains(CGPoint p) const {
    return !isEmpty() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  // True only for a common area: rectangles that merely touch along an edge do not intersect.
  constexpr bool intersects(const CGRect& other) const {
    if (isEmpty() || other.isEmpty())
      return false;
    return std::max(minX(), other.minX()) < std::min(maxX(), other.maxX()) &&
           std::max(minY(), other.minY()) < std::min(maxY(), other.maxY());
  }
  // The common area, standardised; the zero rectangle when there is none.
  constexpr CGRect intersection(const CGRect& other) const {
    if (!intersects(other))
      return CGRect();
    const CGFloat x0 = std::max(minX(), other.minX()), y0 = std::max(minY(), other.minY());
    const CGFloat x1 = std::min(maxX(), other.maxX()), y1 = std::min(maxY(), other.maxY());
    return CGRect(x0, y0, x1 - x0, y1 - y0);
  }
  // The smallest standardised rectangle holding both; an empty one adds nothing.
  constexpr CGRect united(const CGRect& other) const {
    if (isEmpty())
      return other.standardized();
    if (other.isEmpty())
      return standardized();
    const CGFloat x0 = std::min(minX(), other.minX()), y0 = std::min(minY(), other.minY());
    const CGFloat x1 = std::max(maxX(), other.maxX()), y1 = std::max(maxY(), other.maxY());
    return CGRect(x0, y0, x1 - x0, y1 - y0);
  }
  // The standardised rectangle moved in by dx on the left and right, dy on top and bottom.
  constexpr CGRect insetBy(CGFloat dx, CGFloat dy) const {
    const CGRect r = standardized();
    return CGRect(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
  }
  constexpr CGRect offsetBy(CGFloat dx, CGFloat dy) const {
    return CGRect(origin.x + dx, origin.y + dy, size.width, size.height);
  }
  // The bounding box of the four transformed corners (defined in CGAffineTransform.cpp).
  CGRect applying(const CGAffineTransform& t) const;

  bool operator==(const CGRect&) const = default;
};

// Free-function forms: equality of the standardised rectangles, and intersection.
constexpr bool CGRectEqualToRect(const CGRect& a, const CGRect& b) {
  return a.standardized() == b.standardized();
}
constexpr bool CGRectIntersectsRect(const CGRect& a, const CGRect& b) {
  return a.intersects(b);
}
