// Test-only entry points of UIKit: how many times a view drew and a control sent each event, and
// another way for UIApplication::open() to reach the desktop. Built into platform_uikit_testing,
// which only tests and benchmarks link. [main]
#pragma once

#include <cstdint>

#include "UIKit/UIApplication.h"
#include "UIKit/UIControl.h"
#include "UIKit/UIView.h"

struct UIViewTesting {
  // How many times draw(_:) ran for `view`.
  static std::uint64_t drawCount(const UIView& view);
};

struct UIControlTesting {
  // How many times `event` (one event bit) was sent by `control`; 0 for no or several bits.
  static std::uint64_t sentCount(const UIControl& control, UIControlEvents event);
};

struct UIApplicationTesting {
  // Replaces the way open() reaches the desktop; null goes back to GIO's.
  static void setURLOpener(UIApplication::URLOpener opener);
};
