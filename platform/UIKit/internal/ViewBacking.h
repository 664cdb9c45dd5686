// Internal to the display pass: the picture a view keeps of what it last drew, so that a view
// that was not marked is only composited, never redrawn. A premultiplied ARGB32 image of the
// view's bounds at `scale` pixels per point (its device scale is set to it, so painting it in
// points lands pixel for pixel at that scale). [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <optional>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIView.h"

typedef struct _cairo_surface cairo_surface_t;

struct UIView::Backing {
  Backing() = default;
  ~Backing();
  Backing(const Backing&) = delete;
  Backing& operator=(const Backing&) = delete;

  // Makes the surface fit `pixelWidth` x `pixelHeight` at `scale`; false when it cannot be made.
  bool fit(int pixelWidth, int pixelHeight, CGFloat scale);
  void release();

  cairo_surface_t* surface = nullptr;
  int pixelWidth = 0;
  int pixelHeight = 0;
  CGFloat scale = 1;
  CGSize size;  // the bounds' size it was drawn for, in points
  bool hasContent = false;
  // The content is fully transparent: the surface is released and nothing is composited.
  bool blank = false;

  // Whether square tiles of the surface are fully opaque, found out when first asked and
  // forgotten when they are drawn again (row by row; empty until first asked).
  static constexpr int opaqueTile = 64;
  enum class Tile : unsigned char { unknown, opaque, translucent };
  std::vector<Tile> tiles;
  // Forgets the tiles that `part` (pixels) touches, or all of them.
  void forgetOpacity(const std::optional<CGRect>& part);
};
