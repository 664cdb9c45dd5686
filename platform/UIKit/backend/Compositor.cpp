#include "UIKit/backend/Compositor.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGContext.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIWindow.h"
#include "UIKit/backend/ViewBacking.h"

namespace ui_backend {
namespace {

// Cairo refuses (and then stays in error) a matrix whose determinant is 0 or not finite; products
// of small scales can underflow on the way, so anything this close to singular is not drawn.
constexpr double minimumDeterminant = 1e-12;

CGFloat backingScaleFor(const CGRect& bounds, CGFloat scale) {
  const CGFloat edge = std::max(bounds.size.width, bounds.size.height);
  return edge * scale > maximumBackingPixels ? maximumBackingPixels / edge : scale;
}

bool isStale(const UIView& view, CGFloat scale) {
  const UIView::Backing* backing = view.backing();
  return view.needsDisplay() || !backing || !backing->hasContent || backing->size != view.bounds().size ||
         backing->scale != backingScaleFor(view.bounds(), scale) || (!backing->surface && !backing->blank);
}

// Whether every pixel of the surface is fully transparent. Drawn content usually shows within
// the first rows, so a surface with content costs little to look at.
bool isTransparent(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  if (!data)
    return false;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
    std::uint32_t any = 0;
    for (int x = 0; x < width; ++x)
      any |= row[x];
    if (any != 0)
      return false;
  }
  return true;
}

// The part of the backing (in its pixels) that a part mark replaces, or nothing when the whole
// backing must be drawn: no usable backing yet, a changed size or scale, or a whole-view mark.
std::optional<CGRect> partToRedraw(const UIView& view, CGFloat s, int width, int height) {
  const std::optional<CGRect>& part = view.needsDisplayPart();
  const UIView::Backing* backing = view.backing();
  if (!part || !backing || !backing->hasContent || backing->blank || !backing->surface ||
      backing->size != view.bounds().size || backing->scale != s || backing->pixelWidth != width ||
      backing->pixelHeight != height)
    return std::nullopt;
  const CGRect bounds = view.bounds();
  const double x0 = std::clamp(std::floor((part->minX() - bounds.origin.x) * s), 0.0, double(width));
  const double y0 = std::clamp(std::floor((part->minY() - bounds.origin.y) * s), 0.0, double(height));
  const double x1 = std::clamp(std::ceil((part->maxX() - bounds.origin.x) * s), 0.0, double(width));
  const double y1 = std::clamp(std::ceil((part->maxY() - bounds.origin.y) * s), 0.0, double(height));
  return CGRect(x0, y0, x1 - x0, y1 - y0);
}

// Redraws the view's own content into its backing, the marked part only when just a part is
// marked (the drawing is clipped to it, in whole pixels, so the pixels it yields are those of a
// whole redraw). Returns the redrawn rectangle in the view's coordinates, or nothing when no
// surface could be made. Only drawable views come here, so the bounds are finite and have an
// area.
std::optional<CGRect> redraw(UIView& view, CGFloat scale) {
  const CGRect bounds = view.bounds();
  const CGFloat s = backingScaleFor(bounds, scale);
  const int width = std::max(1, int(std::ceil(bounds.size.width * s - 1e-9)));
  const int height = std::max(1, int(std::ceil(bounds.size.height * s - 1e-9)));
  const std::optional<CGRect> part = partToRedraw(view, s, width, height);
  view.clearNeedsDisplay();  // before draw(_:), which may mark the view again for the next pass
  if (part && part->isEmpty())
    return CGRect();
  UIView::Backing& backing = view.ensureBacking();
  if (!backing.fit(width, height, s))
    return std::nullopt;
  backing.hasContent = false;
  backing.blank = false;

  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(backing.surface), cairo_destroy);
  CGRect redrawn = bounds;
  if (part) {
    // In the surface's pixels (its device scale undone), so the clip is exactly whole pixels.
    cairo_save(cr.get());
    cairo_identity_matrix(cr.get());
    cairo_scale(cr.get(), 1 / s, 1 / s);
    cairo_rectangle(cr.get(), part->origin.x, part->origin.y, part->size.width, part->size.height);
    cairo_restore(cr.get());
    cairo_clip(cr.get());
    redrawn = CGRect(bounds.origin.x + part->origin.x / s, bounds.origin.y + part->origin.y / s,
                     part->size.width / s, part->size.height / s);
  }
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr.get());
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
  cairo_translate(cr.get(), -bounds.origin.x, -bounds.origin.y);
  cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_FAST);
  CGContext context(cr.get());
  const auto& background = view.backgroundColor();
  if (background) {
    context.setFillColor(background->cgColor());
    context.fill(bounds);
  }
  {
    UIGraphicsContextScope current(&context);
    view.draw(bounds);
  }
  view.countDraw();
  cr.reset();
  cairo_surface_flush(backing.surface);
  backing.size = bounds.size;
  backing.hasContent = true;
  // A view that drew nothing (a container, say) keeps no surface and costs no compositing.
  if (!part && isTransparent(backing.surface)) {
    backing.release();
    backing.size = bounds.size;
    backing.scale = s;
    backing.hasContent = true;
    backing.blank = true;
  }
  return redrawn;
}

// Redraws the marked (or stale) views that are shown, collecting their window rectangles.
void drawMarked(UIView& view, const CGAffineTransform& toWindow, CGFloat scale, CGRect& damage,
                std::size_t& drawn) {
  if (!view.isDrawable())
    return;  // the marks wait until the view shows again
  if (isStale(view, scale)) {
    if (const std::optional<CGRect> redrawn = redraw(view, scale)) {
      ++drawn;
      if (!redrawn->isEmpty())
        damage = damage.united(redrawn->applying(toWindow));
    }
  }
  for (const auto& sub : view.subviews()) {
    if (auto t = sub->transformToSuperview())
      drawMarked(*sub, t->concatenating(toWindow), scale, damage, drawn);
  }
}

// Multiplies the transform into the context unless the result would be unusable to Cairo.
bool applyTransform(cairo_t* cr, const CGAffineTransform& t) {
  cairo_matrix_t current;
  cairo_get_matrix(cr, &current);
  const cairo_matrix_t step{t.a, t.b, t.c, t.d, t.tx, t.ty};
  cairo_matrix_t product;
  cairo_matrix_multiply(&product, &step, &current);
  const double det = product.xx * product.yy - product.yx * product.xy;
  if (!std::isfinite(det) || std::fabs(det) < minimumDeterminant || !std::isfinite(product.x0) ||
      !std::isfinite(product.y0))
    return false;
  cairo_set_matrix(cr, &product);
  return true;
}

// Under a transform without rotation or shear, moves the view's origin to whole device pixels, so
// that backings are copied sharp rather than resampled. The subviews inherit the moved origin, so
// they stay exactly where they belong against their superview's content; the shift is under half
// a pixel, within the damage rectangle rounded out to whole pixels.
void snapToPixels(cairo_t* cr) {
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xy != 0 || m.yx != 0)
    return;
  m.x0 = std::round(m.x0);
  m.y0 = std::round(m.y0);
  cairo_set_matrix(cr, &m);
}

// Paints the view's backing at its bounds, unless the clip leaves none of it to paint.
void paintBacking(const UIView& view, cairo_t* cr, double alpha) {
  const UIView::Backing* backing = view.backing();
  if (!backing || !backing->hasContent || backing->blank || !backing->surface)
    return;
  const CGRect bounds = view.bounds();
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  if (!CGRect(x0, y0, x1 - x0, y1 - y0).intersects(bounds))
    return;

  cairo_save(cr);
  cairo_set_source_surface(cr, backing->surface, bounds.origin.x, bounds.origin.y);
  cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
  if (alpha < 1) {
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, alpha);
  } else {
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

bool hasShownSubviews(const UIView& view) {
  return std::any_of(view.subviews().begin(), view.subviews().end(),
                     [](const auto& v) { return v->isDrawable(); });
}

void composite(const UIView& view, cairo_t* cr, const CGAffineTransform& own) {
  if (!view.isDrawable())
    return;
  cairo_save(cr);
  if (!applyTransform(cr, own)) {
    cairo_restore(cr);
    return;
  }
  snapToPixels(cr);
  const double alpha = view.alpha();
  if (alpha < 1 && !hasShownSubviews(view)) {
    paintBacking(view, cr, alpha);  // a lone view needs no group
  } else {
    if (alpha < 1)
      cairo_push_group(cr);
    paintBacking(view, cr, 1);
    if (view.clipsToBounds()) {
      const CGRect b = view.bounds();
      cairo_rectangle(cr, b.origin.x, b.origin.y, b.size.width, b.size.height);
      cairo_clip(cr);
    }
    for (const auto& sub : view.subviews()) {
      if (auto t = sub->transformToSuperview())
        composite(*sub, cr, *t);
    }
    if (alpha < 1) {
      cairo_pop_group_to_source(cr);
      cairo_paint_with_alpha(cr, alpha);
    }
  }
  cairo_restore(cr);
}

// The transform that puts a root view's own coordinates at the origin of what it draws into.
CGAffineTransform rootTransform(const UIView& view) {
  return CGAffineTransform::makeTranslation(-view.bounds().origin.x, -view.bounds().origin.y);
}

}  // namespace

PassResult displayPass(UIWindow& window, cairo_surface_t* target, CGFloat scale, const CGRect& invalid) {
  window.layoutIfNeeded();
  PassResult result;
  CGRect damage = invalid;
  drawMarked(window, rootTransform(window), scale, damage, result.viewsDrawn);

  const CGRect area(0, 0, window.bounds().size.width, window.bounds().size.height);
  damage = damage.intersection(area);
  if (damage.isEmpty() || !target)
    return result;
  // Whole device pixels, so that the edges of the region are not blended twice.
  const CGFloat x0 = std::floor(damage.minX() * scale) / scale,
                y0 = std::floor(damage.minY() * scale) / scale;
  const CGFloat x1 = std::ceil(damage.maxX() * scale) / scale, y1 = std::ceil(damage.maxY() * scale) / scale;
  result.damage = CGRect(x0, y0, x1 - x0, y1 - y0);

  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(target), cairo_destroy);
  cairo_scale(cr.get(), scale, scale);  // the target is in pixels; the tree in points
  cairo_rectangle(cr.get(), x0, y0, x1 - x0, y1 - y0);
  cairo_clip(cr.get());
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr.get());
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
  composite(window, cr.get(), rootTransform(window));
  cairo_surface_flush(target);
  return result;
}

void renderSubtree(UIView& view, cairo_t* cr, CGFloat scale) {
  CGRect ignored;
  std::size_t drawn = 0;
  drawMarked(view, CGAffineTransform::identity(), scale, ignored, drawn);
  if (drawn > 0) {
    if (auto w = view.window())
      w->invalidateAll();  // the window's own picture is behind now
  }
  composite(view, cr, rootTransform(view));
}

}  // namespace ui_backend
