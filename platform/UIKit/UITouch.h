// A finger (or the pressed mouse button) on the screen, and the set of them a touch handler gets.
// A touch belongs to the view hit-tested at its first contact for its whole life; its location
// can be read in any view's coordinates. Touches are made by the window's input routing (or by
// tests through UITestSupport); all members belong to the main thread. [main]
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class UIView;
class UIWindow;
class UIGestureRecognizer;

enum class UITouchPhase { began = 0, moved = 1, stationary = 2, ended = 3, cancelled = 4 };

class UITouch {
 public:
  // A touch at `location` in the window's coordinates. [main]
  UITouch(std::weak_ptr<UIWindow> window, CGPoint location, double timestamp);

  // The location in `view`'s own coordinates (through every transform on the way); in the window's
  // coordinates for a null view. [main]
  CGPoint location(const UIView* in) const;

  UITouchPhase phase() const { return phase_; }
  // Seconds on the main-loop clock of the last change.
  double timestamp() const { return timestamp_; }
  // 1 for a single tap, 2 for the second touch of a double tap, ...
  int tapCount() const { return tapCount_; }
  std::shared_ptr<UIView> view() const { return view_.lock(); }
  std::shared_ptr<UIWindow> window() const { return window_.lock(); }
  // The recognisers that receive this touch (those on its view and the view's ancestors).
  const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

  // Input routing only: moves the touch on. [main]
  void update(CGPoint windowLocation, UITouchPhase phase, double timestamp);
  void setView(std::weak_ptr<UIView> view) { view_ = std::move(view); }
  void setTapCount(int count) { tapCount_ = count; }
  void setGestureRecognizers(std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers) {
    recognizers_ = std::move(recognizers);
  }
  CGPoint windowLocation() const { return location_; }
  // Whether the hit view still gets this touch (not once a recogniser has cancelled it there).
  bool deliversToView() const { return deliversToView_; }
  void setDeliversToView(bool delivers) { deliversToView_ = delivers; }

 private:
  std::weak_ptr<UIWindow> window_;
  std::weak_ptr<UIView> view_;
  CGPoint location_;
  CGPoint previous_;
  UITouchPhase phase_ = UITouchPhase::began;
  double timestamp_;
  int tapCount_ = 1;
  bool deliversToView_ = true;
  std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
};

// The touches a handler is given, in the order the touches began, so `first()` is the oldest.
// Handlers must not rely on any other order. [main]
class UITouchSet {
 public:
  UITouchSet() = default;
  explicit UITouchSet(std::vector<std::shared_ptr<UITouch>> touches) : touches_(std::move(touches)) {}

  // The first touch, or null for an empty set.
  std::shared_ptr<UITouch> first() const { return touches_.empty() ? nullptr : touches_.front(); }
  std::size_t size() const { return touches_.size(); }
  std::size_t count() const { return touches_.size(); }
  bool empty() const { return touches_.empty(); }
  bool contains(const UITouch* touch) const;
  auto begin() const { return touches_.begin(); }
  auto end() const { return touches_.end(); }
  const std::vector<std::shared_ptr<UITouch>>& all() const { return touches_; }

 private:
  std::vector<std::shared_ptr<UITouch>> touches_;
};
