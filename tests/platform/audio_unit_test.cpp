// The audio-unit base class, the component registry, the v2 parameter calls and the engine
// nodes that host units.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioNode.h"
#include "AVFoundation/AVAudioUnitComponent.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AudioUnitParameters.h"

namespace {

// Components of these tests carry their own manufacturer so that other registrations in the
// same process cannot match them.
constexpr OSType kTestManufacturer = FourCC("Tst2");

AudioComponentDescription describeTest(const char (&type)[5], const char (&subtype)[5], UInt32 flags = 0) {
  return AudioComponentDescription{FourCC(type), FourCC(subtype), kTestManufacturer, flags, 0};
}

// A small effect: one stereo bus each way, two parameters, a render block that doubles the
// pulled input.
class DoublerUnit : public AUAudioUnit {
 public:
  DoublerUnit(const AudioComponentDescription& desc, AudioComponentInstantiationOptions options)
      : AUAudioUnit(desc, options) {
    auto format = AVAudioFormat::makeStandard(48000.0, 2);
    inputs_ = std::make_shared<AUAudioUnitBusArray>(AUAudioUnitBusType::input,
                                                    std::vector{AUAudioUnitBus::make(format)});
    outputs_ = std::make_shared<AUAudioUnitBusArray>(AUAudioUnitBusType::output,
                                                     std::vector{AUAudioUnitBus::make(format)});
    auto parameter = [](const char* id, const char* name, AUParameterAddress address, AUValue max) {
      return AUParameterTree::createParameterWithIdentifier(id, name, address, 0.0f, max,
                                                            kAudioUnitParameterUnit_Generic, std::nullopt,
                                                            0xC0000000u, std::nullopt, std::nullopt);
    };
    auto gain = parameter("gain", "Gain", 0, 4.0f), mix = parameter("mix", "Mix", 1, 1.0f);
    gain->setValue(2.0f);
    setParameterTree(AUParameterTree::createTreeWithChildren({gain, mix}));
  }
  std::shared_ptr<AUAudioUnitBusArray> inputBusses() override { return inputs_; }
  std::shared_ptr<AUAudioUnitBusArray> outputBusses() override { return outputs_; }
  std::string className() const override { return "DoublerUnit"; }

  AUInternalRenderBlock internalRenderBlock() override {
    return [](AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timestamp, AUAudioFrameCount frames,
              NSInteger bus, AudioBufferList* output, const AURenderEvent* events,
              const AURenderPullInputBlock* pull) -> AUAudioUnitStatus {
      if (events)
        return -1;
      if (!pull || !*pull)
        return kAudioUnitErr_NoConnection;
      if (bus != 0)
        return kAudioUnitErr_NoConnection;
      if (AUAudioUnitStatus status = (*pull)(flags, timestamp, frames, 0, output))
        return status;
      for (UInt32 b = 0; b < output->mNumberBuffers; ++b) {
        auto* samples = static_cast<float*>(output->mBuffers[b].mData);
        for (UInt32 i = 0; i < frames; ++i)
          samples[i] *= 2.0f;
      }
      return noErr;
    };
  }

 private:
  std::shared_ptr<AUAudioUnitBusArray> inputs_, outputs_;
};

class FailingUnit : public AUAudioUnit {
 public:
  FailingUnit(const AudioComponentDescription& desc, AudioComponentInstantiationOptions options)
      : AUAudioUnit(desc, options) {
    if (desc.componentFlags == 1)
      throw NSError(NSOSStatusErrorDomain, -1234, "cannot be made");
  }
  void allocateRenderResources() override {
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_FormatNotSupported, "no resources");
  }
};

template <typename Unit>
AudioComponentFactoryFunction factory() {
  return [](const AudioComponentDescription& d, AudioComponentInstantiationOptions o) {
    return std::make_shared<Unit>(d, o);
  };
}

// The error's code, 0 when there is none.
std::int64_t codeOf(const std::shared_ptr<NSError>& error) {
  return error ? error->code() : 0;
}

}  // namespace

TEST(AudioComponentRegistry, MatchingRulesAndRegistration) {
  const auto fx = describeTest("aufx", "dbl1", 0x10);
  const auto mf = describeTest("aumf", "dbl2", 0x02);
  AudioComponent first = AudioComponentRegister(fx, "Test: Doubler", 0x00010203, factory<DoublerUnit>());
  AudioComponent second =
      AudioComponentRegister(mf, "Test: Music Doubler", 0x00020000, factory<DoublerUnit>());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, first);

  auto find = [](AudioComponentDescription search) {
    std::vector<AudioComponent> found;
    for (AudioComponent c = AudioComponentFindNext(nullptr, &search); c;
         c = AudioComponentFindNext(c, &search))
      found.push_back(c);
    return found;
  };
  AudioComponentDescription any{0, 0, kTestManufacturer, 0, 0};
  {
    SCOPED_TRACE("zero fields match any value, in registration order");
    EXPECT_EQ(find(any), (std::vector<AudioComponent>{first, second}));
    EXPECT_EQ(AudioComponentCount(&any), 2u);
    EXPECT_EQ(find({FourCC("aufx"), 0, kTestManufacturer, 0, 0}), std::vector<AudioComponent>{first});
    EXPECT_EQ(find({0, FourCC("dbl2"), kTestManufacturer, 0, 0}), std::vector<AudioComponent>{second});
    EXPECT_TRUE(find({FourCC("aufx"), FourCC("dbl2"), kTestManufacturer, 0, 0}).empty());
    EXPECT_TRUE(find({0, 0, FourCC("Nobd"), 0, 0}).empty());
  }
  {
    SCOPED_TRACE("flags match under the mask only");
    EXPECT_EQ(find({0, 0, kTestManufacturer, 0x10, 0x10}), std::vector<AudioComponent>{first});
    EXPECT_EQ(find({0, 0, kTestManufacturer, 0x00, 0x10}), std::vector<AudioComponent>{second});
    EXPECT_EQ(find({0, 0, kTestManufacturer, 0xFF, 0x00}).size(), 2u);  // no mask: flags ignored
    EXPECT_TRUE(find({0, 0, kTestManufacturer, 0x01, 0x01}).empty());
    EXPECT_TRUE(AudioComponentDescriptionMatches({0, 0, 0, 0, 0}, fx));
  }
  {
    SCOPED_TRACE("component attributes");
    AudioComponentDescription got{};
    std::string name;
    UInt32 version = 0;
    EXPECT_EQ(AudioComponentGetDescription(first, &got), noErr);
    EXPECT_EQ(describe(got), describe(fx));
    EXPECT_EQ(AudioComponentCopyName(first, &name), noErr);
    EXPECT_EQ(name, "Test: Doubler");
    EXPECT_EQ(AudioComponentGetVersion(first, &version), noErr);
    EXPECT_EQ(version, 0x00010203u);
    EXPECT_EQ(AudioComponentGetDescription(nullptr, &got), kAudio_ParamError);
    EXPECT_EQ(AudioComponentCopyName(first, nullptr), kAudio_ParamError);
  }
  {
    SCOPED_TRACE("registering the same identity again replaces it under the same handle");
    EXPECT_EQ(AudioComponentRegister(fx, "Test: Doubler 2", 0x00010204, factory<DoublerUnit>()), first);
    std::string name;
    AudioComponentCopyName(first, &name);
    EXPECT_EQ(name, "Test: Doubler 2");
    EXPECT_EQ(AudioComponentCount(&any), 2u);
  }
  {
    SCOPED_TRACE("the component manager's views");
    auto& manager = AVAudioUnitComponentManager::sharedAudioUnitComponentManager();
    auto components = manager.componentsMatchingDescription(any);
    ASSERT_EQ(components.size(), 2u);
    EXPECT_EQ(components[0]->audioComponent(), first);
    EXPECT_EQ(components[0]->manufacturerName(), "Test");
    EXPECT_EQ(components[0]->unitName(), "Doubler 2");
    EXPECT_EQ(components[0]->versionString(), "1.2.4");
    EXPECT_EQ(components[0]->typeName(), "Effect");
    EXPECT_FALSE(components[0]->hasMIDIInput());
    EXPECT_TRUE(components[1]->hasMIDIInput());
    auto music = manager.componentsPassingTest([](const AVAudioUnitComponent& c) {
      return c.audioComponentDescription().componentSubType == FourCC("dbl2");
    });
    ASSERT_EQ(music.size(), 1u);
    EXPECT_EQ(music[0]->audioComponent(), second);
  }
  EXPECT_EQ(describe(AudioComponentDescription{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0}),
            "AudioComponentDescription(componentType: 1635083896, componentSubType: 1819112562, "
            "componentManufacturer: 1634758764, componentFlags: 0, componentFlagsMask: 0)");
  EXPECT_EQ(describeAddress(nullptr), "0x0000000000000000");
}

TEST(AudioComponentRegistry, SystemEffectsAreFoundAndMadeLikeOthers) {
  const AudioComponentDescription desc{FourCC("aufx"), FourCC("sys1"), FourCC("Tst3"), 0, 0};
  AudioComponent component =
      AudioComponentRegisterSystemEffect(desc, "Tst3: System Doubler", 0x00010000, factory<DoublerUnit>());
  ASSERT_NE(component, nullptr);
  AudioComponentDescription search{0, FourCC("sys1"), FourCC("Tst3"), 0, 0};
  EXPECT_EQ(AudioComponentFindNext(nullptr, &search), component);
  EXPECT_EQ(AudioComponentFindNext(component, &search), nullptr);
  auto unit = AudioComponentInstantiate(component, 0, nullptr);
  ASSERT_TRUE(unit);
  EXPECT_EQ(unit->component(), component);
  EXPECT_EQ(unit->audioUnitName(), std::optional<std::string>("System Doubler"));
  EXPECT_EQ(unit->inputBusses()->count(), 1u);

  SCOPED_TRACE("the platform's peak limiter is registered before anything else");
  const AudioComponentDescription limiter{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0};
  ASSERT_NE(AudioComponentFindNext(nullptr, &limiter), nullptr);
  EXPECT_EQ(AudioComponentFindNext(nullptr, nullptr), AudioComponentFindNext(nullptr, &limiter));
}

TEST(AudioUnitBase, IdentityFromTheRegistryAndDefaults) {
  const auto desc = describeTest("aufx", "bas1");
  AudioComponentRegister(desc, "Test: Base", 7, factory<AUAudioUnit>());
  auto unit = AUAudioUnit::instantiate(desc, 0, nullptr);
  ASSERT_TRUE(unit);
  EXPECT_NE(unit->component(), nullptr);
  EXPECT_EQ(unit->componentName(), std::optional<std::string>("Test: Base"));
  EXPECT_EQ(unit->audioUnitName(), std::optional<std::string>("Base"));
  EXPECT_EQ(unit->manufacturerName(), std::optional<std::string>("Test"));
  EXPECT_EQ(unit->componentVersion(), 7u);
  EXPECT_EQ(unit->componentDescription().componentSubType, FourCC("bas1"));
  const std::string text = unit->description();
  EXPECT_NE(text.find("'aufx' 'bas1' 'Tst2'"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Test: Base\""), std::string::npos) << text;
  EXPECT_EQ(unit->maximumFramesToRender(), 4096u);
  EXPECT_EQ(unit->inputBusses(), unit->inputBusses()) << "the same array on every read";
  EXPECT_EQ(unit->supportedViewConfigurations({{400, 300, false}, {800, 600, true}}).count(), 2);
  EXPECT_EQ(unit->supportedViewConfigurations({}).description(), "0 indexes");

  SCOPED_TRACE("a unit nobody registered has no identity");
  AUAudioUnit unregistered(describeTest("aufx", "none"));
  EXPECT_EQ(unregistered.component(), nullptr);
  EXPECT_FALSE(unregistered.componentName().has_value());
  EXPECT_FALSE(unregistered.audioUnitName().has_value());
}

TEST(AudioUnitBase, ErrorEntryPoints) {
  std::shared_ptr<NSError> error;
  {
    SCOPED_TRACE("a failing initialiser gives no unit and its error");
    EXPECT_EQ(
        AUAudioUnit::initWithComponentDescription<FailingUnit>(describeTest("aufx", "fai1", 1), 0, &error),
        nullptr);
    ASSERT_EQ(codeOf(error), -1234);
    EXPECT_EQ(error->localizedDescription(), "cannot be made");
    EXPECT_EQ(
        AUAudioUnit::initWithComponentDescription<FailingUnit>(describeTest("aufx", "fai1", 1), 0, nullptr),
        nullptr);
  }
  error.reset();
  auto failing =
      AUAudioUnit::initWithComponentDescription<FailingUnit>(describeTest("aufx", "fai1"), 0, &error);
  ASSERT_TRUE(failing);
  EXPECT_EQ(error, nullptr);
  {
    SCOPED_TRACE("allocation: false and the thrown error");
    EXPECT_FALSE(failing->allocateRenderResourcesAndReturnError(&error));
    EXPECT_EQ(codeOf(error), kAudioUnitErr_FormatNotSupported);
    EXPECT_FALSE(failing->renderResourcesAllocated());
    EXPECT_FALSE(failing->allocateRenderResourcesAndReturnError(nullptr));
  }
  AUAudioUnit base(describeTest("aufx", "bas2"));
  {
    SCOPED_TRACE("the base allocation succeeds and can be undone; it refuses 0 frames");
    error.reset();
    EXPECT_TRUE(base.allocateRenderResourcesAndReturnError(&error));
    EXPECT_EQ(error, nullptr);
    EXPECT_TRUE(base.renderResourcesAllocated());
    base.deallocateRenderResources();
    EXPECT_FALSE(base.renderResourcesAllocated());
    base.setMaximumFramesToRender(0);
    EXPECT_FALSE(base.allocateRenderResourcesAndReturnError(&error));
    EXPECT_EQ(codeOf(error), kAudioUnitErr_InvalidPropertyValue);
  }
  {
    SCOPED_TRACE("preset state: none and the error from the base");
    error.reset();
    EXPECT_FALSE(base.presetStateForError(AUAudioUnitPreset(0, "x"), &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
    EXPECT_THROW(base.presetStateFor(AUAudioUnitPreset(0, "x")), NSError);
  }
  SCOPED_TRACE("instantiation failures");
  error.reset();
  EXPECT_EQ(AUAudioUnit::instantiate({0, 0, FourCC("Nobd"), 0, 0}, 0, &error), nullptr);
  EXPECT_EQ(codeOf(error), kAudio_ParamError);
  const auto throwing = describeTest("aufx", "fai2"), empty = describeTest("aufx", "nul1");
  AudioComponentRegister(throwing, "Test: Throws", 1, [](auto& d, auto o) {
    auto copy = d;
    copy.componentFlags = 1;
    return std::make_shared<FailingUnit>(copy, o);
  });
  AudioComponentRegister(empty, "Test: Nothing", 1,
                         [](auto&, auto) { return std::shared_ptr<AUAudioUnit>(); });
  error.reset();
  EXPECT_EQ(AUAudioUnit::instantiate(throwing, 0, &error), nullptr);
  EXPECT_EQ(codeOf(error), -1234);
  int calls = 0;
  AUAudioUnit::instantiate(empty, 0, [&](std::shared_ptr<AUAudioUnit> unit, std::shared_ptr<NSError> e) {
    ++calls;
    EXPECT_EQ(unit, nullptr);
    EXPECT_EQ(codeOf(e), kAudioUnitErr_FailedInitialization);
  });
  EXPECT_EQ(calls, 1);
  AudioComponentInstance instance = nullptr;
  EXPECT_EQ(AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &throwing), &instance), -1234);
  EXPECT_EQ(instance, nullptr);
  EXPECT_EQ(AudioComponentInstanceNew(nullptr, &instance), kAudio_ParamError);
  error.reset();
  EXPECT_EQ(AudioComponentInstantiate(nullptr, 0, &error), nullptr);
  EXPECT_EQ(codeOf(error), kAudio_ParamError);
}

TEST(AudioUnitBase, RenderBlockForwardsWithoutAllocationBookkeeping) {
  DoublerUnit unit(describeTest("aufx", "dbl3"), 0);
  ASSERT_FALSE(unit.renderResourcesAllocated());
  AURenderBlock render = unit.renderBlock();
  ASSERT_TRUE(render);

  float left[4] = {1, 2, 3, 4}, right[4] = {-1, -2, -3, -4};
  StackAudioBufferList<2> out;
  out.mBuffers[0] = {1, sizeof left, left};
  out.mBuffers[1] = {1, sizeof right, right};
  AURenderPullInputBlock pull = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                    AUAudioFrameCount frames, NSInteger,
                                    AudioBufferList* input) -> AUAudioUnitStatus {
    std::fill_n(static_cast<float*>(input->mBuffers[0].mData), frames, 0.5f);
    std::fill_n(static_cast<float*>(input->mBuffers[1].mData), frames, 0.25f);
    return noErr;
  };
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp stamp;
  {
    SCOPED_TRACE("renders although the base never allocated, with no render events");
    EXPECT_EQ(render(&flags, &stamp, 4, 0, out.list(), &pull), noErr);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(left[i], 1.0f);
      EXPECT_EQ(right[i], 0.5f);
    }
  }
  {
    SCOPED_TRACE("statuses of the unit's block come back unchanged");
    EXPECT_EQ(render(&flags, &stamp, 4, 0, out.list(), nullptr), kAudioUnitErr_NoConnection);
    EXPECT_EQ(render(&flags, &stamp, 4, 1, out.list(), &pull), kAudioUnitErr_NoConnection);
  }
  {
    SCOPED_TRACE("a unit without a render block reports itself uninitialised");
    AUAudioUnit base(describeTest("aufx", "bas4"));
    EXPECT_EQ(base.renderBlock()(&flags, &stamp, 4, 0, out.list(), &pull), kAudioUnitErr_Uninitialized);
  }
  {
    SCOPED_TRACE("base state round trip through the tree");
    auto state = unit.fullState();
    ASSERT_TRUE(state.has_value());
    ASSERT_NE(state->find("data"), state->end());
    EXPECT_EQ(state->at("subtype"), PropertyList(FourCC("dbl3")));
    unit.parameterTree()->parameterWithAddress(0)->setValue(3.5f);
    unit.parameterTree()->parameterWithAddress(1)->setValue(0.25f);
    unit.setFullState(state);
    EXPECT_EQ(unit.parameterTree()->parameterWithAddress(0)->value(), 2.0f);
    EXPECT_EQ(unit.parameterTree()->parameterWithAddress(1)->value(), 0.0f);
    unit.setFullState(std::nullopt);
    unit.setFullState(PropertyList::Dictionary{
        {"data", PropertyList(PropertyList::Dictionary{{"1", PropertyList(0.5)},
                                                       {"9", PropertyList(1.0)},
                                                       {"x", PropertyList(1.0)},
                                                       {"0", PropertyList("loud")}})}});
    EXPECT_EQ(unit.parameterTree()->parameterWithAddress(0)->value(), 2.0f);
    EXPECT_EQ(unit.parameterTree()->parameterWithAddress(1)->value(), 0.5f);
  }
}

TEST(AudioUnitParameterCalls, SetAndGetThroughTheHandle) {
  const auto desc = describeTest("aufx", "dbl4");
  AudioComponentRegister(desc, "Test: Handle", 1, factory<DoublerUnit>());
  auto effect = std::make_shared<AVAudioUnitEffect>(desc);
  auto unit = effect->auAudioUnit();
  ASSERT_TRUE(unit);
  EXPECT_EQ(effect->auAudioUnit(), unit);  // the same object on every read
  AudioUnit handle = effect->audioUnit();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(AudioUnitGetAUAudioUnit(handle), unit);
  EXPECT_EQ(AudioComponentInstanceGetComponent(handle), unit->component());

  std::vector<AUValue> implementor;
  unit->parameterTree()->setImplementorValueObserver(
      [&](AUParameter*, AUValue v) { implementor.push_back(v); });
  {
    SCOPED_TRACE("global scope, element 0: the tree's parameter by address, observers run");
    EXPECT_EQ(AudioUnitSetParameter(handle, 1, kAudioUnitScope_Global, 0, 0.75f, 0), noErr);
    EXPECT_EQ(unit->parameterTree()->parameterWithAddress(1)->value(), 0.75f);
    EXPECT_EQ(implementor, std::vector<AUValue>{0.75f});
    AudioUnitParameterValue value = -1;
    EXPECT_EQ(AudioUnitGetParameter(handle, 0, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(value, 2.0f);
  }
  {
    SCOPED_TRACE("refusals leave everything as it was");
    AudioUnitParameterValue value = -1;
    EXPECT_EQ(AudioUnitSetParameter(handle, 1, kAudioUnitScope_Input, 0, 0.1f, 0),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitSetParameter(handle, 1, kAudioUnitScope_Output, 0, 0.1f, 0),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitSetParameter(handle, 1, kAudioUnitScope_Global, 1, 0.1f, 0),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitSetParameter(handle, 7, kAudioUnitScope_Global, 0, 0.1f, 0),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitSetParameter(nullptr, 1, kAudioUnitScope_Global, 0, 0.1f, 0), kAudio_ParamError);
    EXPECT_EQ(AudioUnitGetParameter(handle, 7, kAudioUnitScope_Global, 0, &value),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(handle, 0, kAudioUnitScope_Input, 0, &value), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitGetParameter(handle, 0, kAudioUnitScope_Global, 0, nullptr), kAudio_ParamError);
    EXPECT_EQ(value, -1.0f);
    EXPECT_EQ(unit->parameterTree()->parameterWithAddress(1)->value(), 0.75f);
    EXPECT_EQ(implementor.size(), 1u);
  }
  {
    SCOPED_TRACE("a unit without a tree has no parameters");
    const auto bare = describeTest("aufx", "bas5");
    AudioComponentRegister(bare, "Test: Bare", 1, factory<AUAudioUnit>());
    AudioComponentInstance instance = nullptr;
    ASSERT_EQ(AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &bare), &instance), noErr);
    EXPECT_EQ(AudioUnitSetParameter(instance, 0, kAudioUnitScope_Global, 0, 1.0f, 0),
              kAudioUnitErr_InvalidParameter);
    AudioComponentInstanceDispose(instance);
  }
}

TEST(AudioEngineNodes, EffectNodeInAnEngine) {
  const auto desc = describeTest("aufx", "dbl5");
  AudioComponentRegister(desc, "Test: Node", 0x00030000, factory<DoublerUnit>());
  auto effect = std::make_shared<AVAudioUnitEffect>(desc);
  ASSERT_TRUE(effect->auAudioUnit());
  EXPECT_EQ(effect->name(), std::optional<std::string>("Node"));
  EXPECT_EQ(effect->manufacturerName(), std::optional<std::string>("Test"));
  EXPECT_EQ(effect->version(), 0x00030000u);
  EXPECT_EQ(effect->numberOfInputs(), 1u);
  EXPECT_EQ(effect->numberOfOutputs(), 1u);
  EXPECT_TRUE(sameFormat(effect->inputFormatForBus(0), AVAudioFormat::makeStandard(48000.0, 2)));
  EXPECT_EQ(effect->outputFormatForBus(1), nullptr);
  effect->auAudioUnit()->outputBusses()->objectAtIndexedSubscript(0)->setName("Main");
  EXPECT_EQ(effect->nameForOutputBus(0), std::optional<std::string>("Main"));
  effect->setBypass(true);
  EXPECT_TRUE(effect->auAudioUnit()->shouldBypassEffect());

  auto engine = std::make_shared<AVAudioEngine>();
  EXPECT_EQ(effect->engine(), nullptr);
  engine->attachNode(effect);
  engine->attachNode(effect);
  EXPECT_EQ(engine->attachedNodes().size(), 1u);
  EXPECT_EQ(effect->engine(), engine);
  EXPECT_FALSE(engine->isRunning());
  auto other = std::make_shared<AVAudioEngine>();
  other->attachNode(effect);
  EXPECT_TRUE(engine->attachedNodes().empty());
  other->detachNode(effect);
  EXPECT_EQ(effect->engine(), nullptr);
  engine->detachNode(effect);  // not attached: ignored

  {
    SCOPED_TRACE("a description nobody registered gives a node without a unit");
    AVAudioUnitEffect missing({FourCC("aufx"), FourCC("none"), FourCC("Nobd"), 0, 0});
    EXPECT_EQ(missing.auAudioUnit(), nullptr);
    EXPECT_EQ(missing.audioUnit(), nullptr);
    EXPECT_EQ(missing.numberOfInputs(), 0u);
    EXPECT_FALSE(missing.bypass());
  }
  {
    SCOPED_TRACE("times");
    auto time = AVAudioTime::makeWithHostTime(0);
    EXPECT_TRUE(time->isHostTimeValid());
    EXPECT_FALSE(time->isSampleTimeValid());
    EXPECT_NE(time->description().find("hostTime = 0; sampleTime = invalid"), std::string::npos)
        << time->description();
    auto sample = AVAudioTime::makeWithSampleTime(480, 48000.0);
    EXPECT_EQ(sample->sampleTime(), 480);
    EXPECT_FALSE(sample->isHostTimeValid());
  }
}
