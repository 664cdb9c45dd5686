// The whole editor end to end in a headless window: the principal class creates the unit and
// keeps it, its view fills the window at scale 2, a drag on the threshold knob moves the unit's
// parameter 2, a host change of parameter 0 turns the attack knob, and the picture is written out
// to be looked at.
#include <gtest/gtest.h>

#include "EditorControllerTestSupport.h"
#include "KOVParameterAddresses.h"
#include "TestOutput.h"
#include "UIKit/testing/UIKitTesting.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

using namespace editor_controller_test;

TEST_F(EditorControllerTest, EditorInAWindowEditsTheUnitAndFollowsTheHost) {
  const auto factory = makePrincipalClass();
  const auto controller = std::dynamic_pointer_cast<AudioUnitViewController>(factory);
  ASSERT_NE(controller, nullptr);
  {
    SCOPED_TRACE("the factory makes the effect unit and keeps it");
    stdout_capture::beginCapture();
    std::shared_ptr<NSError> error;
    const auto made = factory->createAudioUnitWithComponentDescription(kEffectDescription, &error);
    // The unit's own lines go through the main queue, so they follow the direct didSet line.
    EXPECT_EQ(endCapture(), (Lines{"System Peak Limiter AudioUnit created and initialized.",
                                   "AU Diagnostics: AUAudioUnit::didSet()", "QFLD : kvc1",
                                   "AU Diagnostics: WARNING: Plugin view is not loaded."}));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(made, std::static_pointer_cast<AUAudioUnit>(controller->audioUnit()));
    EXPECT_EQ(made->className(), "KOV_Compressor_Extension.KOV_Compressor_Extension_AudioUnit");
  }
  const auto unit = controller->audioUnit();
  auto window = showInWindow(controller, {0, 0, 1024, 680});  // binds, and runs the first display pass
  UITestSupport::display(*window);
  TestClock::advance(0.04);

  // 1024 x 680 is twice the design canvas: the panel fills the window at scale 2.
  EXPECT_EQ(controller->pluginView->frame(), (CGRect{0, 0, 1024, 680}));
  EXPECT_EQ(controller->mainView->baseClass().viewScale, (CGSize{2, 2}));
  // The plate of the frame behind, between its margin and the panel's outline.
  EXPECT_EQ(window->surface().pixelAt({16, 340}), (CGPixel{38, 38, 38, 255}));
  const auto threshold = unit->parameterTree()->parameterWithAddress(kov_address::threshold);
  const float before = threshold->value();
  {
    SCOPED_TRACE("drag the threshold knob (canvas 329, 94) up by 100 points: an eighth of the range");
    UITestSupport::TouchInjector fingers(*window);
    fingers.drag({658, 188}, {658, 88}, 5);
    EXPECT_NEAR(threshold->value(), before + 0.125f, 1e-6);
    EXPECT_EQ(unit->getParameter(kov_address::threshold), threshold->value());
    EXPECT_FALSE(controller->touchesLocked());
    EXPECT_FALSE(controller->lockAutoLayout);
    EXPECT_EQ(controller->pluginView->frame(), (CGRect{0, 0, 1024, 680}));  // the pan stayed still
  }
  {
    SCOPED_TRACE("the host sets attack: the knob follows and the panel is redrawn");
    MainLoop::runUntilIdle();
    UITestSupport::display(*window);
    const auto draws = UIViewTesting::drawCount(*controller->mainView);
    unit->parameterTree()->parameterWithAddress(kov_address::attack)->setValue(0.125f);
    MainLoop::runUntilIdle();  // the observer's block, then the display pass it asked for
    EXPECT_EQ(controller->mainView->baseClass().valueAttack, 0.125);
    UITestSupport::display(*window);
    EXPECT_EQ(UIViewTesting::drawCount(*controller->mainView), draws + 1);
  }

  EXPECT_TRUE(UITestSupport::writePNG(*window, test_support::outputFile("editor_controller.png")));
  // With the slider shown, a darker contrast and the overlay half way in.
  controller->contrastButton->sendActions(UIControlEvents::touchUpInside);
  controller->brightnessSlider->setValue(0.35f);
  controller->brightnessSlider->sendActions(UIControlEvents::valueChanged);
  controller->showInfo("Threshold -12 dB");
  TestClock::advance(0.009 * 40);
  UITestSupport::display(*window);
  EXPECT_TRUE(UITestSupport::writePNG(*window, test_support::outputFile("editor_controller_controls.png")));
  // The overlay, growing about the centre, darkens the plate inside its drawn rectangle only.
  const CGRect shown = controller->infoView->convert(controller->infoView->bounds(), nullptr);
  EXPECT_NEAR(shown.midX(), 512, 1e-9);
  EXPECT_LT(shown.width(), 360);
  const CGPixel inside = window->surface().pixelAt({shown.minX() + 3, shown.maxY() - 3});
  const CGPixel outside = window->surface().pixelAt({shown.minX() - 3, shown.maxY() - 3});
  EXPECT_LT(inside.red + 20, outside.red);
}

}  // namespace
