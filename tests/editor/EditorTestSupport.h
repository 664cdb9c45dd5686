// Helpers for the editor tests: drawing into an off-screen image with a current graphics
// context, and a controller and delegate that record what the panel does to them. [main]
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "CoreGraphics/CGBitmapContext.h"
#include "KOVCompressorViewDelegate.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIView.h"

namespace editor_test {

// Runs `draw` with the image's context current, as a drawing pass does.
template <typename Draw>
void render(CGBitmapContext& image, Draw draw) {
  UIGraphicsContextScope scope(&image.context());
  draw();
}

// A view's drawing pass into the image at its own bounds.
inline void renderView(CGBitmapContext& image, UIView& view) {
  render(image, [&] { view.draw(view.bounds()); });
}

// Nothing painted on this pixel.
inline bool isTransparent(const CGPixel& p) {
  return p.alpha == 0;
}

class RecordingController : public KOVCompressorViewController {
 public:
  bool touchesLocked() const override { return locked; }
  void setTouchesLocked(bool value) override {
    locked = value;
    lockHistory.push_back(value);
  }
  bool locked = false;
  std::vector<bool> lockHistory;
};

class RecordingDelegate : public KOVCompressorViewDelegate {
 public:
  void onKOVCompressorViewParameter(int address, float value) override {
    parameters.emplace_back(address, value);
  }
  void onKOVCompressorViewOption(int address, float value) override { options.emplace_back(address, value); }
  std::vector<std::pair<int, float>> parameters;
  std::vector<std::pair<int, float>> options;
};

}  // namespace editor_test
