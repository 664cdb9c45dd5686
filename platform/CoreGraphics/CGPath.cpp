#include "CoreGraphics/CGPath.h"

#include <cairo.h>

#include <cmath>
#include <memory>

namespace {

// The cubic approximation of a quarter circle: control points at k times the radius along the
// tangents, k = 4/3 (sqrt 2 - 1), which keeps the midpoint exactly on the circle.
constexpr CGFloat kQuarterCircle = 0.5522847498307936;

bool isFinitePoint(CGPoint p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// A drawing context of its own for hit tests: the point-in-fill test needs no pixels, only a
// `cairo_t` with an identity transform. One per thread, made on first use.
cairo_t* scratchContext() {
  struct Scratch {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cairo = cairo_create(surface);
    ~Scratch() {
      cairo_destroy(cairo);
      cairo_surface_destroy(surface);
    }
  };
  thread_local Scratch scratch;
  return scratch.cairo;
}

}  // namespace

void CGPath::append(ElementType type, CGPoint p0, CGPoint p1, CGPoint p2) {
  elements_.push_back(Element{type, {p0, p1, p2}});
  if (type != ElementType::closeSubpath) {
    finite_ = finite_ && isFinitePoint(p0) && isFinitePoint(p1) && isFinitePoint(p2);
  }
}

void CGPath::move(CGPoint to) {
  append(ElementType::moveToPoint, to);
  hasCurrentPoint_ = true;
  subpathStart_ = to;
}

void CGPath::addLine(CGPoint to) {
  if (!hasCurrentPoint_) {
    move(to);
    return;
  }
  append(ElementType::addLineToPoint, to);
}

void CGPath::addCurve(CGPoint to, CGPoint control1, CGPoint control2) {
  if (!hasCurrentPoint_) {
    move(to);
    return;
  }
  append(ElementType::addCurveToPoint, control1, control2, to);
}

void CGPath::closeSubpath() {
  if (!hasCurrentPoint_)
    return;
  append(ElementType::closeSubpath, subpathStart_);
}

void CGPath::addRect(const CGRect& rect) {
  const CGRect r = rect.standardized();
  move({r.minX(), r.minY()});
  addLine({r.maxX(), r.minY()});
  addLine({r.maxX(), r.maxY()});
  addLine({r.minX(), r.maxY()});
  closeSubpath();
}

void CGPath::addEllipse(const CGRect& rect) {
  const CGRect r = rect.standardized();
  const CGFloat rx = r.width() / 2, ry = r.height() / 2;
  const CGFloat cx = r.minX() + rx, cy = r.minY() + ry;
  const CGFloat kx = rx * kQuarterCircle, ky = ry * kQuarterCircle;
  // From the right end, clockwise on screen: bottom, left, top.
  move({cx + rx, cy});
  addCurve({cx, cy + ry}, {cx + rx, cy + ky}, {cx + kx, cy + ry});
  addCurve({cx - rx, cy}, {cx - kx, cy + ry}, {cx - rx, cy + ky});
  addCurve({cx, cy - ry}, {cx - rx, cy - ky}, {cx - kx, cy - ry});
  addCurve({cx + rx, cy}, {cx + kx, cy - ry}, {cx + rx, cy - ky});
  closeSubpath();
}

void CGPath::addRoundedRect(const CGRect& rect, CGFloat cornerRadius) {
  const CGRect r = rect.standardized();
  CGFloat radius = std::min({cornerRadius, r.width() / 2, r.height() / 2});
  if (!(radius > 0)) {  // also NaN
    addRect(r);
    return;
  }
  const CGFloat k = radius * (1 - kQuarterCircle);  // control point distance from the corner
  const CGFloat x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
  // From the end of the top-left corner, clockwise on screen.
  move({x0 + radius, y0});
  addLine({x1 - radius, y0});
  addCurve({x1, y0 + radius}, {x1 - k, y0}, {x1, y0 + k});
  addLine({x1, y1 - radius});
  addCurve({x1 - radius, y1}, {x1, y1 - k}, {x1 - k, y1});
  addLine({x0 + radius, y1});
  addCurve({x0, y1 - radius}, {x0 + k, y1}, {x0, y1 - k});
  addLine({x0, y0 + radius});
  addCurve({x0 + radius, y0}, {x0, y0 + k}, {x0 + k, y0});
  closeSubpath();
}

void CGPath::addPath(const CGPath& other) {
  for (const Element& e : other.elements_) {
    switch (e.type) {
      case ElementType::moveToPoint:
        move(e.points[0]);
        break;
      case ElementType::addLineToPoint:
        addLine(e.points[0]);
        break;
      case ElementType::addCurveToPoint:
        addCurve(e.points[2], e.points[0], e.points[1]);
        break;
      case ElementType::closeSubpath:
        closeSubpath();
        break;
    }
  }
}

CGRect CGPath::boundingBox() const {
  bool any = false;
  CGFloat x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (const Element& e : elements_) {
    const int count = e.type == ElementType::addCurveToPoint ? 3
                      : e.type == ElementType::closeSubpath  ? 0
                                                             : 1;
    for (int i = 0; i < count; ++i) {
      const CGPoint p = e.points[i];
      if (!any) {
        x0 = x1 = p.x;
        y0 = y1 = p.y;
        any = true;
      }
      x0 = std::min(x0, p.x);
      x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y);
      y1 = std::max(y1, p.y);
    }
  }
  return any ? CGRect(x0, y0, x1 - x0, y1 - y0) : CGRect();
}

bool CGPath::contains(CGPoint point, CGPathFillRule rule) const {
  if (elements_.empty() || !finite_ || !isFinitePoint(point))
    return false;
  cairo_t* cr = scratchContext();
  cairo_new_path(cr);
  for (const Element& e : elements_) {
    switch (e.type) {
      case ElementType::moveToPoint:
        cairo_move_to(cr, e.points[0].x, e.points[0].y);
        break;
      case ElementType::addLineToPoint:
        cairo_line_to(cr, e.points[0].x, e.points[0].y);
        break;
      case ElementType::addCurveToPoint:
        cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                       e.points[2].y);
        break;
      case ElementType::closeSubpath:
        cairo_close_path(cr);
        break;
    }
  }
  cairo_set_fill_rule(cr,
                      rule == CGPathFillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  // Cairo counts a point on the outline as inside the fill.
  const bool inside = cairo_in_fill(cr, point.x, point.y);
  cairo_new_path(cr);
  return inside;
}

bool CGPath::operator==(const CGPath& other) const {
  if (elements_.size() != other.elements_.size())
    return false;
  for (size_t i = 0; i < elements_.size(); ++i) {
    const Element &a = elements_[i], &b = other.elements_[i];
    if (a.type != b.type)
      return false;
    for (int k = 0; k < 3; ++k)
      if (!(a.points[k] == b.points[k]))
        return false;
  }
  return true;
}
