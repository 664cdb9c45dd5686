// A path of move, line, cubic curve and close elements in user coordinates, with the rectangle,
// ellipse and rounded-rectangle shapes built from them, and a point-in-path test. Plain value;
// building is [any], `contains` is [main] (it uses a per-thread scratch drawing context).
#pragma once

#include <vector>

#include "CoreGraphics/CGGeometry.h"

enum class CGPathFillRule { winding, evenOdd };

class CGPath {
 public:
  enum class ElementType { moveToPoint, addLineToPoint, addCurveToPoint, closeSubpath };
  struct Element {
    ElementType type;
    CGPoint points[3];  // move/line: points[0]; curve: control 1, control 2, end point
  };

  void move(CGPoint to);
  // Lines and curves run from the current point; without one they only start a subpath at `to`.
  void addLine(CGPoint to);
  void addCurve(CGPoint to, CGPoint control1, CGPoint control2);
  void closeSubpath();
  // A closed rectangle, clockwise on screen from its top-left corner (standardised first).
  void addRect(const CGRect& rect);
  // A closed ellipse inscribed in the rectangle: four cubic quarters (k = 0.5523).
  void addEllipse(const CGRect& rect);
  // A closed rectangle whose corners are quarter circles; the radius is clamped to half the
  // shorter side.
  void addRoundedRect(const CGRect& rect, CGFloat cornerRadius);
  void addPath(const CGPath& other);

  const std::vector<Element>& elements() const { return elements_; }
  bool isEmpty() const { return elements_.empty(); }
  // False when any coordinate is NaN or infinite; such a path is neither drawn nor hit.
  bool isFinite() const { return finite_; }
  // The smallest rectangle holding every point, control points included; zero when empty.
  CGRect boundingBox() const;
  // Points on the outline count as inside, so rectangles are closed: a point on an edge shared
  // by two adjacent rectangles lies in both. [main]
  bool contains(CGPoint point, CGPathFillRule rule = CGPathFillRule::winding) const;

  bool operator==(const CGPath&) const;

 private:
  void append(ElementType type, CGPoint p0, CGPoint p1 = {}, CGPoint p2 = {});

  std::vector<Element> elements_;
  bool hasCurrentPoint_ = false;
  bool finite_ = true;
  CGPoint subpathStart_;
};
