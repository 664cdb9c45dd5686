// Internal to the windows: turns input into touches and recogniser input for one window.
//
// A touch is known by an identifier the input source picks (the mouse is one fixed touch, each
// touch-screen sequence another). At its first contact the window is hit-tested; the touch then
// belongs to that view and to the gesture recognisers of that view and its ancestors for its whole
// life. Each change goes first to the recognisers, then to the view's touch handlers, unless a
// recogniser has cancelled the touch in its view (or the view takes one touch at a time and has one).
// Pinch input (touch-pad, Ctrl+wheel) goes to the pinch recognisers under the point. [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <cstdint>
#include <memory>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UITouch.h"

class UIWindow;
class UIView;
class UIGestureRecognizer;

namespace ui_backend {

class TouchRouter {
 public:
  explicit TouchRouter(UIWindow& window);
  ~TouchRouter();

  // One touch changed; `windowPoint` in window coordinates, `timestamp` in seconds.
  void touch(std::uint64_t id, UITouchPhase phase, CGPoint windowPoint, double timestamp);
  // Cancels every touch that is down (the window lost its pointer grab, or closed).
  void cancelAll(double timestamp);
  // Pinch input: began at a point, changed with the scale since began, ended or cancelled.
  void pinch(UITouchPhase phase, CGPoint windowPoint, CGFloat scale);

  // Sends touchesCancelled for `touch` to its view and stops delivering it there.
  void cancelInView(const std::shared_ptr<UITouch>& touch, double timestamp);
  // The view (or one of its subviews) left the window: its touches are cancelled there.
  void forget(const UIView& view);

 private:
  struct Active {
    std::uint64_t id;
    std::shared_ptr<UITouch> touch;
  };
  UITouchSet allTouches() const;
  std::vector<std::shared_ptr<UIGestureRecognizer>> recognizersFor(const std::shared_ptr<UIView>& view,
                                                                   const UITouch& touch) const;
  void updatePeers();

  UIWindow& window_;
  std::vector<Active> active_;
  std::vector<std::weak_ptr<UIGestureRecognizer>> pinchRecognizers_;
  CGPoint lastTapPoint_;
  double lastTapTime_ = -1e9;
  int lastTapCount_ = 0;
};

}  // namespace ui_backend
