#include "PluginFrameBaseEx.h"

#include <algorithm>
#include <cmath>

#include "EditorDrawing.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGFloat kMargin = 2;
constexpr CGFloat kCornerRadius = 4;

bool drawableExtent(CGFloat extent) {
  return std::isfinite(extent) && extent > 0;
}

}  // namespace

void PluginFrameBaseEx::draw(CGRect frame, ResizingBehavior resizing) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  const CGFloat width = frame.width();
  const CGFloat height = frame.height();
  // A zero extent would scale the canvas by 0/0.
  if (!drawableExtent(width) || !drawableExtent(height))
    return;

  context->saveGState();
  // The canvas is the frame's own size, so every behaviour places it at scale 1 on the frame.
  const CGRect canvas{0, 0, width, height};
  mapCanvas(*context, resizing.apply(canvas, frame, *this), canvas.size);

  const CGRect plate{kMargin, kMargin, std::max<CGFloat>(0, width - 2 * kMargin),
                     std::max<CGFloat>(0, height - 2 * kMargin)};
  if (!plate.isEmpty()) {
    UIColor(contrast, contrast, contrast, 1.0).setFill();
    UIBezierPath::roundedRect(plate, kCornerRadius).fill();
  }

  context->restoreGState();
}
