// Digital silence after a signal: the render entry flushes subnormals, so the detectors never
// settle on a subnormal level (where every sample costs many times more). Under flush-to-zero a
// decaying level ends near the point where its release step c * level would be subnormal (about
// FLT_MIN / c, a normal number far below -600 dB); outside a render entry it creeps on into the
// subnormal range and stays there.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "RealTime/FloatingPointMode.h"
#include "RealTime/RenderScope.h"

namespace {

using Adapter = KOV_Compressor_ExtensionDSPKernelAdapter;
constexpr AUAudioFrameCount kFrames = 512;
constexpr int kCallsPerSecond = 48000 / kFrames;  // 93 calls of 512 frames: about a second

// The detector's level, read by running it over one more sample of silence (outside a render
// scope, so that a subnormal level shows as it is).
float detectorLevel(Compressor1& compressor) {
  const float zero = 0.0f;
  float level = -1.0f;
  compressor.detect(&zero, &level, 1, compressor.snapshot());
  return level;
}

// A host that plays one second of a loud 1 kHz tone on both channels, then silence.
struct Host {
  long frame = 0;
  std::vector<float> left = std::vector<float>(kFrames), right = std::vector<float>(kFrames);
  StackAudioBufferList<2> out;
  AURenderPullInputBlock pull = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                       AUAudioFrameCount n, NSInteger, AudioBufferList* input) {
    for (UInt32 b = 0; b < input->mNumberBuffers; ++b) {
      float* data = static_cast<float*>(input->mBuffers[b].mData);
      for (AUAudioFrameCount i = 0; i < n; ++i)
        data[i] = frame + i < 48000
                      ? 0.9f * std::sin(2.0f * float(M_PI) * 1000.0f * float(frame + i) / 48000.0f)
                      : 0.0f;
    }
    frame += n;
    return noErr;
  };
  AudioBufferList* output() {
    out.mBuffers[0] = {1, kFrames * 4, left.data()};
    out.mBuffers[1] = {1, kFrames * 4, right.data()};
    return out.list();
  }
};

}  // namespace

TEST(DspDenormals, DetectorsLeaveNoSubnormalLevelInSilence) {
  if (FloatingPointMode::kFlushBits == 0) GTEST_SKIP() << "this processor's subnormal mode is not set here";
  AudioTimeStamp time{};
  AudioUnitRenderActionFlags flags = 0;
  constexpr int kCalls = 12 * kCallsPerSecond;  // one second of tone, eleven of silence
  {
    SCOPED_TRACE("through the render entry: the level ends at 0 or a normal value below -600 dB");
    Adapter adapter;
    adapter.allocateRenderResources();
    Host host;
    const bool flushingBefore = FloatingPointMode::flushesSubnormals();
    for (int call = 0; call < kCalls; ++call)
      ASSERT_EQ(adapter.render(&flags, &time, kFrames, 0, host.output(), nullptr, &host.pull), noErr);
    EXPECT_EQ(FloatingPointMode::flushesSubnormals(), flushingBefore) << "the caller's mode is restored";
    for (Compressor1& compressor : adapter.kernel().compressor.c) {
      const float level = detectorLevel(compressor);
      EXPECT_TRUE(level == 0.0f || std::isnormal(level)) << level;
      EXPECT_LT(level, 1e-30f);
    }
    EXPECT_EQ(host.left[kFrames - 1], 0.0f);
  }
  SCOPED_TRACE("the same kernel run outside a render entry sits on a subnormal level");
  Adapter bare;
  bare.allocateRenderResources();
  Host host;
  for (int call = 0; call < kCalls; ++call) {
    ASSERT_EQ(bare.bufferedInputBus().pullInput(&flags, &time, kFrames, 0, &host.pull), noErr);
    bare.kernel().setBuffers(bare.bufferedInputBus().mutableAudioBufferList, host.output());
    bare.kernel().processWithEvents(&time, kFrames, nullptr, nullptr);
  }
  EXPECT_EQ(std::fpclassify(detectorLevel(bare.kernel().compressor.c[0])), FP_SUBNORMAL);
}
