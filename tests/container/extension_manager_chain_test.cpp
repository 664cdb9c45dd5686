// The effect manager's whole chain with the built effect from its bundle and the engine player
// replaced by a stand-in: the delegate calls on the main thread, the unit the player is given is
// the delegate's, its context name, the effect's factory presets through the manager and a preset
// chosen through it, play and stop handed to the player, clean-up finalising it once. The search
// runs on a serial queue of the test, so the test can wait for it.
#include <gtest/gtest.h>

#include <algorithm>

#include "AUExtensionManager.h"
#include "AVFoundation/AVAudioNode.h"
#include "AudioToolbox/AudioComponent.h"
#include "StdoutCapture.h"
#include "fake_engine_player.h"

namespace {

struct MainThreadDelegate : AUExtensionManagerDelegate {
  std::vector<std::string> calls;
  std::shared_ptr<AVAudioUnit> unit;
  bool allOnMain = true;
  void onFoundComponent(std::shared_ptr<AVAudioUnit> found) override {
    calls.push_back("onFoundComponent");
    allOnMain = allOnMain && DispatchQueue::main().isCurrent();
    unit = std::move(found);
  }
  void onEngineInitialized() override {
    calls.push_back("onEngineInitialized");
    allOnMain = allOnMain && DispatchQueue::main().isCurrent();
  }
};

}  // namespace

TEST(AUExtensionManagerChain, TheBuiltEffectIsConnectedReportedAndShowsItsPresets) {
  AudioComponentAddPlugInFolder(KOV_EFFECT_PLUGINS_DIR);
  MainLoop::adoptCurrentThread();
  auto delegate = std::make_shared<MainThreadDelegate>();
  auto player = std::make_shared<FakeEnginePlayer>();
  DispatchQueue queue("test.search");
  stdout_capture::beginCapture();
  auto manager = AUExtensionManager::make(delegate, player, queue);
  queue.sync([] {});  // the search has run
  MainLoop::runUntilIdle();
  const auto lines = stdout_capture::splitLines(stdout_capture::endCapture());
  // The effect prints diagnostics of its own in between; the manager's lines and no warning (a unit).
  EXPECT_NE(std::find(lines.begin(), lines.end(), "AUExtensionManager: Performed audio unit connection."),
            lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "WARNING: Audio unit is nil (yet?)."), lines.end());
  EXPECT_EQ(delegate->calls, (std::vector<std::string>{"onFoundComponent", "onEngineInitialized"}));
  EXPECT_TRUE(delegate->allOnMain);
  ASSERT_NE(delegate->unit, nullptr);
  ASSERT_EQ(player->connected.size(), 1u);
  EXPECT_EQ(player->connected[0], delegate->unit);
  EXPECT_EQ(delegate->unit->auAudioUnit()->contextName(), "running in distribution host");
  {
    SCOPED_TRACE("the unit's factory presets, in its order; one chosen through the manager");
    const auto presets = manager->presets();
    ASSERT_EQ(presets.size(), 6u);
    EXPECT_EQ(presets.front().name(), "Brickwall");
    EXPECT_EQ(presets.back().name(), "Vocal Leveler");
    stdout_capture::beginCapture();
    manager->setCurrentPreset(presets[2]);
    stdout_capture::endCapture();
    ASSERT_TRUE(manager->currentPreset().has_value());
    EXPECT_EQ(manager->currentPreset()->name(), "Gentle Glue");
    EXPECT_EQ(manager->currentPreset()->audioUnitPreset(), presets[2].audioUnitPreset());
    EXPECT_EQ(delegate->unit->auAudioUnit()->currentPreset(), presets[2].audioUnitPreset());
  }
  {
    SCOPED_TRACE("the warning only without a unit");
    stdout_capture::beginCapture();
    manager->connectParametersToControls();
    EXPECT_EQ(stdout_capture::endCapture(), "");
  }
  EXPECT_TRUE(manager->togglePlayback());
  EXPECT_FALSE(manager->togglePlayback());
  EXPECT_EQ(player->finalizeCalls, 0);
  manager->cleanup();
  EXPECT_EQ(player->finalizeCalls, 1);
}
