// The render-thread checks: a call that allocates or locks aborts with its name when it runs
// inside a render scope, and the same call outside one runs as usual.
#include <gtest/gtest.h>

#include <memory>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioMixerNode.h"
#include "AudioToolbox/AUParameters.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"
#include "RealTime/RenderScope.h"

namespace {
std::shared_ptr<AUParameterTree> oneParameterTree() {
  return AUParameterTree::createTreeWithChildren({AUParameterTree::createParameterWithIdentifier(
      "gain", "Gain", 0, 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, std::nullopt, 0, std::nullopt,
      std::nullopt)});
}
}  // namespace

#ifdef KOV_RENDER_CHECKS
TEST(RenderChecksDeathTest, CallsThatAllocateOrLockAbortOnARenderThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  {
    SCOPED_TRACE("main-queue post");
    EXPECT_DEATH(
        {
          RenderScope scope;
          DispatchQueue::main().async([] {});
        },
        "render-thread violation: DispatchQueue.main.async called on a render thread");
  }
  {
    SCOPED_TRACE("print outside the render-line queue");
    EXPECT_DEATH(
        {
          RenderScope scope;
          print("from the render thread");
        },
        "render-thread violation: print called on a render thread");
  }
  {
    SCOPED_TRACE("engine graph change");
    EXPECT_DEATH(
        {
          auto engine = std::make_shared<AVAudioEngine>();
          auto mixer = std::make_shared<AVAudioMixerNode>();
          RenderScope scope;
          engine->attachNode(mixer);
        },
        "render-thread violation: AVAudioEngine.attachNode called on a render thread");
  }
  {
    SCOPED_TRACE("parameter observer");
    EXPECT_DEATH(
        {
          auto tree = oneParameterTree();
          RenderScope scope;
          tree->tokenByAddingParameterObserver([](AUParameterAddress, AUValue) {});
        },
        "render-thread violation: PublishedValue::update called on a render thread");
  }
}
#endif

TEST(RenderChecks, TheSameCallsRunOffTheRenderThread) {
  {
    SCOPED_TRACE("after a render scope has ended");
    { RenderScope scope; }
    ASSERT_FALSE(RenderScope::isRenderThread());
    auto tree = oneParameterTree();
    AUParameterObserverToken token = tree->tokenByAddingParameterObserver([](AUParameterAddress, AUValue) {});
    EXPECT_NE(token, nullptr);
    tree->removeParameterObserver(token);
  }
  {
    SCOPED_TRACE("engine graph change");
    auto engine = std::make_shared<AVAudioEngine>();
    auto mixer = std::make_shared<AVAudioMixerNode>();
    engine->attachNode(mixer);
    EXPECT_EQ(mixer->engine(), engine);
  }
}
