// The built effect bundle, loaded as a host loads it: through the component registry from the
// build tree, never linked. The registry finds it by its registration, the platform makes the
// unit in process, the unit's view controller is the editor, which shows in a headless window, and
// a drag on the threshold knob moves parameter 2.
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
#include "LoadedLibraries.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UITestSupport.h"
#include "TestOutput.h"
#include "container_support.h"

namespace {

using namespace container_test;

const AudioComponentDescription kSearchKey{FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2, 0};

void show(UIWindow& window) {
  MainLoop::runUntilIdle();
  UITestSupport::display(window);
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
  AVAudioUnit::instantiate(found.front()->audioComponentDescription(), 0,
                           [&](std::shared_ptr<AVAudioUnit> made, std::shared_ptr<NSError> error) {
                             EXPECT_EQ(error, nullptr);
                             node = std::move(made);
                           });
  MainLoop::runUntilIdle();
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
  show(*window);  // bound, laid out and drawn
  const auto threshold = unit->parameterTree()->parameterWithAddress(2);
  ASSERT_NE(threshold, nullptr);
  {
    SCOPED_TRACE(
        "a drag of 100 points up on the threshold knob (canvas 329, 94) adds an eighth of its range");
    const float before = threshold->value();
    const float range = threshold->maxValue() - threshold->minValue();
    UITestSupport::TouchInjector fingers(*window);
    fingers.drag({658, 188}, {658, 88}, 5);
    EXPECT_NEAR(threshold->value(), before + 0.125f * range, 1e-5 * range);
  }
  EXPECT_TRUE(UITestSupport::writePNG(*window, test_support::outputFile("effect_bundle_editor.png")));
}

// A host that loads the effect and makes it ready to render loads no sound stack with it: neither
// the effect nor any library it needs, directly or through others (what `ldd` lists), is SDL, ALSA,
// PulseAudio or FFmpeg's format or codec library, and the device output (a module of the audio
// library, loaded with the first need of a device) stays unloaded. FFmpeg's resampler is needed:
// the engine's mixer converts rates with it.
TEST_F(EffectBundleTest, AHostOfTheEffectLoadsNoSoundStack) {
  std::shared_ptr<AVAudioUnit> node;
  AVAudioUnit::instantiate(kSearchKey, 0, [&](std::shared_ptr<AVAudioUnit> made, std::shared_ptr<NSError>) {
    node = std::move(made);
  });
  MainLoop::runUntilIdle();
  ASSERT_NE(node, nullptr);
  std::shared_ptr<NSError> error;
  ASSERT_TRUE(node->auAudioUnit()->allocateRenderResourcesAndReturnError(&error));
  const auto objects = loaded_libraries::all();
  const auto* effect = loaded_libraries::find(objects, "KOV_Compressor_Extension.so");
  ASSERT_NE(effect, nullptr);
  const auto needed = loaded_libraries::closure(objects, *effect);
  EXPECT_TRUE(loaded_libraries::anyStartsWith(needed, "libplatform_avfoundation.so"));
  EXPECT_TRUE(loaded_libraries::anyStartsWith(needed, "libswresample"));
  for (const char* library : {"libSDL2", "libasound", "libpulse", "libavformat", "libavcodec"}) {
    SCOPED_TRACE(library);
    EXPECT_FALSE(loaded_libraries::anyStartsWith(needed, library));
  }
  EXPECT_EQ(loaded_libraries::find(objects, "libplatform_audio_device.so"), nullptr);
  node->auAudioUnit()->deallocateRenderResources();
}

}  // namespace
