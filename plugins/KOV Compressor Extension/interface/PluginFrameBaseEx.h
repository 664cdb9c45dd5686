// The drawing object behind the editor's background frame: a grey rounded plate of level
// `contrast`, inset 2 points from the frame on every side, corner radius 4. The frame view
// (PluginFrameEx) hands it its settings before every draw. Needs a current graphics context;
// without one it draws nothing. [main]
#pragma once

#include "CoreGraphics/CGGeometry.h"
#include "ResizingBehavior.h"
#include "UIKit/UIColor.h"

class PluginFrameBaseEx {
 public:
  using ResizingBehavior = ::ResizingBehavior;

  PluginFrameBaseEx() = default;
  virtual ~PluginFrameBaseEx() = default;
  PluginFrameBaseEx(const PluginFrameBaseEx&) = delete;
  PluginFrameBaseEx& operator=(const PluginFrameBaseEx&) = delete;

  // Grey level of the plate, 0 black to 1 white; levels outside 0...1 are drawn clamped.
  CGFloat contrast = 0.25;
  UIColor mainColor = UIColor::lightGray();  // kept, not painted
  // The scale the resizing rule used at the last draw; always (1, 1), since the canvas has the
  // frame's own size.
  CGSize viewScale{1.0, 1.0};

  // Paints the plate into `frame`. A frame with a zero (or not finite) width or height draws
  // nothing; one no larger than the 2-point margins leaves nothing of the plate to draw.
  virtual void draw(CGRect frame = {0, 0, 512, 384}, ResizingBehavior resizing = ResizingBehavior::aspectFit);
};
