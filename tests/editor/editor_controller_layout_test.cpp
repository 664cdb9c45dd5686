// Placing the panel in the editor's view on every layout pass (held by a gesture: the gestures
// test), the views' order, and the three side controls as their actions drive them.
#include <gtest/gtest.h>

#include "EditorControllerTestSupport.h"

namespace {

using namespace editor_controller_test;

void expectFrame(const CGRect& actual, const CGRect& expected) {
  for (const auto& [a, e] : {std::pair{actual.origin.x, expected.origin.x},
                             {actual.origin.y, expected.origin.y},
                             {actual.size.width, expected.size.width},
                             {actual.size.height, expected.size.height}})
    EXPECT_NEAR(a, e, 1e-9);
}

TEST_F(EditorControllerTest, LayoutFitsThePanelToTheViewKeepingItsAspect) {
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  const double r = 340.0 / 512.0;
  struct Case {
    CGFloat w, h;
    bool fitToHeight;
    CGRect expected;
  };
  const Case cases[] = {
      {1000, 500, true, {500 - 250 / r, 0, 500 / r, 500}},
      {600, 600, true, {0, 100.78125, 600, 398.4375}},      // square or taller: as wide as the view
      {1000, 900, true, {500 - 450 / r, 0, 900 / r, 900}},  // overhangs both sides, no clamping
      {1000, 500, false, {0, -82.03125, 1000, 664.0625}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h
                                    << (c.fitToHeight ? " fit to height" : " fit to width"));
    controller->fitToHeight = c.fitToHeight;
    controller->view()->setFrame({0, 0, c.w, c.h});  // a bounds change lays the view out at once
    expectFrame(controller->pluginView->frame(), c.expected);
    EXPECT_EQ(controller->displayView->frame().size, controller->pluginView->bounds().size);
  }
}

TEST_F(EditorControllerTest, SideControlsToggleSliderContrastAndFreeze) {
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  auto& button = *controller->contrastButton;
  auto& slider = *controller->brightnessSlider;
  {
    SCOPED_TRACE("contrast button: shows the slider and locks, then hides it and unlocks");
    button.sendActions(UIControlEvents::touchUpInside);
    EXPECT_TRUE(!slider.isHidden() && controller->touchesLocked());
    button.sendActions(UIControlEvents::touchUpInside);
    EXPECT_TRUE(slider.isHidden() && !controller->touchesLocked());
  }
  {
    SCOPED_TRACE("slider at 0.3: one contrast for frame, panel and gauge, as the Float's exact value");
    controller->pluginFrame->clearNeedsDisplay();
    slider.setValue(0.3f);
    slider.sendActions(UIControlEvents::valueChanged);
    const CGFloat c = 0.30000001192092896;
    EXPECT_EQ(controller->pluginFrame->contrast, 0.3f);
    EXPECT_TRUE(controller->pluginFrame->needsDisplay());
    EXPECT_EQ(controller->mainView->baseClass().colorContrastInverted, UIColor(c, c, c, 1));
    EXPECT_EQ(controller->displayView->baseClass().colorContrastInverted, UIColor(c, c, c, 1));
  }
  {
    SCOPED_TRACE("freeze button: frozen, then free again (what freezing holds: the gestures test)");
    controller->freezeButton->sendActions(UIControlEvents::touchUpInside);
    EXPECT_FALSE(controller->isSizeable);
    controller->freezeButton->sendActions(UIControlEvents::touchUpInside);
    EXPECT_TRUE(controller->isSizeable);
  }
}

}  // namespace
