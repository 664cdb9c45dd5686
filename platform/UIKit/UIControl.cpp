#include "UIKit/UIControl.h"

namespace {

// Events are single bits below 1 << 16; the counters are indexed by bit.
constexpr int countedBits = 16;

}  // namespace

UIControl::UIControl(CGRect frame) : UIView(frame) {}

std::shared_ptr<UIControl> UIControl::make(CGRect frame) {
  return std::shared_ptr<UIControl>(new UIControl(frame));
}

void UIControl::addTarget(Action action, UIControlEvents events) {
  if (action)
    targets_.push_back({std::move(action), events});
}

void UIControl::sendActions(UIControlEvents events) {
  for (int bit = 0; bit < countedBits; ++bit) {
    if (std::uint64_t(events) & (std::uint64_t(1) << bit))
      ++sentCounts_[bit];
  }
  auto keep = weak_from_this().lock();
  const auto targets = targets_;  // an action may add or remove targets
  for (const auto& t : targets) {
    if (t.events & events)
      t.action(*this);
  }
}

void UIControl::setEnabled(bool enabled) {
  if (enabled == enabled_)
    return;
  enabled_ = enabled;
  setNeedsDisplay();
}

void UIControl::setHighlighted(bool highlighted) {
  if (highlighted == highlighted_)
    return;
  highlighted_ = highlighted;
  setNeedsDisplay();
}

std::shared_ptr<UIView> UIControl::hitTest(CGPoint point, const UIEvent* event) {
  return enabled_ ? UIView::hitTest(point, event) : nullptr;
}

bool UIControl::isInsideForTracking(CGPoint point) const {
  return bounds().insetBy(-70, -70).contains(point);
}

bool UIControl::beginTracking(const UITouch&, const UIEvent*) {
  return true;
}
bool UIControl::continueTracking(const UITouch&, const UIEvent*) {
  return true;
}
void UIControl::endTracking(const UITouch*, const UIEvent*) {}
void UIControl::cancelTracking(const UIEvent*) {}

void UIControl::touchesBegan(const UITouchSet& touches, const UIEvent* event) {
  auto touch = touches.first();
  if (!touch || !enabled_)
    return;
  touchInside_ = true;
  setHighlighted(true);
  sendActions(touch->tapCount() > 1 ? UIControlEvents::touchDown | UIControlEvents::touchDownRepeat
                                    : UIControlEvents::touchDown);
  tracking_ = beginTracking(*touch, event);
}

void UIControl::touchesMoved(const UITouchSet& touches, const UIEvent* event) {
  auto touch = touches.first();
  if (!touch || !tracking_)
    return;
  const bool inside = isInsideForTracking(touch->location(this));
  if (inside != touchInside_)
    sendActions(inside ? UIControlEvents::touchDragEnter : UIControlEvents::touchDragExit);
  touchInside_ = inside;
  setHighlighted(inside);
  sendActions(inside ? UIControlEvents::touchDragInside : UIControlEvents::touchDragOutside);
  tracking_ = continueTracking(*touch, event);
}

void UIControl::touchesEnded(const UITouchSet& touches, const UIEvent* event) {
  auto touch = touches.first();
  if (!touch || (!touchInside_ && !tracking_ && !highlighted_))
    return;
  const bool inside = isInsideForTracking(touch->location(this));
  setHighlighted(false);
  if (tracking_)
    endTracking(touch.get(), event);
  tracking_ = false;
  touchInside_ = false;
  sendActions(inside ? UIControlEvents::touchUpInside | UIControlEvents::primaryActionTriggered
                     : UIControlEvents::touchUpOutside);
}

void UIControl::touchesCancelled(const UITouchSet&, const UIEvent* event) {
  if (!tracking_ && !highlighted_)
    return;
  setHighlighted(false);
  if (tracking_)
    cancelTracking(event);
  tracking_ = false;
  touchInside_ = false;
  sendActions(UIControlEvents::touchCancel);
}
