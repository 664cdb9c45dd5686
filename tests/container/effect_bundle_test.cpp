// The built effect bundle, loaded as a host loads it: through the component registry from the
// build tree, never linked. The registry finds it by its registration, the platform makes the
// unit in process, the unit's view controller is the editor, which shows in a headless window, a
// drag on the threshold knob moves parameter 2 and a host change of parameter 0 turns the attack
// knob.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <typeinfo>

#include "AVFoundation/AVAudioNode.h"
#include "AVFoundation/AVAudioUnitComponent.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AUParameters.h"
#include "AudioToolbox/AudioComponent.h"
#include "CoreAudioKit/AUViewController.h"
#include "FourCharCode.h"
#include "UIKit/UITestSupport.h"
#include "UIKit/UIWindow.h"
#include "container_support.h"

namespace {

using namespace container_test;

const AudioComponentDescription kSearchKey{FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2, 0};

// Pixels of two pictures of the same size that differ in any channel, inside `area`.
int differingPixels(const CGBitmapContext& a, const CGBitmapContext& b, CGRect area) {
  int count = 0;
  for (CGFloat y = area.minY(); y < area.maxY(); y += 1)
    for (CGFloat x = area.minX(); x < area.maxX(); x += 1)
      if (!(a.pixelAt({x, y}) == b.pixelAt({x, y})))
        ++count;
  return count;
}

std::unique_ptr<CGBitmapContext> picture(UIWindow& window) {
  MainLoop::runUntilIdle();
  UITestSupport::display(window);
  return UITestSupport::render(window);
}

class EffectBundleTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    AudioComponentAddPlugInFolder(KOV_EFFECT_PLUGINS_DIR);
  }
};

TEST_F(EffectBundleTest, RegistryFindsTheBundleAndItsEditorEditsTheUnit) {
  const auto found =
      AVAudioUnitComponentManager::sharedAudioUnitComponentManager().componentsMatchingDescription(
          kSearchKey);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.front()->name(), "QFLD: KOV Compressor Extension");
  std::shared_ptr<AVAudioUnit> node;
  int deliveries = 0;
  bool onMain = false;
  const auto mainThread = std::this_thread::get_id();  // the test thread runs the main loop
  AVAudioUnit::instantiate(found.front()->audioComponentDescription(), 0,
                           [&](std::shared_ptr<AVAudioUnit> made, std::shared_ptr<NSError> error) {
                             ++deliveries;
                             onMain = std::this_thread::get_id() == mainThread;
                             EXPECT_EQ(error, nullptr);
                             node = std::move(made);
                           });
  MainLoop::runUntilIdle();
  ASSERT_EQ(deliveries, 1);
  EXPECT_TRUE(onMain);
  ASSERT_NE(node, nullptr);
  const auto unit = node->auAudioUnit();
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(unit->parameterTree()->allParameters().size(), 12u);

  std::shared_ptr<AUViewController> editor;
  unit->requestViewController([&](std::shared_ptr<AUAudioUnitFactory> principal) {
    editor = std::dynamic_pointer_cast<AUViewController>(principal);
  });
  MainLoop::runUntilIdle();
  ASSERT_NE(editor, nullptr);
  // The module's class, known here only by its name (the test does not link the effect).
  EXPECT_STREQ(typeid(*editor).name(), "23AudioUnitViewController");

  // 1024 x 680 is twice the panel's design canvas: the panel fills the window at scale 2.
  auto window = UIWindow::make({0, 0, 1024, 680});
  window->setRootViewController(editor);
  window->makeKeyAndVisible();
  picture(*window);  // bound, laid out and drawn
  const auto threshold = unit->parameterTree()->parameterWithAddress(2);
  const auto attack = unit->parameterTree()->parameterWithAddress(0);
  ASSERT_NE(threshold, nullptr);
  ASSERT_NE(attack, nullptr);
  {
    SCOPED_TRACE(
        "a drag of 100 points up on the threshold knob (canvas 329, 94) adds an eighth of its range");
    const float before = threshold->value();
    const float range = threshold->maxValue() - threshold->minValue();
    UITestSupport::TouchInjector fingers(*window);
    fingers.drag({658, 188}, {658, 88}, 5);
    EXPECT_NEAR(threshold->value(), before + 0.125f * range, 1e-5 * range);
  }
  {
    SCOPED_TRACE("the host sets parameter 0: the panel redraws with the knob turned, nothing else moves");
    const auto before = picture(*window);
    attack->setValue(attack->minValue() + 0.8f * (attack->maxValue() - attack->minValue()));
    const auto after = picture(*window);
    EXPECT_GT(differingPixels(*before, *after, {0, 0, 1024, 680}), 50);
    // The threshold knob and its text are not touched by the change.
    EXPECT_EQ(differingPixels(*before, *after, {618, 148, 80, 80}), 0);
  }
  UITestSupport::writePNG(*window, "effect_bundle_editor.png");
}

}  // namespace
