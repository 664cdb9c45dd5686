// Images decoded from encoded data (PNG, JPEG, GIF, BMP, ... whatever gdk-pixbuf reads), kept as
// 8-bit RGBA pixels that are not premultiplied. One pixel is one point (scale 1). [any]
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class UIImage {
 public:
  // An image decoded from file data (PNG, JPEG, ...): null when the data is no image the decoder
  // knows. A truncated image decodes as far as its data goes; the decoder fills the rest. [any]
  static std::shared_ptr<UIImage> make(const std::vector<std::uint8_t>& data);
  // An image of the given pixels: width * height * 4 bytes, RGBA, not premultiplied. [any]
  static std::shared_ptr<UIImage> make(int width, int height, std::vector<std::uint8_t> rgba);

  CGSize size() const { return CGSize{CGFloat(width_), CGFloat(height_)}; }
  CGFloat scale() const { return 1; }
  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  // Row after row, four bytes per pixel, no padding.
  const std::vector<std::uint8_t>& rgbaPixels() const { return rgba_; }

 private:
  UIImage(int width, int height, std::vector<std::uint8_t> rgba)
      : width_(width), height_(height), rgba_(std::move(rgba)) {}

  int width_;
  int height_;
  std::vector<std::uint8_t> rgba_;
};
