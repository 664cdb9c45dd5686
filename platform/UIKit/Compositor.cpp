#include "UIKit/internal/Compositor.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGContext.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIWindow.h"
#include "UIKit/internal/RectList.h"
#include "UIKit/internal/ViewBacking.h"

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

// The damage of a pass: window rectangles whose union has to be shown again.
using Region = std::vector<CGRect>;
constexpr std::size_t maxDamageRects = 8;

// The parts of the backing (in its pixels) that part marks replace, or nothing when the whole
// backing must be drawn: no usable backing yet, a changed size or scale, or a whole-view mark.
std::optional<std::vector<CGRect>> partsToRedraw(const UIView& view, CGFloat s, int width, int height) {
  const UIView::Backing* backing = view.backing();
  if (view.needsDisplayParts().empty() || !backing || !backing->hasContent || backing->blank ||
      !backing->surface || backing->size != view.bounds().size || backing->scale != s ||
      backing->pixelWidth != width || backing->pixelHeight != height)
    return std::nullopt;
  const CGRect bounds = view.bounds();
  std::vector<CGRect> parts;
  for (const CGRect& part : view.needsDisplayParts()) {
    const double x0 = std::clamp(std::floor((part.minX() - bounds.origin.x) * s), 0.0, double(width));
    const double y0 = std::clamp(std::floor((part.minY() - bounds.origin.y) * s), 0.0, double(height));
    const double x1 = std::clamp(std::ceil((part.maxX() - bounds.origin.x) * s), 0.0, double(width));
    const double y1 = std::clamp(std::ceil((part.maxY() - bounds.origin.y) * s), 0.0, double(height));
    if (x1 > x0 && y1 > y0)
      parts.emplace_back(x0, y0, x1 - x0, y1 - y0);
  }
  return parts;
}

// Redraws the view's own content into its backing, the marked parts only when just parts are
// marked (the drawing is clipped to them, in whole pixels, so the pixels it yields are those of a
// whole redraw). Returns the redrawn rectangles in the view's coordinates (none when a part mark
// came to no pixel), or nothing when no surface could be made. Only drawable views come here, so
// the bounds are finite and have an area.
std::optional<std::vector<CGRect>> redraw(UIView& view, CGFloat scale) {
  const CGRect bounds = view.bounds();
  const CGFloat s = backingScaleFor(bounds, scale);
  const int width = std::max(1, int(std::ceil(bounds.size.width * s - 1e-9)));
  const int height = std::max(1, int(std::ceil(bounds.size.height * s - 1e-9)));
  const std::optional<std::vector<CGRect>> parts = partsToRedraw(view, s, width, height);
  view.clearNeedsDisplay();  // before draw(_:), which may mark the view again for the next pass
  if (parts && parts->empty())
    return std::vector<CGRect>();
  UIView::Backing& backing = view.ensureBacking();
  if (!backing.fit(width, height, s))
    return std::nullopt;
  backing.hasContent = false;
  backing.blank = false;

  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(backing.surface), cairo_destroy);
  std::vector<CGRect> redrawn;
  if (parts) {
    // In the surface's pixels (its device scale undone), so the clip is exactly whole pixels.
    cairo_save(cr.get());
    cairo_identity_matrix(cr.get());
    cairo_scale(cr.get(), 1 / s, 1 / s);
    for (const CGRect& part : *parts) {
      cairo_rectangle(cr.get(), part.origin.x, part.origin.y, part.size.width, part.size.height);
      redrawn.emplace_back(bounds.origin.x + part.origin.x / s, bounds.origin.y + part.origin.y / s,
                           part.size.width / s, part.size.height / s);
    }
    cairo_restore(cr.get());
    cairo_clip(cr.get());
    backing.forgetOpacity(boundsOfRectList(*parts));
  } else {
    backing.forgetOpacity(std::nullopt);
    redrawn.push_back(bounds);
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
  if (!parts && isTransparent(backing.surface)) {
    backing.release();
    backing.size = bounds.size;
    backing.scale = s;
    backing.hasContent = true;
    backing.blank = true;
  }
  return redrawn;
}

// A backing copied one to one onto device pixels changes only the pixels of its redrawn part.
// Copied through a scale or a turn it is resampled, and each of its pixels reaches the device
// pixels around it too (a backing pixel's width, at least one device pixel, one more for the
// rounding of the origin), so the damage of the part grows by that reach.
CGRect withResamplingReach(const CGRect& rect, const UIView& view, const CGAffineTransform& t,
                           CGFloat scale) {
  const UIView::Backing* backing = view.backing();
  const CGFloat s = backing ? backing->scale : scale;
  if (t.b == 0 && t.c == 0 && std::fabs(t.a) == 1 && std::fabs(t.d) == 1 && s == scale)
    return rect;
  const CGFloat devicePerBacking = std::max(std::hypot(t.a, t.b), std::hypot(t.c, t.d)) * scale / s;
  if (!std::isfinite(devicePerBacking) || !(scale > 0))
    return rect;
  const CGFloat reach = (std::ceil(std::max<CGFloat>(1, devicePerBacking)) + 1) / scale;
  return rect.insetBy(-reach, -reach);
}

// Redraws the marked (or stale) views that are shown, collecting their window rectangles.
void drawMarked(UIView& view, const CGAffineTransform& toWindow, CGFloat scale, Region& damage,
                std::size_t& drawn) {
  if (!view.isDrawable())
    return;  // the marks wait until the view shows again
  if (isStale(view, scale)) {
    if (const std::optional<std::vector<CGRect>> redrawn = redraw(view, scale)) {
      ++drawn;
      for (const CGRect& r : *redrawn)
        addToRectList(damage, withResamplingReach(r.applying(toWindow), view, toWindow, scale),
                      maxDamageRects);
    }
  }
  for (const auto& sub : view.subviews()) {
    if (auto t = sub->transformToSuperview())
      drawMarked(*sub, t->concatenating(toWindow), scale, damage, drawn);
  }
}

// Multiplies the transform into the context unless the result would be unusable to Cairo. Under
// a result without rotation or shear, the view's origin moves to whole device pixels, so that
// backings are copied sharp rather than resampled. The subviews inherit the moved origin, so they
// stay exactly where they belong against their superview's content; the shift is under half a
// pixel, within the damage rectangle rounded out to whole pixels.
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
  if (product.xy == 0 && product.yx == 0) {
    product.x0 = std::round(product.x0);
    product.y0 = std::round(product.y0);
  }
  cairo_set_matrix(cr, &product);
  return true;
}

// Whether the backing's pixels in [x0, x1) x [y0, y1) are all fully opaque, judged by tiles of
// `opaqueTile` pixels that are looked at once after each redraw of them (any tile the region
// touches must be opaque as a whole).
bool isOpaqueOver(UIView::Backing& backing, int x0, int y0, int x1, int y1) {
  using Backing = UIView::Backing;
  const int tilesX = (backing.pixelWidth + Backing::opaqueTile - 1) / Backing::opaqueTile;
  const int tilesY = (backing.pixelHeight + Backing::opaqueTile - 1) / Backing::opaqueTile;
  if (backing.tiles.size() != std::size_t(tilesX) * std::size_t(tilesY))
    backing.tiles.assign(std::size_t(tilesX) * std::size_t(tilesY), Backing::Tile::unknown);
  const unsigned char* data = cairo_image_surface_get_data(backing.surface);
  const int stride = cairo_image_surface_get_stride(backing.surface);
  if (!data)
    return false;
  for (int ty = y0 / Backing::opaqueTile; ty <= (y1 - 1) / Backing::opaqueTile; ++ty) {
    for (int tx = x0 / Backing::opaqueTile; tx <= (x1 - 1) / Backing::opaqueTile; ++tx) {
      Backing::Tile& tile = backing.tiles[std::size_t(ty) * std::size_t(tilesX) + std::size_t(tx)];
      if (tile == Backing::Tile::unknown) {
        // The AND of all pixels keeps an alpha byte of 0xff only if every pixel has one.
        std::uint32_t all = 0xffffffffu;
        const int px0 = tx * Backing::opaqueTile,
                  px1 = std::min(backing.pixelWidth, px0 + Backing::opaqueTile);
        const int py1 = std::min(backing.pixelHeight, (ty + 1) * Backing::opaqueTile);
        for (int y = ty * Backing::opaqueTile; y < py1 && (all >> 24) == 0xffu; ++y) {
          const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
          int x = px0;
          // Four pixels a step in two 64-bit words (the rows of Cairo's images are 4-byte aligned).
          std::uint64_t a = ~std::uint64_t(0), b = ~std::uint64_t(0);
          for (; x + 4 <= px1; x += 4) {
            std::uint64_t w[2];
            std::memcpy(w, row + x, sizeof w);
            a &= w[0];
            b &= w[1];
          }
          a &= b;
          all &= std::uint32_t(a) & std::uint32_t(a >> 32);
          for (; x < px1; ++x)
            all &= row[x];
        }
        tile = (all >> 24) == 0xffu ? Backing::Tile::opaque : Backing::Tile::translucent;
      }
      if (tile != Backing::Tile::opaque)
        return false;
    }
  }
  return true;
}

// One composite of the tree, or a dry run of it that only follows the geometry. The dry run
// finds the last backing, in painting order, that covers the whole damage with opaque pixels
// copied one to one onto device pixels: everything painted before it cannot show, so the real
// run skips it (and the clear), and copies that backing with SOURCE, which for opaque pixels
// gives exactly what OVER gives.
// A backing that covers the damage if its pixels there are opaque.
struct Candidate {
  UIView::Backing* backing;
  int index;
  int x0, y0, x1, y1;  // the damage in the backing's pixels
};

struct CompositePlan {
  std::vector<Candidate> candidates;  // in painting order
  bool dryRun = false;
  int damage[4] = {0, 0, 0, 0};  // device pixels: x0, y0, x1, y1
  int next = 0;                  // the index of the next backing painted
  int groups = 0;                // alpha groups open
  int skewed = 0;                // transforms with rotation or shear in force
  int cover = -1;                // the index of the covering backing, if any
};

// Where the damage falls in the backing's pixels when the backing, painted now, is copied one to
// one onto device pixels and the clip in force leaves the whole damage to it; nothing otherwise.
std::optional<Candidate> coverCandidate(const UIView& view, cairo_t* cr, const CompositePlan& plan) {
  UIView::Backing& backing = *view.backing();
  if (plan.groups > 0 || plan.skewed > 0)
    return std::nullopt;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xy != 0 || m.yx != 0 || m.xx != backing.scale || m.yy != backing.scale)
    return std::nullopt;
  const CGRect bounds = view.bounds();
  const double ox = m.x0 + bounds.origin.x * m.xx, oy = m.y0 + bounds.origin.y * m.yy;
  if (ox != std::floor(ox) || oy != std::floor(oy) || std::fabs(ox) > 1e9 || std::fabs(oy) > 1e9)
    return std::nullopt;
  // The clip in force must leave the whole damage to paint.
  double cx0, cy0, cx1, cy1;
  cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
  cairo_user_to_device(cr, &cx0, &cy0);
  cairo_user_to_device(cr, &cx1, &cy1);
  if (cx0 > plan.damage[0] || cy0 > plan.damage[1] || cx1 < plan.damage[2] || cy1 < plan.damage[3])
    return std::nullopt;
  const int x0 = plan.damage[0] - int(ox), y0 = plan.damage[1] - int(oy);
  const int x1 = plan.damage[2] - int(ox), y1 = plan.damage[3] - int(oy);
  if (x0 < 0 || y0 < 0 || x1 > backing.pixelWidth || y1 > backing.pixelHeight)
    return std::nullopt;
  // The backing may be larger than the bounds (whole pixels); the fill is cut to the bounds.
  if (x1 > std::floor(bounds.size.width * backing.scale + 1e-9) ||
      y1 > std::floor(bounds.size.height * backing.scale + 1e-9))
    return std::nullopt;
  return Candidate{&backing, plan.next, x0, y0, x1, y1};
}

// Whether the rectangle (user space) can show within the clip. Without rotation or shear, it is
// compared with the pass's damage in device pixels, which costs a few multiplications (the clip
// lies within the damage; an ancestor's clip that leaves it out only costs a fill Cairo cuts to
// nothing); otherwise, or without a damage, with the clip's extents.
bool mayShowIn(const CGRect& rect, cairo_t* cr, const CompositePlan& plan) {
  const int* d = plan.damage;
  if (d[2] > d[0] && d[3] > d[1]) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy == 0 && m.yx == 0) {
      const double ax = m.x0 + rect.minX() * m.xx, bx = m.x0 + rect.maxX() * m.xx;
      const double ay = m.y0 + rect.minY() * m.yy, by = m.y0 + rect.maxY() * m.yy;
      return std::min(ax, bx) < d[2] && std::max(ax, bx) > d[0] && std::min(ay, by) < d[3] &&
             std::max(ay, by) > d[1];
    }
  }
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  return CGRect(x0, y0, x1 - x0, y1 - y0).intersects(rect);
}

// Paints the view's backing at its bounds, unless the clip leaves none of it to paint.
void paintBacking(const UIView& view, cairo_t* cr, double alpha, CompositePlan& plan) {
  const UIView::Backing* backing = view.backing();
  if (!backing || !backing->hasContent || backing->blank || !backing->surface)
    return;
  const CGRect bounds = view.bounds();
  if (!mayShowIn(bounds, cr, plan))
    return;
  if (plan.dryRun) {
    if (alpha >= 1) {
      if (std::optional<Candidate> candidate = coverCandidate(view, cr, plan))
        plan.candidates.push_back(*candidate);
    }
    ++plan.next;
    return;
  }
  const int index = plan.next++;
  if (index < plan.cover)
    return;  // hidden under the covering backing

  cairo_save(cr);
  if (index == plan.cover)
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
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

void composite(const UIView& view, cairo_t* cr, const CGAffineTransform& own, CompositePlan& plan) {
  if (!view.isDrawable())
    return;
  // Only a view that clips shown subviews changes more of the context than its matrix; the others
  // put the matrix back, which costs far less than saving and restoring the whole state.
  const bool clips = view.clipsToBounds() && hasShownSubviews(view);
  cairo_matrix_t saved;
  cairo_get_matrix(cr, &saved);
  if (clips)
    cairo_save(cr);
  if (applyTransform(cr, own)) {
    const bool skewed = own.b != 0 || own.c != 0;
    plan.skewed += skewed;
    const double alpha = view.alpha();
    if (alpha < 1 && !hasShownSubviews(view)) {
      paintBacking(view, cr, alpha, plan);  // a lone view needs no group
    } else {
      const bool group = alpha < 1;
      if (group) {
        ++plan.groups;
        if (!plan.dryRun)
          cairo_push_group(cr);
      }
      paintBacking(view, cr, 1, plan);
      if (clips) {
        const CGRect b = view.bounds();
        cairo_rectangle(cr, b.origin.x, b.origin.y, b.size.width, b.size.height);
        cairo_clip(cr);
      }
      for (const auto& sub : view.subviews()) {
        if (auto t = sub->transformToSuperview())
          composite(*sub, cr, *t, plan);
      }
      if (group) {
        --plan.groups;
        if (!plan.dryRun) {
          cairo_pop_group_to_source(cr);
          cairo_paint_with_alpha(cr, alpha);
        }
      }
    }
    plan.skewed -= skewed;
  }
  if (clips)
    cairo_restore(cr);
  else
    cairo_set_matrix(cr, &saved);
}

// The transform that puts a root view's own coordinates at the origin of what it draws into.
CGAffineTransform rootTransform(const UIView& view) {
  return CGAffineTransform::makeTranslation(-view.bounds().origin.x, -view.bounds().origin.y);
}

}  // namespace

PassResult displayPass(UIWindow& window, cairo_surface_t* target, CGFloat scale, const CGRect& invalid) {
  window.layoutIfNeeded();
  PassResult result;
  Region damage;
  addToRectList(damage, invalid, maxDamageRects);
  drawMarked(window, rootTransform(window), scale, damage, result.viewsDrawn);

  // Each rectangle in whole device pixels, so that the edges of the region are not blended twice.
  const CGRect area(0, 0, window.bounds().size.width, window.bounds().size.height);
  for (const CGRect& r : damage) {
    const CGRect cut = r.intersection(area);
    if (cut.isEmpty())
      continue;
    const CGFloat x0 = std::floor(cut.minX() * scale) / scale, y0 = std::floor(cut.minY() * scale) / scale;
    const CGFloat x1 = std::ceil(cut.maxX() * scale) / scale, y1 = std::ceil(cut.maxY() * scale) / scale;
    result.rects.emplace_back(x0, y0, x1 - x0, y1 - y0);
  }
  const CGRect box = boundsOfRectList(result.rects);
  if (box.isEmpty() || !target) {
    result.rects.clear();
    return result;
  }
  result.damage = box;
  const CGFloat x0 = box.minX(), y0 = box.minY(), x1 = box.maxX(), y1 = box.maxY();

  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(target), cairo_destroy);
  cairo_scale(cr.get(), scale, scale);  // the target is in pixels; the tree in points
  for (const CGRect& r : result.rects)
    cairo_rectangle(cr.get(), r.origin.x, r.origin.y, r.size.width, r.size.height);
  cairo_clip(cr.get());
  CompositePlan plan;
  plan.dryRun = true;
  plan.damage[0] = int(std::lround(x0 * scale));
  plan.damage[1] = int(std::lround(y0 * scale));
  plan.damage[2] = int(std::lround(x1 * scale));
  plan.damage[3] = int(std::lround(y1 * scale));
  composite(window, cr.get(), rootTransform(window), plan);
  // From the top down: the first opaque candidate hides all below it, whose pixels need no look.
  for (auto c = plan.candidates.rbegin(); c != plan.candidates.rend(); ++c) {
    if (isOpaqueOver(*c->backing, c->x0, c->y0, c->x1, c->y1)) {
      plan.cover = c->index;
      break;
    }
  }
  plan.dryRun = false;
  plan.next = 0;
  if (plan.cover < 0) {
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr.get());
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
  }
  composite(window, cr.get(), rootTransform(window), plan);
  cairo_surface_flush(target);
  return result;
}

void renderSubtree(UIView& view, cairo_t* cr, CGFloat scale) {
  Region ignored;
  std::size_t drawn = 0;
  drawMarked(view, CGAffineTransform::identity(), scale, ignored, drawn);
  if (drawn > 0) {
    if (auto w = view.window())
      w->invalidateAll();  // the window's own picture is behind now
  }
  CompositePlan plan;
  composite(view, cr, rootTransform(view), plan);
}

}  // namespace ui_backend
