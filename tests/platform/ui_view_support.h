// Helpers for the view, display and input tests: a headless window fixture on the test clock, views
// that count their drawing and write down the touches they get, and readable pixels. [main]
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CoreGraphics/CGBitmapContext.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/Timer.h"
#include "Dispatch/testing/TestClock.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UITestSupport.h"

inline std::ostream& operator<<(std::ostream& os, const CGPixel& p) {
  return os << "rgba(" << int(p.red) << ", " << int(p.green) << ", " << int(p.blue) << ", " << int(p.alpha)
            << ")";
}

namespace ui_view_test {

using Lines = std::vector<std::string>;

constexpr CGPixel kWhite{255, 255, 255, 255};
constexpr CGPixel kRed{255, 0, 0, 255};
constexpr CGPixel kGreen{0, 255, 0, 255};
constexpr CGPixel kBlue{0, 0, 255, 255};

// A view that counts and checks its drawing passes and writes down its touches as
// "<name>.began(x,y)" with the location in its own coordinates.
class ProbeView : public UIView {
 public:
  static std::shared_ptr<ProbeView> make(std::string name, CGRect frame,
                                         std::vector<std::string>* journal = nullptr) {
    return std::shared_ptr<ProbeView>(new ProbeView(std::move(name), frame, journal));
  }

  void draw(const CGRect& rect) override {
    lastRect = rect;
    hadContext = UIGraphicsGetCurrentContext() != nullptr;
  }
  void touchesBegan(const UITouchSet& t, const UIEvent*) override { note("began", t); }
  void touchesMoved(const UITouchSet& t, const UIEvent*) override { note("moved", t); }
  void touchesEnded(const UITouchSet& t, const UIEvent*) override { note("ended", t); }
  void touchesCancelled(const UITouchSet& t, const UIEvent*) override { note("cancelled", t); }

  CGRect lastRect;
  bool hadContext = false;

 private:
  ProbeView(std::string name, CGRect frame, std::vector<std::string>* journal)
      : UIView(frame), name_(std::move(name)), journal_(journal) {}
  void note(const char* what, const UITouchSet& touches) {
    if (!journal_)
      return;
    const CGPoint p = touches.first()->location(this);
    journal_->push_back(name_ + "." + what + "(" + fmt(p.x) + "," + fmt(p.y) + ")");
  }
  static std::string fmt(CGFloat v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
  }
  std::string name_;
  std::vector<std::string>* journal_;
};

// A headless window of 100 x 100 points with a white background, on the test clock.
class HeadlessWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UIWindow::useBackend(UIWindowBackendKind::headless));
    TestClock::enable();
    window = UIWindow::make(CGRect(0, 0, 100, 100));
    window->setBackgroundColor(UIColor::white());
  }
  void TearDown() override {
    window.reset();
    MainLoop::runUntilIdle();
    TestClock::disable();
  }

  // The window's picture after a display pass.
  const CGBitmapContext& picture() {
    UITestSupport::display(*window);
    return window->surface();
  }

  std::shared_ptr<UIWindow> window;
  Lines journal;
};

inline std::vector<std::string> take(std::vector<std::string>& journal) {
  auto lines = std::move(journal);
  journal.clear();
  return lines;
}

}  // namespace ui_view_test
