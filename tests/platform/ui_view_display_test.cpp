// Display passes: marks are gathered and drawn once per pass, only marked views are redrawn (the
// rest are composited from their backing), draw(_:) always gets the whole bounds with a current
// context, a new size redraws, and layout passes run first and reach the owning controller.
#include "UIKit/testing/UIKitTesting.h"
#include "ui_view_support.h"

using namespace ui_view_test;

namespace {

class UIViewDisplay : public HeadlessWindowTest {};

TEST_F(UIViewDisplay, ManyMarksMakeOneDrawPerPass) {
  auto view = ProbeView::make("v", CGRect(10, 10, 30, 20));
  window->addSubview(view);
  UITestSupport::display(*window);
  ASSERT_EQ(UIViewTesting::drawCount(*view), 1u);
  for (int i = 0; i < 100; ++i)
    view->setNeedsDisplay();
  view->setNeedsDisplay(CGRect(1, 1, 2, 2));  // a part still redraws the whole view
  const auto passes = window->displayPassCount();
  EXPECT_TRUE(UITestSupport::display(*window));
  EXPECT_EQ(UIViewTesting::drawCount(*view), 2u);
  EXPECT_EQ(view->lastRect, CGRect(0, 0, 30, 20));
  EXPECT_TRUE(view->hadContext);
  EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr) << "a context is current only inside draw(_:)";
  EXPECT_FALSE(UITestSupport::display(*window)) << "nothing marked, no pass";
  EXPECT_EQ(window->displayPassCount(), passes + 1);
  {
    SCOPED_TRACE("the main loop runs a pass of its own");
    for (int i = 0; i < 10; ++i)
      view->setNeedsDisplay();
    MainLoop::runUntilIdle();
    EXPECT_EQ(UIViewTesting::drawCount(*view), 3u);
    EXPECT_EQ(window->displayPassCount(), passes + 2);
  }
}

TEST_F(UIViewDisplay, OnlyMarkedViewsAreRedrawn) {
  // A panel with a small meter over it: the meter redraws at its own rate, the panel never again.
  auto panel = ProbeView::make("panel", CGRect(0, 0, 100, 80));
  panel->setBackgroundColor(UIColor::blue());
  auto meter = ProbeView::make("meter", CGRect(60, 50, 20, 10));
  panel->addSubview(meter);
  window->addSubview(panel);
  UITestSupport::display(*window);
  for (int frame = 1; frame <= 25; ++frame) {
    meter->setBackgroundColor(frame % 2 ? UIColor::red() : UIColor::green());  // marks the meter
    UITestSupport::display(*window);
  }
  EXPECT_EQ(UIViewTesting::drawCount(*panel), 1u);
  EXPECT_EQ(UIViewTesting::drawCount(*meter), 26u);
  EXPECT_EQ(window->lastDamage(), CGRect(60, 50, 20, 10)) << "only the meter's rectangle is composited";
  EXPECT_EQ(window->surface().pixel(70, 55), kRed);
  EXPECT_EQ(window->surface().pixel(30, 30), kBlue);
  {
    SCOPED_TRACE("moving a view composites again without redrawing");
    meter->setFrame(CGRect(10, 10, 20, 10));
    const auto& p = picture();
    EXPECT_EQ(UIViewTesting::drawCount(*meter), 26u);
    EXPECT_EQ(p.pixel(15, 15), kRed);
    EXPECT_EQ(p.pixel(70, 55), kBlue);
  }
  {
    SCOPED_TRACE("a new size is drawn anew at that size, never stretched");
    meter->setFrame(CGRect(10, 10, 40, 10));
    UITestSupport::display(*window);
    EXPECT_EQ(UIViewTesting::drawCount(*meter), 27u);
    EXPECT_EQ(meter->lastRect, CGRect(0, 0, 40, 10));
    EXPECT_EQ(UIViewTesting::drawCount(*panel), 1u);
  }
  {
    SCOPED_TRACE("a hidden view keeps its mark until it shows");
    meter->setHidden(true);
    meter->setNeedsDisplay();
    UITestSupport::display(*window);
    EXPECT_EQ(UIViewTesting::drawCount(*meter), 27u);
    meter->setHidden(false);
    UITestSupport::display(*window);
    EXPECT_EQ(UIViewTesting::drawCount(*meter), 28u);
  }
  {
    SCOPED_TRACE("a view added to the window is drawn in the next pass");
    auto late = ProbeView::make("late", CGRect(0, 0, 5, 5));
    window->addSubview(late);
    UITestSupport::display(*window);
    EXPECT_EQ(UIViewTesting::drawCount(*late), 1u);
  }
}

TEST_F(UIViewDisplay, WindowScaleDrawsBackingsAtDevicePixels) {
  auto view = ProbeView::make("v", CGRect(10, 10, 10, 10));
  view->setBackgroundColor(UIColor::red());
  window->addSubview(view);
  window->setScreenScale(2);
  const auto& p = picture();
  EXPECT_EQ(p.pixelWidth(), 200);
  EXPECT_EQ(p.pixel(20, 20), kRed);
  EXPECT_EQ(p.pixel(39, 39), kRed);
  EXPECT_EQ(p.pixel(40, 40), kWhite);
  {
    SCOPED_TRACE("a picture of one view, at its own origin");
    auto image = UITestSupport::render(*view, 3);
    EXPECT_EQ(image->pixelWidth(), 30);
    EXPECT_EQ(image->pixel(29, 29), kRed);
  }
}

// Writes down each layout pass of the view it owns.
class LayoutOwner : public UIViewOwner {
 public:
  void viewDidLayoutSubviews() override { ++passes; }
  UIResponder* ownerResponder() override { return nullptr; }
  int passes = 0;
};

TEST_F(UIViewDisplay, LayoutRunsBeforeDrawingAndReachesTheOwner) {
  LayoutOwner owner;
  auto root = UIView::make(CGRect(0, 0, 10, 10));
  root->setViewOwner(&owner);
  auto pinned = ProbeView::make("pinned", CGRect());
  root->addSubview(pinned);
  NSLayoutConstraint::activate({pinned->topAnchor().constraint(root->topAnchor()),
                                pinned->leadingAnchor().constraint(root->leadingAnchor()),
                                pinned->bottomAnchor().constraint(root->bottomAnchor()),
                                pinned->trailingAnchor().constraint(root->trailingAnchor())});
  owner.passes = 0;
  {
    SCOPED_TRACE("a bounds change lays out at once");
    root->setFrame(CGRect(0, 0, 50, 40));
    EXPECT_EQ(owner.passes, 1);
    EXPECT_EQ(pinned->frame(), CGRect(0, 0, 50, 40));
    root->setFrame(CGRect(5, 5, 50, 40));  // moved, same size
    EXPECT_EQ(owner.passes, 1);
  }
  {
    SCOPED_TRACE("a requested layout waits for layoutIfNeeded, once however often requested");
    root->setNeedsLayout();
    root->setNeedsLayout();
    EXPECT_EQ(owner.passes, 1);
    root->layoutIfNeeded();
    root->layoutIfNeeded();
    EXPECT_EQ(owner.passes, 2);
  }
  {
    SCOPED_TRACE("in a window, the display pass lays out first; the window pins a root view");
    window->addSubview(root);  // adding marks the window for layout
    root->setNeedsLayout();
    UITestSupport::display(*window);
    EXPECT_EQ(owner.passes, 3);
    EXPECT_EQ(UIViewTesting::drawCount(*pinned), 1u);
    EXPECT_EQ(pinned->lastRect, CGRect(0, 0, 50, 40));
  }
  root->setViewOwner(nullptr);
}

}  // namespace
