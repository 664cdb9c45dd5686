// The system peak limiter as hosts reach it: the registry, its buses and parameters, render
// resources, and its render block (pulling, in place, frame limits, bypass, no allocation).
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
#include "AudioToolbox/PeakLimiterUnit.h"

namespace {

constexpr AudioComponentDescription kLimiter{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0};

std::shared_ptr<AUAudioUnit> makeLimiterUnit() {
  std::shared_ptr<NSError> error;
  auto unit = AUAudioUnit::instantiate(kLimiter, 0, &error);
  EXPECT_TRUE(unit) << (error ? error->description() : "");
  return unit;
}

// Sets both buses to a standard format and allocates.
void prepare(AUAudioUnit& unit, double rate, AVAudioChannelCount channels = 2, AUAudioFrameCount maxFrames = 512) {
  auto format = AVAudioFormat::makeStandard(rate, channels);
  (*unit.inputBusses())[0]->setFormat(format);
  (*unit.outputBusses())[0]->setFormat(format);
  unit.setMaximumFramesToRender(maxFrames);
  std::shared_ptr<NSError> error;
  ASSERT_TRUE(unit.allocateRenderResourcesAndReturnError(&error)) << (error ? error->description() : "");
}

// A host: a source signal it hands out through its pull block, and its own output buffers.
struct Host {
  std::vector<float> sourceLeft, sourceRight;  // the whole input signal
  std::size_t position = 0;
  std::vector<float> left, right;              // output of one call
  StackAudioBufferList<2> output;
  OSStatus pullStatus = noErr;
  AURenderPullInputBlock pull;

  explicit Host(std::size_t frames) : sourceLeft(frames), sourceRight(frames), left(4096), right(4096) {
    pull = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount count, NSInteger,
                  AudioBufferList* input) -> AUAudioUnitStatus {
      if (pullStatus != noErr) return pullStatus;
      std::memcpy(input->mBuffers[0].mData, &sourceLeft[position], count * sizeof(float));
      if (input->mNumberBuffers > 1) std::memcpy(input->mBuffers[1].mData, &sourceRight[position], count * sizeof(float));
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
};

OSStatus render(const AUInternalRenderBlock& block, AudioBufferList* output, UInt32 frames,
                const AURenderPullInputBlock* pull, NSInteger bus = 0, const AURenderEvent* events = nullptr) {
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp time{};
  return block(&flags, &time, frames, bus, output, events, pull);
}

}  // namespace

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
  } writes[] = {{0, 0.1f, 0.03f},  {1, 0.1f, 0.06f},  {2, -0.01f, -0.01f}, {0, 0.0f, 0.001f},
                {2, 50.0f, 40.0f}, {2, -50.0f, -40.0f}, {1, 0.06f, 0.06f},  {0, 0.02f, 0.02f}};
  for (const auto& w : writes) {
    SCOPED_TRACE(std::to_string(w.id) + " = " + std::to_string(w.set));
    EXPECT_EQ(AudioUnitSetParameter(handle, w.id, kAudioUnitScope_Global, 0, w.set, 0), noErr);
    AudioUnitParameterValue value = -1;
    EXPECT_EQ(AudioUnitGetParameter(handle, w.id, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_FLOAT_EQ(value, w.read);
  }
  EXPECT_EQ(AudioUnitSetParameter(handle, 3, kAudioUnitScope_Global, 0, 1.0f, 0), kAudioUnitErr_InvalidParameter);
}

TEST(PeakLimiterUnit, RenderResourcesFollowTheBusFormats) {
  for (double rate : {8000.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    SCOPED_TRACE(rate);
    auto unit = makeLimiterUnit();
    prepare(*unit, rate);
    EXPECT_TRUE(unit->renderResourcesAllocated());
    const double frames = rate < 10000 ? 16 : rate < 50000 ? 64 : rate < 100000 ? 128 : 256;
    EXPECT_DOUBLE_EQ(unit->latency(), frames / rate);
  }
  SCOPED_TRACE("input and output at different rates");
  auto unit = makeLimiterUnit();
  (*unit->inputBusses())[0]->setFormat(AVAudioFormat::makeStandard(48000.0, 2));
  (*unit->outputBusses())[0]->setFormat(AVAudioFormat::makeStandard(44100.0, 2));
  std::shared_ptr<NSError> error;
  EXPECT_FALSE(unit->allocateRenderResourcesAndReturnError(&error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kAudioUnitErr_FormatNotSupported);
  EXPECT_FALSE(unit->renderResourcesAllocated());
  EXPECT_EQ(render(unit->internalRenderBlock(), Host(8).outputList(8), 8, nullptr), kAudioUnitErr_Uninitialized);
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
      ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
      left.insert(left.end(), host.left.begin(), host.left.begin() + 512);
      right.insert(right.end(), host.right.begin(), host.right.begin() + 512);
    }
    for (std::size_t i = w; i < 5120; ++i) {
      ASSERT_EQ(left[i], host.sourceLeft[i - w]) << i;
      ASSERT_EQ(right[i], host.sourceRight[i - w]) << i;
    }
    float peak = 0.0f;
    for (std::size_t i = 0; i < left.size(); ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.99f);
  }
}

TEST(PeakLimiterUnit, RendersInPlaceWhenThePullPointsInputAtOutput) {
  // The effect's final stage: output buffers hold the signal, and the pull block only points
  // the limiter's input buffers at them.
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  std::vector<float> left(256), right(256);
  StackAudioBufferList<2> output;
  output.mBuffers[0] = {1, 256 * 4, left.data()};
  output.mBuffers[1] = {1, 256 * 4, right.data()};
  AURenderPullInputBlock pointAtOutput = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount,
                                             NSInteger, AudioBufferList* input) -> AUAudioUnitStatus {
    for (UInt32 i = 0; i < std::min(input->mNumberBuffers, output.mNumberBuffers); ++i) input->mBuffers[i] = output.mBuffers[i];
    return noErr;
  };
  auto block = unit->internalRenderBlock();
  for (int call = 0; call < 4; ++call) {
    std::fill(left.begin(), left.end(), 4.0f);
    std::fill(right.begin(), right.end(), -2.0f);
    ASSERT_EQ(render(block, output.list(), 256, &pointAtOutput), noErr);
  }
  EXPECT_EQ(output.mBuffers[0].mData, left.data());
  // Steady input of 4 needs a gain of 1/4: exactly full scale, the right channel linked.
  EXPECT_EQ(left[255], 1.0f);
  EXPECT_EQ(right[255], -0.5f);
}

TEST(PeakLimiterUnit, NullOutputDataRendersIntoTheInputBuffers) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  Host host(1024);
  std::fill(host.sourceLeft.begin(), host.sourceLeft.end(), 0.5f);
  std::fill(host.sourceRight.begin(), host.sourceRight.end(), -0.25f);
  auto block = unit->internalRenderBlock();
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

TEST(PeakLimiterUnit, RefusesWhatItCannotRender) {
  auto unit = makeLimiterUnit();
  auto block = unit->internalRenderBlock();
  Host host(8192);
  EXPECT_EQ(render(block, host.outputList(64), 64, &host.pull), kAudioUnitErr_Uninitialized);
  prepare(*unit, 48000.0, 2, 512);

  std::fill(host.left.begin(), host.left.end(), 7.0f);
  EXPECT_EQ(render(block, host.outputList(513), 513, &host.pull), kAudioUnitErr_TooManyFramesToProcess);
  EXPECT_EQ(host.left[0], 7.0f) << "output untouched";
  EXPECT_EQ(host.position, 0u) << "nothing pulled";
  EXPECT_EQ(render(block, host.outputList(64), 64, &host.pull, 1), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(render(block, host.outputList(64), 64, nullptr), kAudioUnitErr_NoConnection);
  EXPECT_EQ(render(block, nullptr, 64, &host.pull), kAudio_ParamError);
  host.pullStatus = -1234;
  EXPECT_EQ(render(block, host.outputList(64), 64, &host.pull), -1234);
  host.pullStatus = noErr;
  AudioBufferList* small = host.outputList(64);
  small->mBuffers[1].mDataByteSize = 32;
  EXPECT_EQ(render(block, small, 64, &host.pull), kAudio_ParamError);
  EXPECT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  EXPECT_EQ(render(block, host.outputList(0), 0, &host.pull), noErr);

  SCOPED_TRACE("the frame limit is taken at allocation");
  unit->setMaximumFramesToRender(1024);
  EXPECT_EQ(render(block, host.outputList(1024), 1024, &host.pull), kAudioUnitErr_TooManyFramesToProcess);
  prepare(*unit, 48000.0, 2, 1024);
  EXPECT_EQ(render(block, host.outputList(1024), 1024, &host.pull), noErr);
  unit->deallocateRenderResources();
  EXPECT_EQ(render(block, host.outputList(64), 64, &host.pull), kAudioUnitErr_Uninitialized);
}

TEST(PeakLimiterUnit, BypassPassesTheInputThrough) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  Host host(2048);
  for (std::size_t i = 0; i < host.sourceLeft.size(); ++i) {
    host.sourceLeft[i] = 3.0f + float(i);  // far above full scale: passed as it is
    host.sourceRight[i] = -float(i);
  }
  auto block = unit->internalRenderBlock();
  ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  unit->setShouldBypassEffect(true);
  EXPECT_TRUE(unit->shouldBypassEffect());
  ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  for (std::size_t i = 0; i < 512; ++i) {
    ASSERT_EQ(host.left[i], host.sourceLeft[512 + i]) << i;
    ASSERT_EQ(host.right[i], host.sourceRight[512 + i]) << i;
  }
  SCOPED_TRACE("leaving bypass starts from silence, not from audio held before it");
  unit->setShouldBypassEffect(false);
  ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  for (std::size_t i = 0; i < 64; ++i) ASSERT_EQ(host.left[i], 0.0f) << i;
  EXPECT_LE(std::fabs(host.left[300]), 1.0f);
}

TEST(PeakLimiterUnit, MonoBusesAndParameterEvents) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0, 1);
  Host host(2048);
  std::fill(host.sourceLeft.begin(), host.sourceLeft.end(), 0.25f);
  auto block = unit->internalRenderBlock();
  StackAudioBufferList<1> mono;
  mono.mBuffers[0] = {1, 512 * 4, host.left.data()};
  ASSERT_EQ(render(block, mono.list(), 512, &host.pull), noErr);
  EXPECT_EQ(host.left[511], 0.25f);

  // A parameter event at the start of a call: +6.0206 dB doubles the level.
  AURenderEvent event{};
  event.parameter.eventType = AURenderEventParameter;
  event.parameter.parameterAddress = PeakLimiterUnit::kPreGain;
  event.parameter.value = 20.0f * std::log10(2.0f);
  ASSERT_EQ(render(block, mono.list(), 512, &host.pull, 0, &event), noErr);
  EXPECT_FLOAT_EQ(host.left[511], 0.5f);
  EXPECT_FLOAT_EQ(unit->parameterTree()->parameterWithAddress(PeakLimiterUnit::kPreGain)->value(), 6.0206f);
}

TEST(PeakLimiterUnit, RenderingAllocatesNothing) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  Host host(512 * 12);
  for (std::size_t i = 0; i < host.sourceLeft.size(); ++i) host.sourceLeft[i] = host.sourceRight[i] = 2.0f * std::sin(0.05f * float(i));
  auto block = unit->internalRenderBlock();
  AURenderEvent event{};
  event.parameter.eventType = AURenderEventParameter;
  event.parameter.parameterAddress = PeakLimiterUnit::kDecayTime;
  event.parameter.value = 0.05f;
  AllocationCounter counter;
  for (int call = 0; call < 10; ++call)
    ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull, 0, call == 3 ? &event : nullptr), noErr);
  unit->setShouldBypassEffect(true);
  ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  unit->setShouldBypassEffect(false);
  ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  EXPECT_EQ(counter.count(), 0u);
}

TEST(PeakLimiterUnit, ResetClearsTheDelayLine) {
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  Host host(1024);
  std::fill(host.sourceLeft.begin(), host.sourceLeft.end(), 0.75f);
  std::fill(host.sourceRight.begin(), host.sourceRight.end(), 0.75f);
  auto block = unit->internalRenderBlock();
  ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  EXPECT_EQ(host.left[0], 0.0f);
  EXPECT_EQ(host.left[100], 0.75f);
  unit->reset();
  ASSERT_EQ(render(block, host.outputList(512), 512, &host.pull), noErr);
  EXPECT_EQ(host.left[0], 0.0f);
  EXPECT_EQ(host.left[63], 0.0f);
  EXPECT_EQ(host.left[64], 0.75f);
}

TEST(PeakLimiterThreads, ParametersAndBypassWrittenWhileRendering) {
  // The host's thread writes parameters and the bypass flag while the render thread renders;
  // every write is an atomic the render call reads once.
  auto unit = makeLimiterUnit();
  prepare(*unit, 48000.0);
  Host host(512 * 400);
  for (std::size_t i = 0; i < host.sourceLeft.size(); ++i) host.sourceLeft[i] = host.sourceRight[i] = 3.0f * std::sin(0.02f * float(i));
  auto block = unit->internalRenderBlock();
  std::atomic<bool> done{false};
  float peak = 0.0f;
  OSStatus status = noErr;
  std::thread renderer([&] {
    for (int call = 0; call < 400 && status == noErr; ++call) {
      status = render(block, host.outputList(512), 512, &host.pull);
      if (!unit->shouldBypassEffect())
        for (std::size_t i = 0; i < 512; ++i) peak = std::max(peak, std::fabs(host.left[i]));
    }
    done = true;
  });
  auto tree = unit->parameterTree();
  for (int i = 0; !done; ++i) {
    tree->parameterWithAddress(PeakLimiterUnit::kAttackTime)->setValue(0.001f + 0.001f * float(i % 29));
    tree->parameterWithAddress(PeakLimiterUnit::kPreGain)->setValue(float(i % 13));
    if (i % 50 == 0) unit->setShouldBypassEffect(false);
    std::this_thread::yield();
  }
  renderer.join();
  EXPECT_EQ(status, noErr);
  EXPECT_LE(peak, 1.0f);
}
