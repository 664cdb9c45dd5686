// The system peak limiter as hosts reach it: the registry, its buses and parameters, render
// resources and frame limits (also ones no buffer can hold), and its render block (pulling, in
// place, refusals, bypass, mono, events, no allocation, reset) also while the host's thread
// writes parameters and resets.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "AVFoundation/AVAudioNode.h"
#include "AllocationCounter.h"  // the one file of this binary that counts allocations
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AudioComponent.h"
#include "AudioToolbox/AudioUnitParameters.h"
#include "AudioToolbox/internal/PeakLimiterUnit.h"

namespace {

constexpr AudioComponentDescription kLimiter{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0};

std::shared_ptr<AUAudioUnit> makeLimiterUnit() {
  std::shared_ptr<NSError> error;
  auto unit = AUAudioUnit::instantiate(kLimiter, 0, &error);
  EXPECT_TRUE(unit) << (error ? error->description() : "");
  return unit;
}

void setFormats(AUAudioUnit& unit, double rate, AVAudioChannelCount channels = 2) {
  auto format = AVAudioFormat::makeStandard(rate, channels);
  (*unit.inputBusses())[0]->setFormat(format);
  (*unit.outputBusses())[0]->setFormat(format);
}

// Sets both buses to a standard format and allocates.
void prepare(AUAudioUnit& unit, double rate, AVAudioChannelCount channels = 2,
             AUAudioFrameCount maxFrames = 512) {
  setFormats(unit, rate, channels);
  unit.setMaximumFramesToRender(maxFrames);
  std::shared_ptr<NSError> error;
  ASSERT_TRUE(unit.allocateRenderResourcesAndReturnError(&error)) << (error ? error->description() : "");
}

// The error of an allocation that must fail.
std::shared_ptr<NSError> failedAllocation(AUAudioUnit& unit) {
  std::shared_ptr<NSError> error;
  EXPECT_FALSE(unit.allocateRenderResourcesAndReturnError(&error));
  EXPECT_FALSE(unit.renderResourcesAllocated());
  return error ? error : std::make_shared<NSError>("none", 0);
}

OSStatus render(const AUInternalRenderBlock& block, AudioBufferList* output, UInt32 frames,
                const AURenderPullInputBlock* pull, NSInteger bus = 0,
                const AURenderEvent* events = nullptr) {
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp time{};
  return block(&flags, &time, frames, bus, output, events, pull);
}

// A host: a source signal (constant unless filled otherwise) it hands out through its pull
// block, and its own output buffers.
struct Host {
  std::vector<float> sourceLeft, sourceRight;  // the whole input signal
  std::size_t position = 0;
  std::vector<float> left, right;  // output of one call
  StackAudioBufferList<2> output;
  OSStatus pullStatus = noErr;
  AURenderPullInputBlock pull;

  explicit Host(std::size_t frames, float leftLevel = 0.0f, float rightLevel = 0.0f)
      : sourceLeft(frames, leftLevel), sourceRight(frames, rightLevel), left(4096), right(4096) {
    pull = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount count, NSInteger,
                  AudioBufferList* input) -> AUAudioUnitStatus {
      if (pullStatus != noErr)
        return pullStatus;
      std::memcpy(input->mBuffers[0].mData, &sourceLeft[position], count * sizeof(float));
      if (input->mNumberBuffers > 1)
        std::memcpy(input->mBuffers[1].mData, &sourceRight[position], count * sizeof(float));
      position += count;
      return noErr;
    };
  }
  AudioBufferList* outputList(UInt32 frames, bool withData = true) {
    output.mNumberBuffers = 2;
    output.mBuffers[0] = {1, frames * 4, withData ? left.data() : nullptr};
    output.mBuffers[1] = {1, frames * 4, withData ? right.data() : nullptr};
    return output.list();
  }
  OSStatus render(const AUInternalRenderBlock& block, UInt32 frames, const AURenderEvent* events = nullptr) {
    return ::render(block, outputList(frames), frames, &pull, 0, events);
  }
};

AURenderEvent parameterEvent(AUParameterAddress address, AUValue value) {
  AURenderEvent event{};
  event.parameter.eventType = AURenderEventParameter;
  event.parameter.parameterAddress = address;
  event.parameter.value = value;
  return event;
}

}  // namespace

TEST(FourCharacterCodes, FirstCharacterIsTheMostSignificantByte) {
  EXPECT_EQ(FourCC("aumf"), 0x61756D66u);
  EXPECT_EQ(FourCC("aumf"), 1635085670u);
  EXPECT_EQ(FourCC("QFLD"), 0x51464C44u);
  EXPECT_EQ(FourCC("kvc1"), 0x6B766331u);
  EXPECT_EQ(kAudioUnitType_Effect, 0x61756678u);
  EXPECT_EQ(kAudioUnitSubType_PeakLimiter, 0x6C6D7472u);
  EXPECT_EQ(kAudioUnitManufacturer_Apple, 0x6170706Cu);
  EXPECT_EQ(FourCC("\xFF\x01\x02\x80"), 0xFF010280u) << "bytes above 0x7F are not sign-extended";
}

TEST(PeakLimiterUnit, IsTheRegisteredSystemEffect) {
  AudioComponent component = AudioComponentFindNext(nullptr, &kLimiter);
  ASSERT_NE(component, nullptr);
  std::string name;
  AudioComponentCopyName(component, &name);
  EXPECT_EQ(name, "Apple: AUPeakLimiter");

  auto unit = makeLimiterUnit();
  ASSERT_TRUE(unit);
  EXPECT_NE(dynamic_cast<PeakLimiterUnit*>(unit.get()), nullptr);
  EXPECT_EQ(unit->component(), component);
  EXPECT_EQ(unit->audioUnitName(), std::optional<std::string>("AUPeakLimiter"));
  EXPECT_EQ(unit->manufacturerName(), std::optional<std::string>("Apple"));
  EXPECT_EQ(unit->inputBusses()->count(), 1u);
  EXPECT_EQ(unit->outputBusses()->count(), 1u);
  EXPECT_EQ(unit->inputBusses(), unit->inputBusses()) << "the same array on every read";
  const auto format = (*unit->outputBusses())[0]->format();
  EXPECT_EQ(format->channelCount(), 2u);
  EXPECT_EQ(format->sampleRate(), 44100.0);
  EXPECT_TRUE(unit->canProcessInPlace());
  EXPECT_EQ(unit->channelCapabilities(), (std::vector<NSInteger>{1, 1, 2, 2}));
  EXPECT_DOUBLE_EQ(unit->latency(), 64.0 / 44100.0);
  EXPECT_DOUBLE_EQ(unit->tailTime(), unit->latency());

  SCOPED_TRACE("as an effect node outside an engine, as the wrapper makes it");
  AVAudioUnitEffect effect(kLimiter);
  ASSERT_NE(effect.audioUnit(), nullptr);
  EXPECT_NE(dynamic_cast<PeakLimiterUnit*>(effect.auAudioUnit().get()), nullptr);
}

TEST(PeakLimiterUnit, ParametersThroughTheTreeAndTheHandle) {
  auto unit = makeLimiterUnit();
  auto tree = unit->parameterTree();
  ASSERT_TRUE(tree);
  const struct {
    AUParameterAddress address;
    const char* identifier;
    AUValue min, max, value;
    AudioUnitParameterUnit unit;
  } expected[] = {{0, "attackTime", 0.001f, 0.03f, 0.012f, kAudioUnitParameterUnit_Seconds},
                  {1, "decayTime", 0.001f, 0.06f, 0.024f, kAudioUnitParameterUnit_Seconds},
                  {2, "preGain", -40.0f, 40.0f, 0.0f, kAudioUnitParameterUnit_Decibels}};
  ASSERT_EQ(tree->allParameters().size(), 3u);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.identifier);
    auto parameter = tree->parameterWithAddress(e.address);
    ASSERT_TRUE(parameter);
    EXPECT_EQ(parameter->identifier(), e.identifier);
    EXPECT_FLOAT_EQ(parameter->minValue(), e.min);
    EXPECT_FLOAT_EQ(parameter->maxValue(), e.max);
    EXPECT_FLOAT_EQ(parameter->value(), e.value);
    EXPECT_EQ(parameter->unit(), e.unit);
  }

  AVAudioUnitEffect effect(kLimiter);
  AudioUnit handle = effect.audioUnit();
  const struct {
    AudioUnitParameterID id;
    AudioUnitParameterValue set, read;
  } writes[] = {{0, 0.1f, 0.03f},  {1, 0.1f, 0.06f},    {2, -0.01f, -0.01f}, {0, 0.0f, 0.001f},
                {2, 50.0f, 40.0f}, {2, -50.0f, -40.0f}, {1, 0.06f, 0.06f},   {0, 0.02f, 0.02f}};
  for (const auto& w : writes) {
    SCOPED_TRACE(std::to_string(w.id) + " = " + std::to_string(w.set));
    EXPECT_EQ(AudioUnitSetParameter(handle, w.id, kAudioUnitScope_Global, 0, w.set, 0), noErr);
    AudioUnitParameterValue value = -1;
    EXPECT_EQ(AudioUnitGetParameter(handle, w.id, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_FLOAT_EQ(value, w.read);
  }
  EXPECT_EQ(AudioUnitSetParameter(handle, 3, kAudioUnitScope_Global, 0, 1.0f, 0),
            kAudioUnitErr_InvalidParameter);
}

TEST(PeakLimiterUnit, LatencyFollowsTheRateOfTheBuses) {
  for (double rate : {8000.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    SCOPED_TRACE(rate);
    auto unit = makeLimiterUnit();
    prepare(*unit, rate);
    EXPECT_TRUE(unit->renderResourcesAllocated());
    const double frames = rate < 10000 ? 16 : rate < 50000 ? 64 : rate < 100000 ? 128 : 256;
    EXPECT_DOUBLE_EQ(unit->latency(), frames / rate);
  }
}

TEST(PeakLimiterUnit, RendersPulledInputIntoTheOutputAndLimits) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    SCOPED_TRACE(rate);
    auto unit = makeLimiterUnit();
    prepare(*unit, rate);
    const std::size_t w = std::size_t(std::lround(unit->latency() * rate));
    Host host(512 * 20);
    for (std::size_t i = 0; i < host.sourceLeft.size(); ++i) {
      host.sourceLeft[i] = 0.5f * std::sin(0.01f * float(i));
      host.sourceRight[i] = i >= 5120 ? 3.0f * std::sin(0.013f * float(i)) : 0.25f;  // loud from frame 5120
    }
    auto block = unit->internalRenderBlock();
    std::vector<float> left, right;
    for (int call = 0; call < 20; ++call) {
      ASSERT_EQ(host.render(block, 512), noErr);
      left.insert(left.end(), host.left.begin(), host.left.begin() + 512);
      right.insert(right.end(), host.right.begin(), host.right.begin() + 512);
    }
    for (std::size_t i = w; i < 5120; ++i) {
      ASSERT_EQ(left[i], host.sourceLeft[i - w]) << i;
      ASSERT_EQ(right[i], host.sourceRight[i - w]) << i;
    }
    float peak = 0.0f;
    for (std::size_t i = 0; i < left.size(); ++i)
      peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.99f);
  }
}

TEST(PeakLimiterUnit, RendersInPlaceAndIntoItsOwnBuffers) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  auto block = unit->internalRenderBlock();
  {
    // The effect's final stage: output buffers hold the signal, and the pull block only points
    // the limiter's input buffers at them.
    SCOPED_TRACE("the pull points the input at the output");
    Host host(0);
    AudioBufferList* output = host.outputList(256);
    AURenderPullInputBlock pointAtOutput = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                               AUAudioFrameCount, NSInteger,
                                               AudioBufferList* input) -> AUAudioUnitStatus {
      for (UInt32 i = 0; i < std::min(input->mNumberBuffers, output->mNumberBuffers); ++i)
        input->mBuffers[i] = output->mBuffers[i];
      return noErr;
    };
    for (int call = 0; call < 4; ++call) {
      std::fill(host.left.begin(), host.left.end(), 4.0f);
      std::fill(host.right.begin(), host.right.end(), -2.0f);
      ASSERT_EQ(render(block, output, 256, &pointAtOutput), noErr);
    }
    EXPECT_EQ(output->mBuffers[0].mData, host.left.data());
    // Steady input of 4 needs a gain of 1/4: exactly full scale, the right channel linked.
    EXPECT_EQ(host.left[255], 1.0f);
    EXPECT_EQ(host.right[255], -0.5f);
  }
  SCOPED_TRACE("null output data renders into the input buffers");
  unit->reset();
  Host host(1024, 0.5f, -0.25f);
  AudioBufferList* output = host.outputList(512, false);
  ASSERT_EQ(render(block, output, 512, &host.pull), noErr);
  ASSERT_NE(output->mBuffers[0].mData, nullptr);
  ASSERT_NE(output->mBuffers[1].mData, nullptr);
  EXPECT_EQ(output->mBuffers[0].mDataByteSize, 512u * 4);
  const float* left = static_cast<const float*>(output->mBuffers[0].mData);
  const float* right = static_cast<const float*>(output->mBuffers[1].mData);
  EXPECT_EQ(left[0], 0.0f);  // the look-ahead delay
  EXPECT_EQ(left[511], 0.5f);
  EXPECT_EQ(right[511], -0.25f);
}

TEST(PeakLimiterUnit, RefusesWhatItCannotAllocateOrRender) {
  auto unit = makeLimiterUnit();
  auto block = unit->internalRenderBlock();
  Host host(8192, 0.5f, 0.5f);
  EXPECT_EQ(host.render(block, 64), kAudioUnitErr_Uninitialized);
  {
    SCOPED_TRACE("allocations that fail leave the unit unallocated");
    (*unit->inputBusses())[0]->setFormat(AVAudioFormat::makeStandard(48000.0, 2));
    (*unit->outputBusses())[0]->setFormat(AVAudioFormat::makeStandard(44100.0, 2));
    EXPECT_EQ(failedAllocation(*unit)->code(), kAudioUnitErr_FormatNotSupported)
        << "input and output rates differ";
    setFormats(*unit, 48000.0);
    // A buffer's byte size is a 32-bit count: 2^30 float frames no longer fit.
    for (AUAudioFrameCount frames : {0x40000000u, 0xFFFFFFFFu}) {
      unit->setMaximumFramesToRender(frames);
      const auto error = failedAllocation(*unit);
      EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
      EXPECT_EQ(error->code(), kAudioUnitErr_TooManyFramesToProcess) << frames;
      EXPECT_EQ(host.render(block, 64), kAudioUnitErr_Uninitialized);
    }
    prepare(*unit, 48000.0, 2, 512);
    (*unit->inputBusses())[0]->setFormat(AVAudioFormat::makeStandard(44100.0, 2));
    EXPECT_EQ(failedAllocation(*unit)->code(), kAudioUnitErr_FormatNotSupported) << "after a good allocation";
    EXPECT_EQ(host.render(block, 64), kAudioUnitErr_Uninitialized);
  }
  prepare(*unit, 48000.0, 2, 512);
  std::fill(host.left.begin(), host.left.end(), 7.0f);
  EXPECT_EQ(host.render(block, 513), kAudioUnitErr_TooManyFramesToProcess);
  EXPECT_EQ(host.left[0], 7.0f) << "output untouched";
  EXPECT_EQ(host.position, 0u) << "nothing pulled";
  EXPECT_EQ(render(block, host.outputList(64), 64, &host.pull, 1), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(render(block, host.outputList(64), 64, nullptr), kAudioUnitErr_NoConnection);
  EXPECT_EQ(render(block, nullptr, 64, &host.pull), kAudio_ParamError);
  host.pullStatus = -1234;
  EXPECT_EQ(host.render(block, 64), -1234);
  host.pullStatus = noErr;
  AudioBufferList* small = host.outputList(64);
  small->mBuffers[1].mDataByteSize = 32;
  EXPECT_EQ(render(block, small, 64, &host.pull), kAudio_ParamError);
  AudioBufferList* halfInPlace = host.outputList(64);
  halfInPlace->mBuffers[1].mData = nullptr;
  EXPECT_EQ(render(block, halfInPlace, 64, &host.pull), kAudio_ParamError)
      << "only a null first buffer asks for in place";
  EXPECT_EQ(host.render(block, 512), noErr);
  EXPECT_EQ(host.render(block, 0), noErr);

  SCOPED_TRACE("the frame limit is taken at allocation");
  unit->setMaximumFramesToRender(1024);
  EXPECT_EQ(host.render(block, 1024), kAudioUnitErr_TooManyFramesToProcess);
  prepare(*unit, 48000.0, 2, 1024);
  EXPECT_EQ(host.render(block, 1024), noErr);
  EXPECT_EQ(host.left[1000], 0.5f);
  unit->deallocateRenderResources();
  EXPECT_EQ(host.render(block, 64), kAudioUnitErr_Uninitialized);
}

TEST(PeakLimiterUnit, BypassPassesTheInputThroughAndRenderingAllocatesNothing) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  Host host(512 * 12);
  for (std::size_t i = 0; i < host.sourceLeft.size(); ++i) {
    host.sourceLeft[i] = 3.0f + float(i);  // far above full scale: limited, or passed as it is
    host.sourceRight[i] = -2.0f * std::sin(0.05f * float(i));
  }
  auto block = unit->internalRenderBlock();
  const AURenderEvent event = parameterEvent(PeakLimiterUnit::kDecayTime, 0.05f);
  AllocationCounter counter;
  for (int call = 0; call < 10; ++call)
    ASSERT_EQ(host.render(block, 512, call == 3 ? &event : nullptr), noErr);
  unit->setShouldBypassEffect(true);
  EXPECT_TRUE(unit->shouldBypassEffect());
  ASSERT_EQ(host.render(block, 512), noErr);
  for (std::size_t i = 0; i < 512; ++i) {
    ASSERT_EQ(host.left[i], host.sourceLeft[5120 + i]) << i;
    ASSERT_EQ(host.right[i], host.sourceRight[5120 + i]) << i;
  }
  unit->setShouldBypassEffect(false);
  ASSERT_EQ(host.render(block, 512), noErr);
  EXPECT_EQ(counter.count(), 0u);
  // Leaving bypass starts from silence, not from audio held before it.
  for (std::size_t i = 0; i < 64; ++i)
    ASSERT_EQ(host.left[i], 0.0f) << i;
  EXPECT_LE(std::fabs(host.left[300]), 1.0f);
}

TEST(PeakLimiterUnit, MonoBusesAndParameterEvents) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0, 1);
  Host host(2048, 0.25f);
  auto block = unit->internalRenderBlock();
  StackAudioBufferList<1> mono;
  mono.mBuffers[0] = {1, 512 * 4, host.left.data()};
  ASSERT_EQ(render(block, mono.list(), 512, &host.pull), noErr);
  EXPECT_EQ(host.left[511], 0.25f);

  // A parameter event at the start of a call: +6.0206 dB doubles the level.
  const AURenderEvent event = parameterEvent(PeakLimiterUnit::kPreGain, 20.0f * std::log10(2.0f));
  ASSERT_EQ(render(block, mono.list(), 512, &host.pull, 0, &event), noErr);
  EXPECT_FLOAT_EQ(host.left[511], 0.5f);
  EXPECT_FLOAT_EQ(unit->parameterTree()->parameterWithAddress(PeakLimiterUnit::kPreGain)->value(), 6.0206f);
}

TEST(PeakLimiterUnit, ResetClearsTheDelayLineAtTheNextRenderCall) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0, 2, 256);
  auto block = unit->internalRenderBlock();
  Host host(256 * 3, 0.5f);
  std::fill(host.sourceLeft.begin() + 256, host.sourceLeft.end(), 0.25f);
  ASSERT_EQ(host.render(block, 256), noErr);
  EXPECT_EQ(host.left[0], 0.0f);
  EXPECT_EQ(host.left[255], 0.5f);
  unit->reset();
  unit->reset();  // twice before rendering: one clearing
  ASSERT_EQ(host.render(block, 256), noErr);
  for (std::size_t i = 0; i < 64; ++i)
    ASSERT_EQ(host.left[i], 0.0f) << "the delay line was cleared, frame " << i;
  EXPECT_EQ(host.left[64], 0.25f);
  ASSERT_EQ(host.render(block, 256), noErr);
  EXPECT_EQ(host.left[0], 0.25f) << "no further clearing";
}

TEST(PeakLimiterUnitThreads, ParametersBypassAndResetFromTheHostsThreadWhileRendering) {
  // The host's thread writes parameters and the bypass flag and resets the unit while the
  // render thread renders: every write is an atomic the render call reads once, and the
  // clearing happens on the render thread, so the limiter's state is never written by two threads.
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  Host host(512 * 400);
  for (std::size_t i = 0; i < host.sourceLeft.size(); ++i)
    host.sourceLeft[i] = host.sourceRight[i] = ((i / 512) % 2 ? 3.0f : 0.5f) * std::sin(0.02f * float(i));
  auto block = unit->internalRenderBlock();
  std::atomic<bool> done{false};
  float peak = 0.0f;
  OSStatus status = noErr;
  std::thread renderer([&] {
    for (int call = 0; call < 400 && status == noErr; ++call) {
      status = host.render(block, 512);
      if (!unit->shouldBypassEffect())
        for (std::size_t i = 0; i < 512; ++i)
          peak = std::max(peak, std::fabs(host.left[i]));
    }
    done = true;
  });
  auto tree = unit->parameterTree();
  for (int i = 0; !done; ++i) {
    tree->parameterWithAddress(PeakLimiterUnit::kAttackTime)->setValue(0.001f + 0.001f * float(i % 29));
    tree->parameterWithAddress(PeakLimiterUnit::kPreGain)->setValue(float(i % 13));
    if (i % 50 == 0)
      unit->setShouldBypassEffect(false);
    if (i % 3 == 0)
      unit->reset();
    std::this_thread::yield();
  }
  renderer.join();
  EXPECT_EQ(status, noErr);
  EXPECT_LE(peak, 1.0f);
  EXPECT_GT(peak, 0.4f);
}
