#include "UIKit/backend/ViewBacking.h"

#include <cairo.h>

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
