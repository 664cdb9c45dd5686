#include "UIKit/internal/WindowBackend.h"

#include <glib.h>

#include <cmath>

#include "Dispatch/Timer.h"
#include "UIKit/internal/Compositor.h"
#include "UIKit/internal/TouchRouter.h"

namespace ui_backend {

WindowBackend::WindowBackend(UIWindow& window)
    : window_(window), router_(std::make_unique<TouchRouter>(window)) {}

WindowBackend::~WindowBackend() = default;

void WindowBackend::requestDisplay() {
  if (requested_)
    return;
  requested_ = true;
  scheduleRefresh();
}

void WindowBackend::invalidate(const CGRect& rect) {
  const CGRect r = rect.standardized();
  if (r.isEmpty())
    return;
  invalid_ = invalid_.united(r);
  requestDisplay();
}

void WindowBackend::fitSurface() {
  const CGSize size = window_.bounds().size;
  const CGFloat scale = window_.screenScale();
  const int width = size.width > 0 && std::isfinite(size.width) ? int(std::ceil(size.width * scale)) : 0;
  const int height = size.height > 0 && std::isfinite(size.height) ? int(std::ceil(size.height * scale)) : 0;
  if (surface_ && surface_->pixelWidth() == width && surface_->pixelHeight() == height &&
      surface_->scale() == scale)
    return;
  surface_ = std::make_unique<CGBitmapContext>(size.width, size.height, scale);
  invalid_ = CGRect(0, 0, size.width, size.height);  // a new picture is composited whole
}

CGBitmapContext& WindowBackend::surface() {
  if (!surface_)
    fitSurface();
  return *surface_;
}

bool WindowBackend::runDisplayPass() {
  if (!requested_)
    return false;
  requested_ = false;
  fitSurface();
  const CGRect invalid = invalid_;
  invalid_ = CGRect();
  const PassResult result = displayPass(window_, surface_->surface(), window_.screenScale(), invalid);
  ++window_.displayPasses_;
  window_.lastDamage_ = result.damage;
  if (!result.rects.empty())
    presented(result.rects);
  return true;
}

double inputTime() {
  if (TestClock::isEnabled())
    return TestClock::now();
  return double(g_get_monotonic_time()) / 1e6;
}

}  // namespace ui_backend
