#include "UIKit/UITouch.h"

#include <algorithm>

#include "UIKit/UIEvent.h"
#include "UIKit/UIView.h"
#include "UIKit/UIWindow.h"

UITouch::UITouch(std::weak_ptr<UIWindow> window, CGPoint location, double timestamp)
    : window_(std::move(window)), location_(location), previous_(location), timestamp_(timestamp) {}

CGPoint UITouch::location(const UIView* in) const { return in ? in->convertFrom(location_, nullptr) : location_; }

CGPoint UITouch::previousLocation(const UIView* in) const {
  return in ? in->convertFrom(previous_, nullptr) : previous_;
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

UITouchSet UIEvent::touches(const UIView* forView) const {
  std::vector<std::shared_ptr<UITouch>> own;
  for (const auto& t : all_) {
    if (t->view().get() == forView) own.push_back(t);
  }
  return UITouchSet(std::move(own));
}
