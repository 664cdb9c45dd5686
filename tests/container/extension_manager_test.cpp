// The effect manager against the platform's registry, with the engine player replaced by a
// stand-in: a unit that cannot be made, and the component's description as printed. The chain
// that succeeds, and the one that finds nothing: the application's start-up test. The search
// runs on a serial queue of the test, so the test can wait for it.
#include <gtest/gtest.h>

#include <atomic>

#include "AUExtensionManager.h"
#include "AVFoundation/AVAudioNode.h"
#include "Foundation/ProcessInfo.h"
#include "StdoutCapture.h"
#include "component_log.h"
#include "fake_engine_player.h"

namespace {

constexpr AudioComponentDescription kEffect{FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2, 0};

// While set, the registered effect refuses to be made.
std::atomic<bool> gRefuse{false};

void registerEffect() {
  AudioComponentRegister(kEffect, "QFLD: KOV Compressor Extension", 0x00010000,
                         [](const AudioComponentDescription& d, AudioComponentInstantiationOptions o) {
                           if (gRefuse)
                             throw NSError(NSOSStatusErrorDomain, -1, "refused");
                           return std::make_shared<AUAudioUnit>(d, o);
                         });
}

struct RecordingDelegate : AUExtensionManagerDelegate {
  std::vector<std::string> calls;
  void onFoundComponent(std::shared_ptr<AVAudioUnit>) override { calls.push_back("onFoundComponent"); }
  void onEngineInitialized() override { calls.push_back("onEngineInitialized"); }
};

// Runs the manager's whole start-up: the search on `queue`, then the main queue's part.
struct StartUp {
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::shared_ptr<FakeEnginePlayer> player = std::make_shared<FakeEnginePlayer>();
  std::shared_ptr<AUExtensionManager> manager;
  std::vector<std::string> lines;

  StartUp() {
    MainLoop::adoptCurrentThread();
    DispatchQueue queue("test.search");
    stdout_capture::beginCapture();
    manager = AUExtensionManager::make(delegate, player, queue);
    queue.sync([] {});  // the search has run
    MainLoop::runUntilIdle();
    lines = stdout_capture::splitLines(stdout_capture::endCapture());
  }
};

const std::string kNote =
    "NOTE: WE ARE IN AUDIO UNIT RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!";

template <class... Parts>
std::vector<std::string> joined(Parts... parts) {
  std::vector<std::string> all;
  (all.insert(all.end(), parts.begin(), parts.end()), ...);
  return all;
}

}  // namespace

// First in this file: the effect is not registered yet when the tests run in one process.
TEST(AUExtensionManager, InstantiationFailurePrintsTheDescription) {
  registerEffect();
  gRefuse = true;
  StartUp run;
  gRefuse = false;
  EXPECT_EQ(run.lines,
            joined(std::vector<std::string>{kNote}, container_test::loadedComponentLines(),
                   std::vector<std::string>{
                       "AudioComponentDescription(componentType: 1635085670, componentSubType: 1802920753, "
                       "componentManufacturer: 1363561540, componentFlags: 2, componentFlagsMask: 0)",
                       "Error: Could not instantiate audio unit."}));
  EXPECT_TRUE(run.delegate->calls.empty());
  EXPECT_TRUE(run.player->connected.empty());
}

TEST(AUExtensionManager, ComponentPropertiesText) {
  const struct {
    AudioComponentDescription description;
    std::string text;
  } cases[] = {
      // The alternate form adds no prefix to 0.
      {{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 7},
       "AUExtension (\ntype: aufx\nsubtype: lmtr\nmanufacturer: appl\nflags: 0000000000\n)"},
      {{0x8E8F9091, FourCC("kvc1"), FourCC("QFLD"), 0xFFFFFFFF, 0},
       "AUExtension (\ntype: \u00E9\u00E8\u00EA\u00EB\nsubtype: kvc1\nmanufacturer: QFLD\nflags: "
       "0xffffffff\n)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(AUExtensionManager::componentPropertiesText(c.description), c.text);
  }
  {
    SCOPED_TRACE("the warning without a unit");
    // The effect refuses, so the manager ends without a unit whatever ran before in this process.
    registerEffect();
    gRefuse = true;
    auto manager = StartUp().manager;
    gRefuse = false;
    stdout_capture::beginCapture();
    manager->connectParametersToControls();
    EXPECT_EQ(stdout_capture::endCapture(), "WARNING: Audio unit is nil (yet?).\n");
  }
}

TEST(AUExtensionManager, PlaybackAndCleanupGoToTheGivenPlayer) {
  StartUp run;
  {
    SCOPED_TRACE("togglePlayback answers the player's state after its toggle");
    EXPECT_TRUE(run.manager->togglePlayback());
    EXPECT_TRUE(run.player->playing);
    EXPECT_FALSE(run.manager->togglePlayback());
    EXPECT_FALSE(run.player->playing);
  }
  {
    SCOPED_TRACE("cleanup finalizes the player once per call");
    EXPECT_EQ(run.player->finalizeCalls, 0);
    run.manager->cleanup();
    EXPECT_EQ(run.player->finalizeCalls, 1);
  }
}
