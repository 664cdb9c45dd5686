// Audio value objects and the system peak limiter under hostile sizes and host calls made while
// rendering: buffer capacities whose byte sizes do not fit, frame limits no buffer can hold, and
// a reset from the host's thread during rendering.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "AVFoundation/AVAudioFormat.h"
#include "AVFoundation/AVAudioPCMBuffer.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/PeakLimiterUnit.h"

namespace {

constexpr AudioComponentDescription kSystemLimiter{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0};

std::shared_ptr<AUAudioUnit> systemLimiter() {
  std::shared_ptr<NSError> error;
  auto unit = AUAudioUnit::instantiate(kSystemLimiter, 0, &error);
  EXPECT_TRUE(unit) << (error ? error->description() : "");
  return unit;
}

void formatBuses(AUAudioUnit& unit, double rate) {
  auto format = AVAudioFormat::makeStandard(rate, 2);
  (*unit.inputBusses())[0]->setFormat(format);
  (*unit.outputBusses())[0]->setFormat(format);
}

// Renders `frames` frames of a constant `level` into `left`/`right` through a pull block that
// fills the limiter's own input buffers.
OSStatus renderConstant(const AUInternalRenderBlock& block, float level, std::vector<float>& left,
                        std::vector<float>& right, UInt32 frames) {
  const AURenderPullInputBlock pull = [level](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                              AUAudioFrameCount count, NSInteger,
                                              AudioBufferList* input) -> AUAudioUnitStatus {
    for (UInt32 b = 0; b < input->mNumberBuffers; ++b) {
      auto* samples = static_cast<float*>(input->mBuffers[b].mData);
      for (UInt32 i = 0; i < count; ++i) samples[i] = level;
    }
    return noErr;
  };
  StackAudioBufferList<2> output;
  output.mBuffers[0] = {1, frames * 4, left.data()};
  output.mBuffers[1] = {1, frames * 4, right.data()};
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp time{};
  return block(&flags, &time, frames, 0, output.list(), nullptr, &pull);
}

}  // namespace

TEST(AudioPCMBufferSizes, CapacitiesBeyondThe32BitByteSizeAreRefused) {
  // A buffer's byte size is a 32-bit count: 2^30 float frames per buffer (or 2^29 interleaved
  // stereo frames) no longer fit, and such a buffer is not made.
  const auto mono = AVAudioFormat::makeStandard(48000.0, 1);
  const auto stereo = AVAudioFormat::makeStandard(48000.0, 2);
  const auto interleaved = AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 48000.0, 2, true);
  EXPECT_EQ(AVAudioPCMBuffer::make(mono, 0x40000000u), nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::make(stereo, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::make(interleaved, 0x20000000u), nullptr);

  SCOPED_TRACE("ordinary capacities: zeroed samples, two lists over them");
  auto buffer = AVAudioPCMBuffer::make(stereo, 4096);
  ASSERT_NE(buffer, nullptr);
  const AudioBufferList* original = buffer->audioBufferList();
  for (UInt32 b = 0; b < 2; ++b) {
    const auto* samples = static_cast<const float*>(original->mBuffers[b].mData);
    ASSERT_NE(samples, nullptr);
    for (UInt32 i = 0; i < 4096; ++i) ASSERT_EQ(samples[i], 0.0f) << b << " " << i;
    EXPECT_EQ(buffer->mutableAudioBufferList()->mBuffers[b].mData, original->mBuffers[b].mData);
  }
  EXPECT_NE(static_cast<const void*>(original), static_cast<const void*>(buffer->mutableAudioBufferList()));
  buffer->setFrameLength(4096);
  EXPECT_EQ(original->mBuffers[1].mDataByteSize, 4096u * 4u);
}

TEST(PeakLimiterUnitSizes, FrameLimitsNoBufferCanHoldFailTheAllocation) {
  auto unit = systemLimiter();
  ASSERT_TRUE(unit);
  formatBuses(*unit, 48000.0);
  for (AUAudioFrameCount frames : {0x40000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(frames);
    unit->setMaximumFramesToRender(frames);
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(unit->allocateRenderResourcesAndReturnError(&error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
    EXPECT_EQ(error->code(), kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_FALSE(unit->renderResourcesAllocated());
    std::vector<float> left(64), right(64);
    EXPECT_EQ(renderConstant(unit->internalRenderBlock(), 0.5f, left, right, 64), kAudioUnitErr_Uninitialized);
  }
  {
    SCOPED_TRACE("a failed allocation after a good one leaves the unit unallocated");
    unit->setMaximumFramesToRender(512);
    ASSERT_TRUE(unit->allocateRenderResourcesAndReturnError(nullptr));
    (*unit->inputBusses())[0]->setFormat(AVAudioFormat::makeStandard(44100.0, 2));
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(unit->allocateRenderResourcesAndReturnError(&error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), kAudioUnitErr_FormatNotSupported);
    std::vector<float> left(64), right(64);
    EXPECT_EQ(renderConstant(unit->internalRenderBlock(), 0.5f, left, right, 64), kAudioUnitErr_Uninitialized);
    formatBuses(*unit, 48000.0);
  }
  SCOPED_TRACE("a frame limit that fits allocates again");
  unit->setMaximumFramesToRender(1024);
  std::shared_ptr<NSError> error;
  EXPECT_TRUE(unit->allocateRenderResourcesAndReturnError(&error));
  std::vector<float> left(1024), right(1024);
  EXPECT_EQ(renderConstant(unit->internalRenderBlock(), 0.5f, left, right, 1024), noErr);
  EXPECT_EQ(left[1000], 0.5f);
}

TEST(PeakLimiterUnitSizes, ResetTakesEffectAtTheNextRenderCall) {
  auto unit = systemLimiter();
  ASSERT_TRUE(unit);
  formatBuses(*unit, 48000.0);
  unit->setMaximumFramesToRender(256);
  ASSERT_TRUE(unit->allocateRenderResourcesAndReturnError(nullptr));
  auto block = unit->internalRenderBlock();
  std::vector<float> left(256), right(256);
  ASSERT_EQ(renderConstant(block, 0.5f, left, right, 256), noErr);
  EXPECT_EQ(left[255], 0.5f);
  unit->reset();
  unit->reset();  // twice before rendering: one clearing
  ASSERT_EQ(renderConstant(block, 0.25f, left, right, 256), noErr);
  for (std::size_t i = 0; i < 64; ++i) ASSERT_EQ(left[i], 0.0f) << "the delay line was cleared, frame " << i;
  EXPECT_EQ(left[64], 0.25f);
  ASSERT_EQ(renderConstant(block, 0.25f, left, right, 256), noErr);
  EXPECT_EQ(left[0], 0.25f) << "no further clearing";
}

TEST(PeakLimiterUnitThreads, ResetFromTheHostsThreadWhileRendering) {
  // Hosts reset units from their own thread, also while the render thread runs: the clearing
  // happens on the render thread, so the limiter's state is never written by two threads.
  auto unit = systemLimiter();
  ASSERT_TRUE(unit);
  formatBuses(*unit, 48000.0);
  unit->setMaximumFramesToRender(512);
  ASSERT_TRUE(unit->allocateRenderResourcesAndReturnError(nullptr));
  auto block = unit->internalRenderBlock();
  std::atomic<bool> done{false};
  OSStatus status = noErr;
  float peak = 0.0f;
  std::thread renderer([&] {
    std::vector<float> left(512), right(512);
    for (int call = 0; call < 300 && status == noErr; ++call) {
      status = renderConstant(block, call % 2 ? 4.0f : 0.5f, left, right, 512);
      for (float sample : left) peak = std::max(peak, std::fabs(sample));
    }
    done = true;
  });
  for (int i = 0; !done; ++i) {
    unit->reset();
    std::this_thread::yield();
  }
  renderer.join();
  EXPECT_EQ(status, noErr);
  EXPECT_LE(peak, 1.0f);
  EXPECT_GT(peak, 0.4f);
}

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
