#include "UIKit/UITouch.h"

#include <algorithm>

#include "UIKit/UIView.h"
#include "UIKit/UIWindow.h"

UITouch::UITouch(std::weak_ptr<UIWindow> window, CGPoint location, double timestamp)
    : window_(std::move(window)), location_(location), previous_(location), timestamp_(timestamp) {}

CGPoint UITouch::location(const UIView* in) const {
  return in ? in->convertFrom(location_, nullptr) : location_;
}

void UITouch::update(CGPoint windowLocation, UITouchPhase phase, double timestamp) {
  previous_ = location_;
  location_ = windowLocation;
  phase_ = phase;
  timestamp_ = timestamp;
}

bool UITouchSet::contains(const UITouch* touch) const {
  return std::any_of(touches_.begin(), touches_.end(), [&](const auto& t) { return t.get() == touch; });
}
