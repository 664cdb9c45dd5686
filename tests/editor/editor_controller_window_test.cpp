// The editor end to end in a headless window: the principal class creates the unit and keeps
// it, its view fills the window at scale 2, and the picture is written out to be looked at (the
// knobs driven through the loaded bundle: the container's effect bundle test).
#include <gtest/gtest.h>

#include "EditorControllerTestSupport.h"
#include "UIKit/UITestSupport.h"

namespace {

using namespace editor_controller_test;

TEST_F(EditorControllerTest, EditorInAWindowMakesItsUnitAndFillsTheWindowAtScaleTwo) {
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
  auto window = UIWindow::make({0, 0, 1024, 680});
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  MainLoop::runUntilIdle();  // binds, and runs the first display pass
  UITestSupport::display(*window);
  TestClock::advance(0.04);

  // 1024 x 680 is twice the design canvas: the panel fills the window at scale 2.
  EXPECT_EQ(controller->pluginView->frame(), (CGRect{0, 0, 1024, 680}));
  EXPECT_EQ(controller->mainView->baseClass().viewScale, (CGSize{2, 2}));
  // The plate of the frame behind, between its margin and the panel's outline.
  EXPECT_EQ(window->surface().pixelAt({16, 340}), (CGPixel{38, 38, 38, 255}));
  EXPECT_TRUE(UITestSupport::writePNG(*window, "editor_controller.png"));
}

}  // namespace
