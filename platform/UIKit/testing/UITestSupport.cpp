#include "UIKit/testing/UITestSupport.h"

#include <cairo.h>

#include <cmath>

#include "UIKit/internal/Compositor.h"
#include "UIKit/internal/TouchRouter.h"
#include "UIKit/internal/WindowBackend.h"

namespace UITestSupport {

std::unique_ptr<CGBitmapContext> render(UIView& view, CGFloat scale) {
  const CGRect bounds = view.bounds();
  auto picture = std::make_unique<CGBitmapContext>(bounds.size.width, bounds.size.height, scale);
  if (picture->pixelWidth() == 0)
    return picture;
  view.layoutIfNeeded();
  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(picture->surface()), cairo_destroy);
  cairo_scale(cr.get(), picture->scale(), picture->scale());
  ui_backend::renderSubtree(view, cr.get(), picture->scale());
  cairo_surface_flush(picture->surface());
  return picture;
}

bool writePNG(UIView& view, const std::string& path, CGFloat scale) {
  return render(view, scale)->writePNG(path);
}

bool display(UIWindow& window) {
  return window.displayIfNeeded();
}

void TouchInjector::down(int finger, CGPoint at) {
  window_.backend().router().touch(id(finger), UITouchPhase::began, at, ui_backend::inputTime());
}

void TouchInjector::move(int finger, CGPoint to) {
  window_.backend().router().touch(id(finger), UITouchPhase::moved, to, ui_backend::inputTime());
}

void TouchInjector::up(int finger, CGPoint at) {
  window_.backend().router().touch(id(finger), UITouchPhase::ended, at, ui_backend::inputTime());
}

void TouchInjector::cancel(int finger) {
  window_.backend().router().touch(id(finger), UITouchPhase::cancelled, CGPoint{NAN, NAN},
                                   ui_backend::inputTime());
}

void TouchInjector::tap(CGPoint at, int finger) {
  down(finger, at);
  up(finger, at);
}

void TouchInjector::drag(CGPoint from, CGPoint to, int steps, int finger) {
  down(finger, from);
  for (int i = 1; i <= steps; ++i) {
    const CGFloat f = CGFloat(i) / steps;
    move(finger, CGPoint{from.x + f * (to.x - from.x), from.y + f * (to.y - from.y)});
  }
  up(finger, to);
}

void TouchInjector::pinchBegan(CGPoint at) {
  pinchAt_ = at;
  pinchScale_ = 1;
  window_.backend().router().pinch(UITouchPhase::began, at, 1);
}

void TouchInjector::pinchChanged(CGFloat scale) {
  pinchScale_ = scale;
  window_.backend().router().pinch(UITouchPhase::moved, pinchAt_, scale);
}

void TouchInjector::pinchEnded() {
  window_.backend().router().pinch(UITouchPhase::ended, pinchAt_, pinchScale_);
}

}  // namespace UITestSupport
