// The panel gestures driven by injected input in a headless 1000 x 500 window: pan, pinch, tap,
// double tap and long press, with the lock the panel's controls hold and the freeze switch.
#include <gtest/gtest.h>

#include "EditorControllerTestSupport.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

using namespace editor_controller_test;
using UITestSupport::TouchInjector;

// The transform helpers, which nothing else in the editor calls.
class ExposedController : public AudioUnitViewController {
 public:
  using AudioUnitViewController::doScalingTransform;
  using AudioUnitViewController::doTranslationTransform;
};

class EditorGestureTest : public EditorControllerTest {
 protected:
  void SetUp() override {
    EditorControllerTest::SetUp();
    controller = std::make_shared<ExposedController>();
    window = showInWindow(controller, {0, 0, 1000, 500});
    fingers = std::make_unique<TouchInjector>(*window);
  }
  void TearDown() override {
    fingers.reset();
    window.reset();
    controller.reset();
    EditorControllerTest::TearDown();
  }
  CGRect panelFrame() const { return controller->pluginView->frame(); }
  // A layout pass of the editor's view, as the host's next resize would bring.
  void layOut() {
    controller->view()->setNeedsLayout();
    controller->view()->layoutIfNeeded();
  }

  // Left of the panel in every case below; on the editor's own view, away from the side controls.
  static constexpr CGPoint kMargin{20, 450};
  static constexpr CGRect kFitted = kFittedIn1000x500;

  std::shared_ptr<ExposedController> controller;
  std::shared_ptr<UIWindow> window;
  std::unique_ptr<TouchInjector> fingers;
};

TEST_F(EditorGestureTest, PanMovesThePanelFromWhereItStartedUnlessLocked) {
  {
    SCOPED_TRACE("a drag by (30, -20) from (100, 50, 512, 340)");
    controller->pluginView->setFrame({100, 50, 512, 340});
    fingers->down(0, kMargin);
    fingers->move(0, {kMargin.x + 15, kMargin.y - 10});
    EXPECT_TRUE(controller->lockAutoLayout);
    EXPECT_EQ(controller->controlFrame, (CGRect{100, 50, 512, 340}));
    fingers->move(0, {kMargin.x + 30, kMargin.y - 20});
    EXPECT_EQ(panelFrame(), (CGRect{130, 30, 512, 340}));
    fingers->up(0, {kMargin.x + 30, kMargin.y - 20});
    EXPECT_EQ(panelFrame(), (CGRect{130, 30, 512, 340}));
    EXPECT_FALSE(controller->lockAutoLayout);
    EXPECT_FALSE(controller->touchesLocked());
    EXPECT_EQ(controller->controlFrame, (CGRect{130, 30, 512, 340}));
    layOut();
    EXPECT_EQ(panelFrame(), kFitted);
  }
  {
    SCOPED_TRACE(
        "locked mid-drag: the end is ignored too, so layout keeps the panel until a later gesture ends");
    fingers->down(0, kMargin);
    fingers->move(0, {kMargin.x + 15, kMargin.y});
    fingers->move(0, {kMargin.x + 40, kMargin.y});
    controller->setTouchesLocked(true);  // a control took the lock
    fingers->move(0, {kMargin.x + 80, kMargin.y});
    fingers->up(0, {kMargin.x + 80, kMargin.y});
    EXPECT_TRUE(controller->lockAutoLayout);
    const CGRect dragged = panelFrame();
    EXPECT_EQ(dragged.origin.x, kFitted.origin.x + 40);
    layOut();
    EXPECT_EQ(panelFrame(), dragged);
    fingers->pinchBegan({500, 250});
    fingers->pinchEnded();
    EXPECT_FALSE(controller->lockAutoLayout);
    EXPECT_FALSE(controller->touchesLocked());
    layOut();
    EXPECT_EQ(panelFrame(), kFitted);
  }
}

TEST_F(EditorGestureTest, PinchZoomsAboutTheCentreWithinItsWidthLimits) {
  controller->pluginView->setFrame({0, 0, 512, 340});
  fingers->pinchBegan({256, 170});
  EXPECT_TRUE(controller->lockAutoLayout);
  struct Step {
    CGFloat scale;
    CGRect expected;
  };
  const Step steps[] = {
      {0.25, {192, 127.5, 128, 85}},     // 128 is allowed
      {0.2, {192, 127.5, 128, 85}},      // 102.4 wide: ignored, not clamped
      {4, {-768, -510, 2048, 1360}},     // 2048 is allowed
      {4.01, {-768, -510, 2048, 1360}},  // 2053.12: ignored
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "scale " << step.scale);
    fingers->pinchChanged(step.scale);
    EXPECT_EQ(panelFrame(), step.expected);
  }
  fingers->pinchEnded();
  EXPECT_FALSE(controller->lockAutoLayout);
  EXPECT_EQ(controller->controlFrame, (CGRect{-768, -510, 2048, 1360}));
}

TEST_F(EditorGestureTest, FrozenPanelIgnoresPanAndPinchButTapsStillWork) {
  controller->freezeButton->sendActions(UIControlEvents::touchUpInside);
  ASSERT_FALSE(controller->isSizeable);
  controller->pluginView->setFrame({100, 50, 512, 340});
  controller->setTouchesLocked(true);
  fingers->drag(kMargin, {kMargin.x + 50, kMargin.y - 50});
  fingers->pinchBegan({500, 250});
  fingers->pinchChanged(0.5);
  fingers->pinchEnded();
  EXPECT_EQ(panelFrame(), (CGRect{100, 50, 512, 340}));
  EXPECT_TRUE(controller->touchesLocked());  // a frozen pinch does not clear the lock
  EXPECT_FALSE(controller->lockAutoLayout);
  {
    SCOPED_TRACE("a double tap puts the panel back and unlocks");
    fingers->tap(kMargin);
    TestClock::advance(0.1);
    fingers->tap(kMargin);
    EXPECT_EQ(panelFrame(), kFitted);
    EXPECT_FALSE(controller->touchesLocked());
  }
  {
    SCOPED_TRACE("a single tap, once the double tap has failed, unlocks and takes the frame");
    TestClock::advance(1);
    controller->setTouchesLocked(true);
    controller->pluginView->setFrame({1, 2, 512, 340});
    fingers->tap(kMargin);
    TestClock::advance(0.5);
    EXPECT_FALSE(controller->touchesLocked());
    EXPECT_EQ(controller->controlFrame, (CGRect{1, 2, 512, 340}));
  }
}

TEST_F(EditorGestureTest, LongPressHidesAndShowsTheSideControls) {
  auto& contrast = *controller->contrastButton;
  auto& freeze = *controller->freezeButton;
  auto& slider = *controller->brightnessSlider;
  contrast.sendActions(UIControlEvents::touchUpInside);  // slider shown, locked
  ASSERT_FALSE(slider.isHidden());
  {
    SCOPED_TRACE("first press hides buttons and slider; its end sets the hidden button's alpha to 1");
    fingers->down(0, kMargin);
    TestClock::advance(0.5);
    EXPECT_TRUE(contrast.isHidden());
    EXPECT_TRUE(freeze.isHidden());
    EXPECT_TRUE(slider.isHidden());
    EXPECT_FALSE(controller->touchesLocked());
    fingers->up(0, kMargin);
    EXPECT_EQ(contrast.alpha(), 1.0);
    EXPECT_FALSE(controller->touchesLocked());
  }
  {
    SCOPED_TRACE("second press shows both buttons, locked while held; the slider stays hidden");
    TestClock::advance(1);
    fingers->down(0, kMargin);
    TestClock::advance(0.5);
    EXPECT_FALSE(contrast.isHidden());
    EXPECT_FALSE(freeze.isHidden());
    EXPECT_TRUE(controller->touchesLocked());
    fingers->up(0, kMargin);
    EXPECT_FALSE(controller->touchesLocked());
    EXPECT_TRUE(slider.isHidden());
  }
}

TEST_F(EditorGestureTest, TransformHelpersMoveAndZoomAView) {
  auto view = UIView::make({0, 0, 10, 10});
  const CGRect origin{0, 0, 512, 340};
  view->clearNeedsDisplay();
  controller->doScalingTransform(*view, origin, 0.25);  // 128 wide: below this helper's 256
  EXPECT_EQ(view->frame(), (CGRect{0, 0, 10, 10}));
  EXPECT_FALSE(view->needsDisplay());
  controller->doScalingTransform(*view, origin, 0.5);
  EXPECT_EQ(view->frame(), (CGRect{128, 85, 256, 170}));
  EXPECT_TRUE(view->needsDisplay());
  controller->doTranslationTransform(*view, origin, {30, -20});
  EXPECT_EQ(view->frame(), (CGRect{30, -20, 512, 340}));
}

}  // namespace
