// An owned off-screen image: a premultiplied ARGB32 Cairo image surface of width x height points
// at a scale (pixels per point), with a drawing context whose user space is in points. It starts
// fully transparent. For tests, pictures and the window backends. [main]
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CoreGraphics/CGContext.h"

typedef struct _cairo_surface cairo_surface_t;

// One pixel, un-premultiplied, 0...255 per channel.
struct CGPixel {
  uint8_t red = 0, green = 0, blue = 0, alpha = 0;
  bool operator==(const CGPixel&) const = default;
};

class CGBitmapContext {
 public:
  // Sizes are rounded up to whole pixels; a non-positive or non-finite size or scale gives an
  // image of 0 x 0 pixels on which drawing does nothing.
  CGBitmapContext(CGFloat width, CGFloat height, CGFloat scale = 1);
  ~CGBitmapContext();
  CGBitmapContext(const CGBitmapContext&) = delete;
  CGBitmapContext& operator=(const CGBitmapContext&) = delete;

  CGContext& context() { return *context_; }
  cairo_surface_t* surface() const { return surface_; }
  int pixelWidth() const { return pixelWidth_; }
  int pixelHeight() const { return pixelHeight_; }
  CGFloat scale() const { return scale_; }

  // The pixel at device coordinates (x, y); transparent black outside the image.
  CGPixel pixel(int x, int y) const;
  // The pixel under a point in points (the pixel whose area holds it).
  CGPixel pixelAt(CGPoint point) const;
  // Fills the whole image with one colour (replacing, not blending).
  void fill(const CGColor& color);
  // Writes the image as PNG; false when the file cannot be written.
  bool writePNG(const std::string& path) const;

 private:
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cairo_ = nullptr;
  std::unique_ptr<CGContext> context_;
  int pixelWidth_ = 0;
  int pixelHeight_ = 0;
  CGFloat scale_ = 1;
};
