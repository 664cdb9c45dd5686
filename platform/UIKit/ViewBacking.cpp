#include "UIKit/internal/ViewBacking.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

UIView::Backing::~Backing() {
  release();
}

void UIView::Backing::release() {
  if (surface)
    cairo_surface_destroy(surface);
  surface = nullptr;
  pixelWidth = pixelHeight = 0;
  hasContent = false;
  blank = false;
  tiles.clear();
}

bool UIView::Backing::fit(int width, int height, CGFloat pixelScale) {
  if (!surface || width != pixelWidth || height != pixelHeight) {
    release();
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(surface);
      surface = nullptr;
      return false;
    }
    pixelWidth = width;
    pixelHeight = height;
  }
  scale = pixelScale;
  cairo_surface_set_device_scale(surface, pixelScale, pixelScale);
  return true;
}

void UIView::Backing::forgetOpacity(const std::optional<CGRect>& part) {
  const int tilesX = (pixelWidth + opaqueTile - 1) / opaqueTile;
  const int tilesY = (pixelHeight + opaqueTile - 1) / opaqueTile;
  if (!part || tiles.size() != std::size_t(tilesX) * std::size_t(tilesY)) {
    tiles.clear();
    return;
  }
  const int x0 = std::max(0, int(part->minX()) / opaqueTile);
  const int y0 = std::max(0, int(part->minY()) / opaqueTile);
  const int x1 = std::min(tilesX - 1, (int(std::ceil(part->maxX())) - 1) / opaqueTile);
  const int y1 = std::min(tilesY - 1, (int(std::ceil(part->maxY())) - 1) / opaqueTile);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      tiles[std::size_t(y) * std::size_t(tilesX) + std::size_t(x)] = Tile::unknown;
}
