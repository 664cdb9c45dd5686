// Internal to the windows: the display pass. It lays out what is pending, redraws each marked
// view into its own backing surface (draw(_:) with a current context, for the whole bounds), and
// composites the tree into the window's surface, over only the region that changed: the rectangles
// of the redrawn views, or everything after a change of geometry, visibility or order.
// Compositing applies each view's transform about its centre, its alpha to the whole subtree as one
// group, and clips the subviews to the bounds when asked. Views with degenerate geometry are
// skipped before anything reaches Cairo. Views draw with Cairo's fast antialiasing (coverage in
// steps of 1/16 rather than 1/256): strokes rasterise about 2.5 times faster, and the edges stay
// smooth to the eye at every scale. [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <cstddef>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
class UIView;
class UIWindow;

namespace ui_backend {

struct PassResult {
  CGRect damage;  // window coordinates; empty when nothing was composited
  std::vector<CGRect> rects;  // the damage as composited: rectangles whose bounding box it is
  std::size_t viewsDrawn = 0;
};

// One display pass of `window` into `target` (an image surface of the window's size at `scale`).
// `invalid` is the window rectangle that must be composited again whatever was drawn.
PassResult displayPass(UIWindow& window, cairo_surface_t* target, CGFloat scale, const CGRect& invalid);

// Draws `view` and its subtree into `cr` in the view's own coordinates (the caller sets up the
// transform), redrawing views whose backing is missing or stale at `scale`. For pictures of single
// views.
void renderSubtree(UIView& view, cairo_t* cr, CGFloat scale);

// The largest backing edge in pixels; larger views are drawn at a lower resolution.
constexpr int maximumBackingPixels = 8192;

}  // namespace ui_backend
