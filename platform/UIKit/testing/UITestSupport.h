// Test support for views and windows, usable with either backend: pictures of views and windows
// (PNG files and pixels), display passes on demand, and injected input, which goes through the
// same routing as real input (hit testing, recognisers first, then the view's touch handlers).
// Timestamps come from TestClock while it is enabled (so a test spaces taps or holds a long press
// by advancing it), else from the monotonic clock. [main]
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CoreGraphics/CGBitmapContext.h"
#include "UIKit/UIWindow.h"

namespace UITestSupport {

// A picture of `view` and its subviews in the view's own coordinates (its bounds), at `scale`
// pixels per point, composited as a display pass would (views whose picture is stale are redrawn).
std::unique_ptr<CGBitmapContext> render(UIView& view, CGFloat scale = 1);
// The same, written to a PNG file; false when the file cannot be written.
bool writePNG(UIView& view, const std::string& path, CGFloat scale = 1);

// Runs the window's display pass if one is due (layout, marked views redrawn, changes composited);
// returns whether one ran. The window's picture is then window.surface().
bool display(UIWindow& window);

// Fingers on a window, in window coordinates. Each finger is one touch from down to up.
class TouchInjector {
 public:
  explicit TouchInjector(UIWindow& window) : window_(window) {}

  void down(int finger, CGPoint at);
  void move(int finger, CGPoint to);
  void up(int finger, CGPoint at);
  void cancel(int finger);
  // Down and up at one point.
  void tap(CGPoint at, int finger = 0);
  // Down at `from`, `steps` moves along the straight line, up at `to`.
  void drag(CGPoint from, CGPoint to, int steps = 4, int finger = 0);

  // Pinch input as a touch-pad gives it: began at a point, changes with the scale since began, end.
  void pinchBegan(CGPoint at);
  void pinchChanged(CGFloat scale);
  void pinchEnded();

 private:
  std::uint64_t id(int finger) const { return 0x7e57000000000000ull + std::uint64_t(unsigned(finger)); }

  UIWindow& window_;
  CGPoint pinchAt_;
  CGFloat pinchScale_ = 1;
};

}  // namespace UITestSupport
