#include "CoreGraphics/CGBitmapContext.h"

#include <cairo.h>

#include <cmath>

namespace {

// Pixels for a size in points: rounded up, 0 for anything unusable, capped so that a stray huge
// frame cannot ask for gigabytes.
int pixelsFor(CGFloat points, CGFloat scale) {
  const CGFloat pixels = std::ceil(points * scale - 1e-9);
  if (!(pixels > 0) || !std::isfinite(pixels))
    return 0;
  return int(std::min<CGFloat>(pixels, 16384));
}

}  // namespace

CGBitmapContext::CGBitmapContext(CGFloat width, CGFloat height, CGFloat scale) {
  const bool scaleOK = std::isfinite(scale) && scale > 0;
  scale_ = scaleOK ? scale : 1;
  pixelWidth_ = scaleOK ? pixelsFor(width, scale) : 0;
  pixelHeight_ = scaleOK ? pixelsFor(height, scale) : 0;
  if (pixelWidth_ == 0 || pixelHeight_ == 0)
    pixelWidth_ = pixelHeight_ = 0;
  // A new image surface is cleared to transparent black.
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth_, pixelHeight_);
  cairo_ = cairo_create(surface_);
  cairo_scale(cairo_, scale_, scale_);
  context_ = std::make_unique<CGContext>(cairo_);
}

CGBitmapContext::~CGBitmapContext() {
  context_.reset();
  cairo_destroy(cairo_);
  cairo_surface_destroy(surface_);
}

CGPixel CGBitmapContext::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= pixelWidth_ || y >= pixelHeight_)
    return CGPixel{};
  cairo_surface_flush(surface_);
  const unsigned char* row =
      cairo_image_surface_get_data(surface_) + size_t(y) * cairo_image_surface_get_stride(surface_);
  // ARGB32 is one native-endian 32-bit word per pixel, colour premultiplied by alpha.
  const uint32_t argb = reinterpret_cast<const uint32_t*>(row)[x];
  const unsigned a = argb >> 24;
  if (a == 0)
    return CGPixel{};
  auto unpremultiply = [a](unsigned c) { return uint8_t(std::min(255u, (c * 255 + a / 2) / a)); };
  return CGPixel{unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff),
                 unpremultiply(argb & 0xff), uint8_t(a)};
}

CGPixel CGBitmapContext::pixelAt(CGPoint point) const {
  if (!std::isfinite(point.x) || !std::isfinite(point.y))
    return CGPixel{};
  return pixel(int(std::floor(point.x * scale_)), int(std::floor(point.y * scale_)));
}

void CGBitmapContext::fill(const CGColor& color) {
  cairo_save(cairo_);
  cairo_set_operator(cairo_, CAIRO_OPERATOR_SOURCE);
  cairo_reset_clip(cairo_);
  cairo_set_source_rgba(cairo_, color.red, color.green, color.blue, color.alpha);
  cairo_paint(cairo_);
  cairo_restore(cairo_);
}

bool CGBitmapContext::writePNG(const std::string& path) const {
  if (pixelWidth_ == 0)
    return false;
  cairo_surface_flush(surface_);
  return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}
