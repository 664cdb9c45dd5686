// Placing the panel in the editor's view on every layout pass, and the three side controls
// (contrast button, brightness slider, freeze button) as their actions drive them.
#include <gtest/gtest.h>

#include "EditorControllerTestSupport.h"

namespace {

using namespace editor_controller_test;

void expectFrame(const CGRect& actual, const CGRect& expected) {
  constexpr double kTolerance = 1e-9;
  EXPECT_NEAR(actual.origin.x, expected.origin.x, kTolerance);
  EXPECT_NEAR(actual.origin.y, expected.origin.y, kTolerance);
  EXPECT_NEAR(actual.size.width, expected.size.width, kTolerance);
  EXPECT_NEAR(actual.size.height, expected.size.height, kTolerance);
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
      // Wider than tall: as tall as the view, centred across it.
      {1000, 500, true, {500 - 250 / r, 0, 500 / r, 500}},
      // Taller than wide, and square: as wide as the view, centred down it.
      {500, 1000, true, {0, 333.984375, 500, 332.03125}},
      {600, 600, true, {0, 100.78125, 600, 398.4375}},
      // Barely wider than tall: fitted to the height it overhangs both sides (no clamping).
      {1000, 900, true, {500 - 450 / r, 0, 900 / r, 900}},
      // Fitted to the width instead: it overhangs top and bottom.
      {1000, 500, false, {0, -82.03125, 1000, 664.0625}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h
                                    << (c.fitToHeight ? " fit to height" : " fit to width"));
    controller->fitToHeight = c.fitToHeight;
    controller->view()->setFrame({0, 0, c.w, c.h});  // a bounds change lays the view out at once
    expectFrame(controller->pluginView->frame(), c.expected);
    // The panel, gauge and frame fill the container.
    EXPECT_EQ(controller->mainView->frame().size, controller->pluginView->bounds().size);
    EXPECT_EQ(controller->displayView->frame().size, controller->pluginView->bounds().size);
    EXPECT_EQ(controller->pluginFrame->frame().size, controller->pluginView->bounds().size);
  }
  {
    SCOPED_TRACE("while a gesture holds the panel, layout leaves it where it is");
    controller->lockAutoLayout = true;
    controller->pluginView->setFrame({7, 8, 100, 50});
    controller->view()->setFrame({0, 0, 800, 400});
    expectFrame(controller->pluginView->frame(), {7, 8, 100, 50});
  }
}

TEST_F(EditorControllerTest, SideControlsToggleSliderContrastAndFreeze) {
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  auto& button = *controller->contrastButton;
  auto& slider = *controller->brightnessSlider;
  {
    SCOPED_TRACE("initially: slider hidden, both buttons at half strength");
    EXPECT_TRUE(slider.isHidden());
    EXPECT_EQ(button.alpha(), 0.5);
    EXPECT_EQ(controller->freezeButton->alpha(), 0.5);
  }
  {
    SCOPED_TRACE("contrast button: shows the slider and locks, then hides it and unlocks");
    button.sendActions(UIControlEvents::touchUpInside);
    EXPECT_FALSE(slider.isHidden());
    EXPECT_EQ(button.alpha(), 1.0);
    EXPECT_TRUE(controller->touchesLocked());
    button.sendActions(UIControlEvents::touchUpInside);
    EXPECT_TRUE(slider.isHidden());
    EXPECT_EQ(button.alpha(), 0.5);
    EXPECT_FALSE(controller->touchesLocked());
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
    EXPECT_EQ(controller->mainView->baseClass().colorContrast, UIColor(1 - c, 1 - c, 1 - c, 1));
    EXPECT_TRUE(controller->touchesLocked());
  }
  {
    SCOPED_TRACE("freeze button: frozen at full strength, then free again");
    controller->freezeButton->sendActions(UIControlEvents::touchUpInside);
    EXPECT_FALSE(controller->isSizeable);
    EXPECT_EQ(controller->freezeButton->alpha(), 1.0);
    controller->freezeButton->sendActions(UIControlEvents::touchUpInside);
    EXPECT_TRUE(controller->isSizeable);
    EXPECT_EQ(controller->freezeButton->alpha(), 0.5);
  }
}

TEST_F(EditorControllerTest, InterfaceConnectsEveryOutletInItsPlace) {
  auto controller = std::make_shared<AudioUnitViewController>();
  const auto& root = controller->view();
  EXPECT_EQ(controller->currentView, controller->pluginView);
  EXPECT_EQ(controller->pluginView->superview(), root);
  for (const UIView* layer :
       {static_cast<UIView*>(controller->pluginFrame.get()), static_cast<UIView*>(controller->mainView.get()),
        static_cast<UIView*>(controller->displayView.get())}) {
    EXPECT_EQ(layer->superview(), controller->pluginView);
  }
  // Back to front: frame, panel, gauge; overlay and side controls above the container.
  EXPECT_EQ(controller->pluginView->subviews().back(), controller->displayView);
  EXPECT_EQ(root->subviews().front(), controller->pluginView);
  EXPECT_EQ(controller->infoMessage->superview(), controller->infoView);
  EXPECT_TRUE(controller->infoView->isHidden());
  EXPECT_EQ(controller->mainView->delegate().get(),
            static_cast<KOVCompressorViewDelegate*>(controller.get()));
  EXPECT_EQ(root->gestureRecognizers().size(), 5u);
  EXPECT_EQ(controller->doubleTapGesture->numberOfTapsRequired(), 2);
  EXPECT_EQ(controller->tapGesture->numberOfTapsRequired(), 1);
  EXPECT_EQ(controller->pinchGesture->view(), root);
}

}  // namespace
