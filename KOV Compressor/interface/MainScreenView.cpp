// The main screen's layout.
#include "MainScreenView.h"

#include <algorithm>

#include "UIKit/UIWindow.h"

namespace {

void place(const std::weak_ptr<UIView>& weak, const CGRect& frame) {
  if (const auto view = weak.lock())
    view->setFrame(frame);
}

}  // namespace

std::shared_ptr<MainScreenView> MainScreenView::make(CGRect frame) {
  return std::shared_ptr<MainScreenView>(new MainScreenView(frame));
}

CGRect MainScreenView::containerFrame(const CGRect& bounds) {
  const CGFloat top = barHeight + margin;
  return CGRect(margin, top, std::max<CGFloat>(bounds.width() - 2 * margin, 0),
                std::max<CGFloat>(bounds.height() - top - margin, 0));
}

void MainScreenView::layoutSubviews() {
  UIView::layoutSubviews();
  const CGRect b = bounds();
  const CGFloat y = (barHeight - buttonHeight) / 2;
  place(bar, CGRect(0, 0, b.width(), barHeight));
  for (const auto& button : transport)
    place(button, CGRect(margin, y, buttonWidth, buttonHeight));
  place(unit, CGRect(2 * margin + buttonWidth, y, buttonWidth, buttonHeight));
  place(help, CGRect(b.width() - margin - buttonWidth, y, buttonWidth, buttonHeight));
  place(info, CGRect(b.width() - 2 * (margin + buttonWidth), y, buttonWidth, buttonHeight));
  const CGFloat side = 3 * margin + 2 * buttonWidth;
  place(title, CGRect(side, y, std::max<CGFloat>(b.width() - 2 * side, 0), buttonHeight));
  place(container, containerFrame(b));
}

void MainScreenView::didMoveToWindow() {
  if (const auto shownIn = window())
    shownIn->setTitle("KOV Compressor");
}
