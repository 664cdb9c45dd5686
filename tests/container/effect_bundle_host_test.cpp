// The built effect as a host drives it: the platform delivers the instantiated unit once, on the
// main thread, as an effect node (and an error, once, for a description nothing matches); a host change of
// parameter 0 (attack) redraws the editor with that knob turned and leaves the threshold knob's picture as it
// was.
#include <gtest/gtest.h>

#include <thread>

#include "AVFoundation/AVAudioNode.h"
#include "AVFoundation/AVAudioUnitComponent.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AUParameters.h"
#include "AudioToolbox/AudioComponent.h"
#include "CoreAudioKit/AUViewController.h"
#include "FourCharCode.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UITestSupport.h"
#include "container_support.h"

namespace {

using namespace container_test;

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

TEST_F(HeadlessTest, TheEffectIsDeliveredOnceOnMainAndAHostChangeTurnsItsKnob) {
  AudioComponentAddPlugInFolder(KOV_EFFECT_PLUGINS_DIR);
  std::shared_ptr<AVAudioUnit> node;
  int deliveries = 0;
  bool onMain = false;
  const auto mainThread = std::this_thread::get_id();  // the test thread runs the main loop
  AVAudioUnit::instantiate({FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2, 0}, 0,
                           [&](std::shared_ptr<AVAudioUnit> made, std::shared_ptr<NSError> error) {
                             ++deliveries;
                             onMain = std::this_thread::get_id() == mainThread;
                             EXPECT_EQ(error, nullptr);
                             node = std::move(made);
                           });
  EXPECT_EQ(deliveries, 0);  // delivered from the main queue, not during the call
  MainLoop::runUntilIdle();
  ASSERT_EQ(deliveries, 1);
  EXPECT_TRUE(onMain);
  ASSERT_NE(node, nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<AVAudioUnitEffect>(node), nullptr);  // a music effect's node
  {
    SCOPED_TRACE("a description nothing matches: the error, once, and no node");
    int calls = 0;
    std::shared_ptr<NSError> failure;
    std::shared_ptr<AVAudioUnit> none = node;
    AVAudioUnit::instantiate({FourCC("aumf"), FourCC("none"), FourCC("QFLD"), 0, 0}, 0,
                             [&](std::shared_ptr<AVAudioUnit> made, std::shared_ptr<NSError> error) {
                               ++calls;
                               none = std::move(made);
                               failure = std::move(error);
                             });
    MainLoop::runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(none, nullptr);
    EXPECT_NE(failure, nullptr);
  }
  const auto unit = node->auAudioUnit();
  std::shared_ptr<AUViewController> editor;
  unit->requestViewController([&](std::shared_ptr<AUAudioUnitFactory> principal) {
    editor = std::dynamic_pointer_cast<AUViewController>(principal);
  });
  MainLoop::runUntilIdle();
  ASSERT_NE(editor, nullptr);
  auto window = UIWindow::make({0, 0, 1024, 680});
  window->setRootViewController(editor);
  window->makeKeyAndVisible();
  const auto attack = unit->parameterTree()->parameterWithAddress(0);
  ASSERT_NE(attack, nullptr);
  const auto before = picture(*window);
  attack->setValue(attack->minValue() + 0.8f * (attack->maxValue() - attack->minValue()));
  const auto after = picture(*window);
  EXPECT_GT(differingPixels(*before, *after, {0, 0, 1024, 680}), 50);
  // The threshold knob and its text are not touched by the change.
  EXPECT_EQ(differingPixels(*before, *after, {618, 148, 80, 80}), 0);
}

}  // namespace
