// Internal to the windows: what a UIWindow needs from the place it is shown. The base keeps the
// window's composited surface, the region that must be composited again, the request flag and the
// touch routing; a backend decides when a requested pass runs (the GTK frame clock, or an idle turn
// of the main loop off screen) and shows the result. [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "CoreGraphics/CGBitmapContext.h"
#include "UIKit/UIWindow.h"

namespace ui_backend {

class TouchRouter;

class WindowBackend {
 public:
  explicit WindowBackend(UIWindow& window);
  virtual ~WindowBackend();
  WindowBackend(const WindowBackend&) = delete;
  WindowBackend& operator=(const WindowBackend&) = delete;

  virtual UIWindowBackendKind kind() const = 0;
  // Makes a pass run at the next refresh.
  void requestDisplay();
  bool isDisplayRequested() const { return requested_; }
  // The rectangle (window coordinates) to composite again in the next pass.
  void invalidate(const CGRect& rect);

  virtual void show() {}
  virtual void titleChanged() {}

  // Native widgets over the window's content (UIWindow::addNativeChild). The headless backend
  // shows none and answers false.
  using NativePlacement = UIWindow::NativePlacement;
  virtual bool addNativeChild(void* widget, NativePlacement placement) {
    (void)widget;
    (void)placement;
    return false;
  }
  virtual void removeNativeChild(void* widget) { (void)widget; }

  // Runs the pass now if one was requested; returns whether it ran.
  bool runDisplayPass();
  // The composited picture of the window (made at its size on first use).
  CGBitmapContext& surface();
  TouchRouter& router() { return *router_; }

 protected:
  // A pass was requested and none is scheduled yet.
  virtual void scheduleRefresh() = 0;
  // A pass composited `rects` (window coordinates, whole device pixels) into the surface.
  virtual void presented(const std::vector<CGRect>& rects) { (void)rects; }

  UIWindow& window_;

 private:
  void fitSurface();

  std::unique_ptr<CGBitmapContext> surface_;
  std::unique_ptr<TouchRouter> router_;
  CGRect invalid_;
  bool requested_ = false;
};

std::unique_ptr<WindowBackend> makeHeadlessBackend(UIWindow& window);
// Null when GTK cannot open a display.
std::unique_ptr<WindowBackend> makeGtkBackend(UIWindow& window);
// Whether GTK initialised with a display (tried once per process). [main]
bool gtkAvailable();

// Seconds for input timestamps: the test clock while it is on, else the monotonic clock.
double inputTime();

}  // namespace ui_backend
