// The main screen's own view: a bar along the top with the transport place (play and stop share
// it, one shown at a time) and the unit button at the left, the application's name in the middle
// and the info and help buttons at the right; below it the editor container fills the rest of
// the window with a small margin. Every layout pass places them from the view's bounds, so the
// screen follows any window size. It names its window "KOV Compressor" when it is put in one.
// [main]
#pragma once

#include <memory>

#include "UIKit/UIView.h"

class MainScreenView : public UIView {
 public:
  static constexpr CGFloat barHeight = 56;
  static constexpr CGFloat margin = 12;
  static constexpr CGFloat buttonWidth = 96;
  static constexpr CGFloat buttonHeight = 38;

  static std::shared_ptr<MainScreenView> make(CGRect frame);

  // What the layout places (set once by the interface code).
  std::weak_ptr<UIView> bar;           // the bar's background
  std::weak_ptr<UIView> transport[2];  // play, stop
  std::weak_ptr<UIView> unit;
  std::weak_ptr<UIView> title;
  std::weak_ptr<UIView> info;
  std::weak_ptr<UIView> help;
  std::weak_ptr<UIView> container;

  // The editor container's frame for the given bounds.
  static CGRect containerFrame(const CGRect& bounds);

  void layoutSubviews() override;
  void didMoveToWindow() override;

 protected:
  explicit MainScreenView(CGRect frame) : UIView(frame) {}
};
