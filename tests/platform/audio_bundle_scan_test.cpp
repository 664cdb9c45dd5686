// Effect bundles, the cases beside the main bundle tests: every component of the test bundle is
// registered with its own description and name, a description nothing matches is answered on
// the main queue with an error, a unit registered in-process has no principal class, and the
// factory entry without an error pointer still refuses. Runs after audio_bundle_test.cpp, which
// checks that the test folder is not searched before it adds it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "AVFoundation/AVAudioNode.h"
#include "AVFoundation/AVAudioUnitComponent.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AUAudioUnitFactory.h"
#include "Dispatch/DispatchQueue.h"

namespace {

const std::string kPlugIns = KOV_TEST_PLUGINS_DIR;
constexpr AudioComponentDescription kTestEffect{FourCC("aumf"), FourCC("tbn1"), FourCC("Tst4"), 0, 0};

}  // namespace

TEST(EffectBundleScan, EveryComponentOfTheBundleIsRegistered) {
  MainLoop::adoptCurrentThread();
  AudioComponentAddPlugInFolder(kPlugIns);
  // Each subtype on its own: other tests of this binary register more components of the maker.
  const auto only = [](const char (&subtype)[5]) {
    const auto found =
        AVAudioUnitComponentManager::sharedAudioUnitComponentManager().componentsMatchingDescription(
            {0, FourCC(subtype), FourCC("Tst4"), 0, 0});
    EXPECT_EQ(found.size(), 1u) << subtype;
    return found.empty() ? nullptr : found.front();
  };
  EXPECT_NE(only("tbn1"), nullptr);
  const auto second = only("tbn2");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(describe(second->audioComponentDescription()),
            describe({FourCC("aufx"), FourCC("tbn2"), FourCC("Tst4"), 0, 0}));
  const auto third = only("tbn3");
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->name(), "Tst4: Refusing Effect");
}

TEST(EffectBundleScan, NothingMatchesIsAnsweredOnTheMainQueue) {
  MainLoop::adoptCurrentThread();
  AudioComponentAddPlugInFolder(kPlugIns);
  int calls = 0;
  bool onMain = false;
  std::shared_ptr<AVAudioUnit> node;
  std::shared_ptr<NSError> error;
  AVAudioUnit::instantiate({FourCC("aumf"), FourCC("none"), FourCC("Tst4"), 0, 0}, 0,
                           [&](std::shared_ptr<AVAudioUnit> n, std::shared_ptr<NSError> e) {
                             ++calls;
                             onMain = DispatchQueue::main().isCurrent();
                             node = std::move(n);
                             error = std::move(e);
                           });
  EXPECT_EQ(calls, 0) << "answered before the main queue ran";
  MainLoop::runUntil([&] { return calls > 0; });
  MainLoop::runUntilIdle();
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(onMain);
  EXPECT_EQ(node, nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code(), kAudio_ParamError);
}

TEST(EffectBundleScan, AUnitRegisteredInProcessHasNoPrincipalClass) {
  MainLoop::adoptCurrentThread();
  const AudioComponentDescription inProcess{FourCC("aufx"), FourCC("tin1"), FourCC("Tst4"), 0, 0};
  AudioComponentRegister(inProcess, "Tst4: In Process", 1,
                         [](const AudioComponentDescription& d, AudioComponentInstantiationOptions o) {
                           return std::make_shared<AUAudioUnit>(d, o);
                         });
  auto plain = AUAudioUnit::instantiate(inProcess, 0, nullptr);
  ASSERT_NE(plain, nullptr);
  bool answered = false, onMain = false;
  std::shared_ptr<AUAudioUnitFactory> principal;
  plain->requestViewController([&](std::shared_ptr<AUAudioUnitFactory> answer) {
    answered = true;
    onMain = DispatchQueue::main().isCurrent();
    principal = std::move(answer);
  });
  EXPECT_FALSE(answered) << "answered before the main queue ran";
  EXPECT_TRUE(MainLoop::runUntil([&] { return answered; }));
  EXPECT_TRUE(onMain);
  EXPECT_EQ(principal, nullptr);
}

TEST(EffectBundleScan, FactoryEntryWithoutAnErrorPointerRefuses) {
  struct Factory : AUAudioUnitFactory {
    std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription&) override {
      throw NSError(NSOSStatusErrorDomain, -50, "bad description");
    }
  } factory;
  EXPECT_EQ(factory.createAudioUnitWithComponentDescription(kTestEffect, nullptr), nullptr);
}
