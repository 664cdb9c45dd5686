// Geometry of the original platform's 2-D graphics: the graphics float, points, sizes and
// rectangles. Plain values, header-only. [any]
#pragma once

#include <algorithm>

// The graphics float: 64 bits, as on the 64-bit original platform.
using CGFloat = double;

struct CGPoint {
  CGFloat x = 0;
  CGFloat y = 0;
  bool operator==(const CGPoint&) const = default;
};

struct CGSize {
  CGFloat width = 0;
  CGFloat height = 0;
  bool operator==(const CGSize&) const = default;
};

// A rectangle as origin and size. The size may be negative; the derived edges (minX, maxX, ...)
// and width/height read the standardised rectangle, as the original platform's do.
struct CGRect {
  CGPoint origin;
  CGSize size;

  constexpr CGRect() = default;
  constexpr CGRect(CGPoint o, CGSize s) : origin(o), size(s) {}
  constexpr CGRect(CGFloat x, CGFloat y, CGFloat width, CGFloat height)
      : origin{x, y}, size{width, height} {}
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

  bool operator==(const CGRect&) const = default;
};
