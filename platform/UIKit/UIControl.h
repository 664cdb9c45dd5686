// Controls: views that report what the user does to them as control events, each sent to the
// targets registered for it. A subclass either leaves touch tracking to UIControl (press, drag,
// lift inside or outside, cancel: touchDown, touchUpInside / touchUpOutside, touchCancel) or
// overrides the touch handlers and sends events itself with sendActions(for:). [main]
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "UIKit/UIView.h"

// The events a control sends, a bit set; the values are fixed (touchDown is bit 0, valueChanged
// bit 12, ...), so stored masks keep their meaning.
enum class UIControlEvents : std::uint64_t {
  touchDown = 1 << 0,
  touchDownRepeat = 1 << 1,
  touchDragInside = 1 << 2,
  touchDragOutside = 1 << 3,
  touchDragEnter = 1 << 4,
  touchDragExit = 1 << 5,
  touchUpInside = 1 << 6,
  touchUpOutside = 1 << 7,
  touchCancel = 1 << 8,
  valueChanged = 1 << 12,
  primaryActionTriggered = 1 << 13,
  allTouchEvents = 0x0FFF,
  allEvents = 0xFFFFFFFF,
};
constexpr UIControlEvents operator|(UIControlEvents a, UIControlEvents b) {
  return UIControlEvents(std::uint64_t(a) | std::uint64_t(b));
}
constexpr bool operator&(UIControlEvents a, UIControlEvents b) {
  return (std::uint64_t(a) & std::uint64_t(b)) != 0;
}

class UIControl : public UIView {
 public:
  using Event = UIControlEvents;
  using Action = std::function<void(UIControl& sender)>;

  static std::shared_ptr<UIControl> make(CGRect frame = CGRect());

  // Calls `action` for every event in `events`, after the targets added before it. [main]
  void addTarget(Action action, UIControlEvents events);
  // A member function of `target` taking the sender (the control, or a subclass it is cast to);
  // called only while `target` lives.
  template <class Target, class Sender>
  void addTarget(const std::shared_ptr<Target>& target, void (Target::*action)(Sender&),
                 UIControlEvents events);

  // Calls the actions of every target registered for any of `events`, in order. [main]
  void sendActions(UIControlEvents events);

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool highlighted);
  bool isSelected() const { return selected_; }

  // A disabled control takes no touches.
  std::shared_ptr<UIView> hitTest(CGPoint point, const UIEvent* event) override;

  // The default tracking (subclasses that override these without calling them track themselves).
  void touchesBegan(const UITouchSet& touches, const UIEvent* event) override;
  void touchesMoved(const UITouchSet& touches, const UIEvent* event) override;
  void touchesEnded(const UITouchSet& touches, const UIEvent* event) override;
  void touchesCancelled(const UITouchSet& touches, const UIEvent* event) override;

 protected:
  explicit UIControl(CGRect frame);
  // Tracking hooks for subclasses: began (return false to stop tracking), continued, ended.
  virtual bool beginTracking(const UITouch& touch, const UIEvent* event);
  virtual bool continueTracking(const UITouch& touch, const UIEvent* event);
  virtual void endTracking(const UITouch* touch, const UIEvent* event);
  virtual void cancelTracking(const UIEvent* event);
  // Whether a point (own coordinates) counts as inside while tracking: the bounds grown by 70
  // points on every side, so a finger that drifts a little off the control still ends inside.
  virtual bool isInsideForTracking(CGPoint point) const;

 private:
  // Test-only entry points (UIKit/testing/UIKitTesting.h, in platform_uikit_testing) read how
  // many times each event was sent.
  friend struct UIControlTesting;

  struct Registration {
    Action action;
    UIControlEvents events;
  };
  std::vector<Registration> targets_;
  std::uint64_t sentCounts_[16] = {};
  bool enabled_ = true;
  bool highlighted_ = false;
  bool selected_ = false;
  bool tracking_ = false;
  bool touchInside_ = false;
};

template <class Target, class Sender>
void UIControl::addTarget(const std::shared_ptr<Target>& target, void (Target::*action)(Sender&),
                          UIControlEvents events) {
  std::weak_ptr<Target> weak = target;
  addTarget(
      [weak, action](UIControl& sender) {
        auto strong = weak.lock();
        auto* typed = dynamic_cast<Sender*>(&sender);
        if (strong && typed)
          ((*strong).*action)(*typed);
      },
      events);
}
