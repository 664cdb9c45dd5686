#include "UIKit/internal/TouchRouter.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIWindow.h"

namespace ui_backend {
namespace {

// A touch that comes down this soon and this close after the last one lifted continues its taps.
constexpr double multiTapInterval = 0.35;
constexpr CGFloat multiTapDistance = 40;

bool viewHasOtherTouch(const std::vector<std::shared_ptr<UITouch>>& touches, const UITouch& touch) {
  return std::any_of(touches.begin(), touches.end(), [&](const auto& t) {
    return t.get() != &touch && t->view() == touch.view() && t->deliversToView();
  });
}

}  // namespace

TouchRouter::TouchRouter(UIWindow& window) : window_(window) {}

TouchRouter::~TouchRouter() = default;

UITouchSet TouchRouter::allTouches() const {
  std::vector<std::shared_ptr<UITouch>> all;
  for (const auto& a : active_)
    all.push_back(a.touch);
  return UITouchSet(std::move(all));
}

std::vector<std::shared_ptr<UIGestureRecognizer>> TouchRouter::recognizersFor(
    const std::shared_ptr<UIView>& view, const UITouch& touch) const {
  std::vector<std::shared_ptr<UIGestureRecognizer>> found;
  for (auto v = view; v; v = v->superview()) {
    for (const auto& r : v->gestureRecognizers()) {
      auto* delegate = r->delegate();
      if (r->isEnabled() && (!delegate || delegate->gestureRecognizerShouldReceive(*r, touch)))
        found.push_back(r);
    }
  }
  // Those that wait for others to fail see each touch last, so that a failure the touch causes (a
  // second tap too far away) settles what they were waiting for before they look at it.
  std::stable_partition(found.begin(), found.end(),
                        [](const auto& r) { return !r->hasFailureRequirements(); });
  return found;
}

// Every recogniser that sees one of the current touches competes with the others.
void TouchRouter::updatePeers() {
  std::vector<std::weak_ptr<UIGestureRecognizer>> peers;
  std::vector<UIGestureRecognizer*> seen;
  for (const auto& a : active_) {
    for (const auto& r : a.touch->gestureRecognizers()) {
      if (std::find(seen.begin(), seen.end(), r.get()) != seen.end())
        continue;
      seen.push_back(r.get());
      peers.push_back(r);
    }
  }
  for (const auto& a : active_) {
    for (const auto& r : a.touch->gestureRecognizers())
      r->setPeers(peers);
  }
}

void TouchRouter::touch(std::uint64_t id, UITouchPhase phase, CGPoint point, double timestamp) {
  auto it = std::find_if(active_.begin(), active_.end(), [&](const Active& a) { return a.id == id; });
  std::shared_ptr<UITouch> touch;
  if (phase == UITouchPhase::began) {
    if (it != active_.end())
      return;  // already down: a repeated press is ignored
    if (!std::isfinite(point.x) || !std::isfinite(point.y))
      return;
    auto hit = window_.hitTest(window_.convertFrom(point, nullptr), nullptr);
    if (!hit)
      return;
    touch = std::make_shared<UITouch>(std::static_pointer_cast<UIWindow>(window_.shared_from_this()), point,
                                      timestamp);
    touch->setView(hit);
    const bool continues =
        timestamp - lastTapTime_ <= multiTapInterval &&
        std::hypot(point.x - lastTapPoint_.x, point.y - lastTapPoint_.y) <= multiTapDistance;
    touch->setTapCount(continues ? lastTapCount_ + 1 : 1);
    touch->setGestureRecognizers(recognizersFor(hit, *touch));
    active_.push_back({id, touch});
    updatePeers();
  } else {
    if (it == active_.end())
      return;
    touch = it->touch;
    if (std::isfinite(point.x) && std::isfinite(point.y)) {
      touch->update(point, phase, timestamp);
    } else {
      touch->update(touch->windowLocation(), phase, timestamp);
    }
  }

  const UIEvent event(timestamp, allTouches());
  const UITouchSet changed({touch});
  // Recognisers may cancel the touch in its view while they look at it; keep the list alive.
  const auto recognizers = touch->gestureRecognizers();
  for (const auto& r : recognizers) {
    switch (phase) {
      case UITouchPhase::began:
        r->deliverTouchesBegan(changed, event);
        break;
      case UITouchPhase::moved:
      case UITouchPhase::stationary:
        r->deliverTouchesMoved(changed, event);
        break;
      case UITouchPhase::ended:
        r->deliverTouchesEnded(changed, event);
        break;
      case UITouchPhase::cancelled:
        r->deliverTouchesCancelled(changed, event);
        break;
    }
  }

  if (phase == UITouchPhase::began) {
    // A running recogniser that cancels touches in its view takes new touches from the view too.
    const bool taken = std::any_of(recognizers.begin(), recognizers.end(),
                                   [](const auto& r) { return r->isRunning() && r->cancelsTouchesInView(); });
    std::vector<std::shared_ptr<UITouch>> others;
    for (const auto& a : active_)
      others.push_back(a.touch);
    auto view = touch->view();
    if (taken || !view || (!view->isMultipleTouchEnabled() && viewHasOtherTouch(others, *touch)))
      touch->setDeliversToView(false);
  }
  if (auto view = touch->view(); view && touch->deliversToView()) {
    switch (phase) {
      case UITouchPhase::began:
        view->touchesBegan(changed, &event);
        break;
      case UITouchPhase::moved:
      case UITouchPhase::stationary:
        view->touchesMoved(changed, &event);
        break;
      case UITouchPhase::ended:
        view->touchesEnded(changed, &event);
        break;
      case UITouchPhase::cancelled:
        view->touchesCancelled(changed, &event);
        break;
    }
  }

  if (phase == UITouchPhase::ended || phase == UITouchPhase::cancelled) {
    if (phase == UITouchPhase::ended) {
      lastTapPoint_ = touch->windowLocation();
      lastTapTime_ = timestamp;
      lastTapCount_ = touch->tapCount();
    }
    std::erase_if(active_, [&](const Active& a) { return a.touch == touch; });
    for (const auto& r : recognizers)
      r->resetIfIdle();
    updatePeers();
  }
}

void TouchRouter::cancelAll(double timestamp) {
  while (!active_.empty()) {
    const Active a = active_.front();
    touch(a.id, UITouchPhase::cancelled, a.touch->windowLocation(), timestamp);
  }
}

void TouchRouter::cancelInView(const std::shared_ptr<UITouch>& touch, double timestamp) {
  if (!touch->deliversToView())
    return;
  touch->setDeliversToView(false);
  auto view = touch->view();
  if (!view)
    return;
  const UIEvent event(timestamp, allTouches());
  const UITouchSet cancelled({touch});
  view->touchesCancelled(cancelled, &event);
}

void TouchRouter::forget(const UIView& view) {
  for (const auto& a : active_) {
    auto v = a.touch->view();
    if (v && v->isDescendant(view) && a.touch->deliversToView()) {
      cancelInView(a.touch, a.touch->timestamp());
      a.touch->setView({});
    }
  }
}

void TouchRouter::pinch(UITouchPhase phase, CGPoint point, CGFloat scale) {
  if (phase == UITouchPhase::began) {
    pinchRecognizers_.clear();
    auto hit = window_.hitTest(window_.convertFrom(point, nullptr), nullptr);
    for (auto v = hit; v; v = v->superview()) {
      for (const auto& r : v->gestureRecognizers()) {
        if (r->isEnabled() && r->pinchInput(UITouchPhase::began, point, 1))
          pinchRecognizers_.push_back(r);
      }
    }
    return;
  }
  const auto recognizers = pinchRecognizers_;
  for (const auto& weak : recognizers) {
    if (auto r = weak.lock())
      r->pinchInput(phase, point, scale);
  }
  if (phase == UITouchPhase::ended || phase == UITouchPhase::cancelled)
    pinchRecognizers_.clear();
}

}  // namespace ui_backend
