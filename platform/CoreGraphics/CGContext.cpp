#include "CoreGraphics/CGContext.h"

#include <cairo.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

// Cairo keeps device coordinates in 24.8 fixed point; beyond this they wrap around.
constexpr double kDeviceLimit = 4.0e6;
// Smallest accepted determinant of the transform to the device: a user unit this small draws
// nothing visible, and refusing it keeps well clear of the underflow where Cairo's own
// arithmetic (it keeps an inverse matrix as well) could reach a singular matrix.
constexpr double kMinimumDeterminant = 1e-100;

cairo_matrix_t toCairo(const CGAffineTransform& t) {
  return {t.a, t.b, t.c, t.d, t.tx, t.ty};
}

double finiteOr(double value, double fallback) {
  return std::isfinite(value) ? value : fallback;
}

cairo_fill_rule_t toCairo(CGPathFillRule rule) {
  return rule == CGPathFillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
}

}  // namespace

CGContext::CGContext(cairo_t* cairo) : cairo_(cairo) {
  stack_.push_back(State{});
  if (!cairo_) {
    stack_.back().degenerate = true;
    return;
  }
  // The caller's state is kept under ours and given back by the destructor.
  cairo_save(cairo_);
  cairo_new_path(cairo_);
  cairo_set_line_width(cairo_, 1);
  cairo_set_line_cap(cairo_, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cairo_, CAIRO_LINE_JOIN_MITER);
  cairo_set_miter_limit(cairo_, 10);
  cairo_set_dash(cairo_, nullptr, 0, 0);
  cairo_set_fill_rule(cairo_, CAIRO_FILL_RULE_WINDING);
}

void CGContext::log(const char* format, ...) {
  if (!recording_)
    return;
  char line[256];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  recording_->emplace_back(line);
}

CGContext::~CGContext() {
  if (!cairo_)
    return;
  for (size_t i = 1; i < stack_.size(); ++i)
    cairo_restore(cairo_);
  cairo_new_path(cairo_);
  cairo_restore(cairo_);
}

void CGContext::saveGState() {
  log("saveGState");
  if (cairo_)
    cairo_save(cairo_);
  stack_.push_back(stack_.back());
}

void CGContext::restoreGState() {
  log("restoreGState");
  if (stack_.size() <= 1)
    return;
  if (cairo_)
    cairo_restore(cairo_);
  stack_.pop_back();
}

CGAffineTransform CGContext::ctm() const {
  if (!cairo_)
    return CGAffineTransform();
  cairo_matrix_t m;
  cairo_get_matrix(cairo_, &m);
  return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

bool CGContext::isDrawable() const {
  return cairo_ && !stack_.back().degenerate && cairo_status(cairo_) == CAIRO_STATUS_SUCCESS;
}

void CGContext::applyTransform(const CGAffineTransform& transform) {
  if (!isDrawable())
    return;
  // The product is checked, not only the factor: two invertible factors can still underflow.
  const CGAffineTransform product = transform.concatenating(ctm());
  if (!transform.isInvertible() || !product.isInvertible() ||
      !(std::fabs(product.determinant()) >= kMinimumDeterminant)) {
    stack_.back().degenerate = true;
    return;
  }
  const cairo_matrix_t m = toCairo(transform);
  cairo_transform(cairo_, &m);
}

void CGContext::translateBy(CGFloat x, CGFloat y) {
  log("translateBy(%g, %g)", x, y);
  applyTransform(CGAffineTransform::makeTranslation(x, y));
}

void CGContext::scaleBy(CGFloat x, CGFloat y) {
  log("scaleBy(%g, %g)", x, y);
  applyTransform(CGAffineTransform::makeScale(x, y));
}

void CGContext::rotate(CGFloat by) {
  log("rotate(by: %g)", by);
  applyTransform(CGAffineTransform::makeRotation(by));
}

void CGContext::clip(const CGRect& rect) {
  log("clip(to: (%g, %g, %g, %g))", rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  if (!isDrawable())
    return;
  const CGRect r = rect.standardized();
  if (!(std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.width()) &&
        std::isfinite(r.height()))) {
    stack_.back().degenerate = true;  // an unknowable clip shows nothing
    return;
  }
  // Clipping to a rectangle leaves a path under construction as it was.
  cairo_path_t* pending = cairo_has_current_point(cairo_) ? cairo_copy_path(cairo_) : nullptr;
  cairo_new_path(cairo_);
  cairo_rectangle(cairo_, r.minX(), r.minY(), r.width(), r.height());
  cairo_clip(cairo_);
  if (pending) {
    // The copy is in user space of the current transform, which the clip did not change.
    cairo_append_path(cairo_, pending);
    cairo_path_destroy(pending);
  }
}

void CGContext::clip(CGPathFillRule rule) {
  log("clip(using: %s)", rule == CGPathFillRule::evenOdd ? "evenOdd" : "winding");
  if (!isDrawable())
    return;
  if (pathBroken_) {
    stack_.back().degenerate = true;
    endPath();
    return;
  }
  cairo_set_fill_rule(cairo_, toCairo(rule));
  cairo_clip(cairo_);
  cairo_set_fill_rule(cairo_, CAIRO_FILL_RULE_WINDING);
  endPath();
}

void CGContext::setLineWidth(CGFloat width) {
  log("setLineWidth(%g)", width);
  if (cairo_ && std::isfinite(width))
    cairo_set_line_width(cairo_, std::max(width, 0.0));
}

void CGContext::setLineCap(CGLineCap cap) {
  log("setLineCap(%s)", cap == CGLineCap::round ? "round" : cap == CGLineCap::square ? "square" : "butt");
  if (!cairo_)
    return;
  cairo_set_line_cap(cairo_, cap == CGLineCap::round    ? CAIRO_LINE_CAP_ROUND
                             : cap == CGLineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                        : CAIRO_LINE_CAP_BUTT);
}

void CGContext::setLineJoin(CGLineJoin join) {
  log("setLineJoin(%s)", join == CGLineJoin::round ? "round" : join == CGLineJoin::bevel ? "bevel" : "miter");
  if (!cairo_)
    return;
  cairo_set_line_join(cairo_, join == CGLineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                              : join == CGLineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                          : CAIRO_LINE_JOIN_MITER);
}

void CGContext::setMiterLimit(CGFloat limit) {
  log("setMiterLimit(%g)", limit);
  if (cairo_ && std::isfinite(limit))
    cairo_set_miter_limit(cairo_, std::max(limit, 1.0));
}

void CGContext::setLineDash(CGFloat phase, const std::vector<CGFloat>& lengths) {
  if (recording_) {
    std::string list;
    for (CGFloat length : lengths) {
      char number[32];
      snprintf(number, sizeof number, "%s%g", list.empty() ? "" : ", ", length);
      list += number;
    }
    log("setLineDash(phase: %g, lengths: [%s])", phase, list.c_str());
  }
  if (!cairo_)
    return;
  // Cairo treats negative or all-zero lengths as an error that disables the context for good, so
  // such a pattern, like an empty one, means solid lines here.
  bool usable = !lengths.empty() && std::isfinite(phase);
  bool anyPositive = false;
  for (CGFloat length : lengths) {
    usable = usable && std::isfinite(length) && length >= 0;
    anyPositive = anyPositive || length > 0;
  }
  if (usable && anyPositive) {
    cairo_set_dash(cairo_, lengths.data(), int(lengths.size()), phase);
  } else {
    cairo_set_dash(cairo_, nullptr, 0, 0);
  }
}

void CGContext::setAlpha(CGFloat alpha) {
  log("setAlpha(%g)", alpha);
  stack_.back().alpha = std::clamp(finiteOr(alpha, 1), 0.0, 1.0);
}
void CGContext::setFillColor(const CGColor& color) {
  log("setFillColor(%g, %g, %g, %g)", color.red, color.green, color.blue, color.alpha);
  stack_.back().fill = color;
}

void CGContext::setStrokeColor(const CGColor& color) {
  log("setStrokeColor(%g, %g, %g, %g)", color.red, color.green, color.blue, color.alpha);
  stack_.back().stroke = color;
}

void CGContext::applyColor(const CGColor& color) {
  if (!cairo_)
    return;
  // Cairo clamps components to 0...1 itself but not NaN; non-finite components count as 0.
  cairo_set_source_rgba(cairo_, finiteOr(color.red, 0), finiteOr(color.green, 0), finiteOr(color.blue, 0),
                        finiteOr(color.alpha, 0) * stack_.back().alpha);
}

bool CGContext::acceptPoint(CGPoint p) {
  if (pathBroken_ || !isDrawable())
    return false;
  double x = p.x, y = p.y;
  if (std::isfinite(x) && std::isfinite(y)) {
    cairo_user_to_device(cairo_, &x, &y);
    if (std::fabs(x) < kDeviceLimit && std::fabs(y) < kDeviceLimit)
      return true;
  }
  pathBroken_ = true;
  return false;
}

void CGContext::endPath() {
  if (cairo_)
    cairo_new_path(cairo_);
  pathBroken_ = false;
}

void CGContext::beginPath() {
  log("beginPath");
  endPath();
}

void CGContext::move(CGPoint to) {
  log("move(to: (%g, %g))", to.x, to.y);
  if (acceptPoint(to))
    cairo_move_to(cairo_, to.x, to.y);
}

void CGContext::addLine(CGPoint to) {
  log("addLine(to: (%g, %g))", to.x, to.y);
  if (acceptPoint(to))
    cairo_line_to(cairo_, to.x, to.y);
}

void CGContext::addCurve(CGPoint to, CGPoint control1, CGPoint control2) {
  log("addCurve(to: (%g, %g), control1: (%g, %g), control2: (%g, %g))", to.x, to.y, control1.x, control1.y,
      control2.x, control2.y);
  if (acceptPoint(control1) && acceptPoint(control2) && acceptPoint(to))
    cairo_curve_to(cairo_, control1.x, control1.y, control2.x, control2.y, to.x, to.y);
}

void CGContext::closePath() {
  log("closePath");
  if (!pathBroken_ && isDrawable())
    cairo_close_path(cairo_);
}

void CGContext::addRect(const CGRect& rect) {
  CGPath path;
  path.addRect(rect);
  addPath(path);
}

void CGContext::addEllipse(const CGRect& rect) {
  CGPath path;
  path.addEllipse(rect);
  addPath(path);
}

void CGContext::addPath(const CGPath& path) {
  for (const CGPath::Element& e : path.elements()) {
    switch (e.type) {
      case CGPath::ElementType::moveToPoint:
        move(e.points[0]);
        break;
      case CGPath::ElementType::addLineToPoint:
        addLine(e.points[0]);
        break;
      case CGPath::ElementType::addCurveToPoint:
        addCurve(e.points[2], e.points[0], e.points[1]);
        break;
      case CGPath::ElementType::closeSubpath:
        closePath();
        break;
    }
  }
}

void CGContext::fillPath(CGPathFillRule rule) {
  log("fillPath(using: %s)", rule == CGPathFillRule::evenOdd ? "evenOdd" : "winding");
  if (isDrawable() && !pathBroken_) {
    applyFillColor();
    cairo_set_fill_rule(cairo_, toCairo(rule));
    cairo_fill(cairo_);
    cairo_set_fill_rule(cairo_, CAIRO_FILL_RULE_WINDING);
  }
  endPath();
}

void CGContext::strokePath() {
  log("strokePath");
  if (isDrawable() && !pathBroken_) {
    applyStrokeColor();
    // Cairo 1.16's fast rasteriser (CAIRO_ANTIALIAS_FAST) writes past the end of one of its own
    // heap buffers for some dashed strokes, so a dashed stroke is rasterised with the default
    // antialiasing and the caller's setting is put back afterwards. Solid strokes keep it.
    const cairo_antialias_t antialias = cairo_get_antialias(cairo_);
    const bool avoidFast = antialias == CAIRO_ANTIALIAS_FAST && cairo_get_dash_count(cairo_) > 0;
    if (avoidFast)
      cairo_set_antialias(cairo_, CAIRO_ANTIALIAS_DEFAULT);
    cairo_stroke(cairo_);
    if (avoidFast)
      cairo_set_antialias(cairo_, antialias);
  }
  endPath();
}

void CGContext::fill(const CGRect& rect) {
  beginPath();
  addRect(rect);
  fillPath();
}

void CGContext::stroke(const CGRect& rect) {
  beginPath();
  addRect(rect);
  strokePath();
}

void CGContext::clear(const CGRect& rect) {
  log("clear((%g, %g, %g, %g))", rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  beginPath();
  addRect(rect);
  if (isDrawable() && !pathBroken_) {
    cairo_save(cairo_);
    cairo_set_operator(cairo_, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cairo_);
    cairo_restore(cairo_);
  }
  endPath();
}
