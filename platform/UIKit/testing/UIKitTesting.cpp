#include "UIKit/testing/UIKitTesting.h"

#include <bit>
#include <iterator>
#include <utility>

std::uint64_t UIViewTesting::drawCount(const UIView& view) {
  return view.drawCount_;
}

std::uint64_t UIControlTesting::sentCount(const UIControl& control, UIControlEvents event) {
  const auto raw = std::uint64_t(event);
  if (raw == 0 || !std::has_single_bit(raw))
    return 0;
  const auto bit = std::size_t(std::countr_zero(raw));
  return bit < std::size(control.sentCounts_) ? control.sentCounts_[bit] : 0;
}

void UIApplicationTesting::setURLOpener(UIApplication::URLOpener opener) {
  UIApplication::setURLOpener(std::move(opener));
}
