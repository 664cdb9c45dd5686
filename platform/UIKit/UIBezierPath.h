// A path with its own stroke settings, drawn into the current graphics context. Building is
// [any]; `stroke`, `fill`, `addClip` and `contains` are [main]. Without a current context the
// drawing calls do nothing.
#pragma once

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGPath.h"

class UIBezierPath {
 public:
  UIBezierPath() = default;
  // A closed rectangle (UIBezierPath(rect:)).
  explicit UIBezierPath(const CGRect& rect);
  // UIBezierPath(ovalIn:): the ellipse inscribed in the rectangle.
  static UIBezierPath ovalIn(const CGRect& rect);
  // UIBezierPath(roundedRect:cornerRadius:): radius clamped to half the shorter side.
  static UIBezierPath roundedRect(const CGRect& rect, CGFloat cornerRadius);

  void move(CGPoint to) { path_.move(to); }
  void addLine(CGPoint to) { path_.addLine(to); }
  void addCurve(CGPoint to, CGPoint controlPoint1, CGPoint controlPoint2) {
    path_.addCurve(to, controlPoint1, controlPoint2);
  }
  void close() { path_.closeSubpath(); }
  void append(const UIBezierPath& other) { path_.addPath(other.path_); }

  bool isEmpty() const { return path_.isEmpty(); }
  CGRect bounds() const { return path_.boundingBox(); }
  // Non-zero winding, outline included: a rectangle is closed on all four edges.
  bool contains(CGPoint point) const { return path_.contains(point); }

  // Strokes with this path's width, cap, join and miter limit, in the context's stroke colour and
  // dash; the context's own settings are left as they were.
  void stroke() const;
  // Fills with the context's fill colour, non-zero winding.
  void fill() const;
  // Intersects the current context's clip with the path's area.
  void addClip() const;

  CGFloat lineWidth = 1;
  CGLineCap lineCapStyle = CGLineCap::butt;
  CGLineJoin lineJoinStyle = CGLineJoin::miter;
  CGFloat miterLimit = 10;

 private:
  CGPath path_;
};
