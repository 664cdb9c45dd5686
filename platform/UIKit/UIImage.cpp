#include "UIKit/UIImage.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>
#include <limits>

std::shared_ptr<UIImage> UIImage::make(const std::vector<std::uint8_t>& data) {
  if (data.empty())
    return nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  GError* error = nullptr;
  bool ok = gdk_pixbuf_loader_write(loader, data.data(), data.size(), &error);
  g_clear_error(&error);
  // close is needed after a failed write as well, to release the decoder's state.
  ok = gdk_pixbuf_loader_close(loader, ok ? &error : nullptr) && ok;
  g_clear_error(&error);
  GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;

  std::shared_ptr<UIImage> image;
  if (pixbuf && gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 &&
      gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB) {
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    if (width > 0 && height > 0 && (channels == 3 || channels == 4) &&
        std::size_t(width) * std::size_t(height) < std::numeric_limits<int>::max() / 4) {
      std::vector<std::uint8_t> rgba(std::size_t(width) * std::size_t(height) * 4);
      for (int y = 0; y < height; ++y) {
        const guchar* row = pixels + std::size_t(y) * std::size_t(stride);
        std::uint8_t* out = rgba.data() + std::size_t(y) * std::size_t(width) * 4;
        for (int x = 0; x < width; ++x) {
          out[4 * x + 0] = row[channels * x + 0];
          out[4 * x + 1] = row[channels * x + 1];
          out[4 * x + 2] = row[channels * x + 2];
          out[4 * x + 3] = channels == 4 ? row[channels * x + 3] : 255;
        }
      }
      image = std::shared_ptr<UIImage>(new UIImage(width, height, std::move(rgba)));
    }
  }
  g_object_unref(loader);  // also releases the pixbuf, which the loader owns
  return image;
}

std::shared_ptr<UIImage> UIImage::make(int width, int height, std::vector<std::uint8_t> rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != std::size_t(width) * std::size_t(height) * 4)
    return nullptr;
  return std::shared_ptr<UIImage>(new UIImage(width, height, std::move(rgba)));
}
