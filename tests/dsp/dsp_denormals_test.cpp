// Digital silence after a signal: the detectors' levels decay to exactly 0 within a few seconds
// and never rest on a subnormal value (where every sample costs many times more), whether or not
// the render entry's flush-to-zero is on.
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

// Calls of silence after which both detectors of the first compressor are exactly 0, or -1.
template <typename Render>
int callsUntilSilent(Adapter& adapter, Render render) {
  adapter.allocateRenderResources();
  for (int call = 0; call < 12 * kCallsPerSecond; ++call) {
    render();
    const auto& c = adapter.kernel().compressor.c;
    EXPECT_NE(std::fpclassify(c[0].level), FP_SUBNORMAL);
    if (call >= kCallsPerSecond && c[0].level == 0.0f && c[1].level == 0.0f)
      return call - kCallsPerSecond + 1;
  }
  return -1;
}

}  // namespace

TEST(DspDenormals, DetectorsReachZeroInSilence) {
  if (FloatingPointMode::kFlushBits == 0)
    GTEST_SKIP() << "this processor's subnormal mode is not set here";
  AudioTimeStamp time{};
  AudioUnitRenderActionFlags flags = 0;
  {
    SCOPED_TRACE("through the render entry, which restores the caller's floating-point mode");
    Adapter adapter;
    Host host;
    const bool flushingBefore = FloatingPointMode::flushesSubnormals();
    const int calls = callsUntilSilent(adapter, [&] {
      ASSERT_EQ(adapter.render(&flags, &time, kFrames, 0, host.output(), nullptr, &host.pull), noErr);
    });
    EXPECT_EQ(FloatingPointMode::flushesSubnormals(), flushingBefore);
    // At the default release (about 92 ms) a level falls 600 dB in about 6.4 s.
    EXPECT_GT(calls, 0);
    EXPECT_LE(calls, 7 * kCallsPerSecond);
    EXPECT_EQ(host.left[kFrames - 1], 0.0f);
  }
  {
    SCOPED_TRACE("the kernel alone, without flush-to-zero");
    Adapter bare;
    Host host;
    const int calls = callsUntilSilent(bare, [&] {
      ASSERT_EQ(bare.bufferedInputBus().pullInput(&flags, &time, kFrames, 0, &host.pull), noErr);
      bare.kernel().setBuffers(bare.bufferedInputBus().mutableAudioBufferList, host.output());
      bare.kernel().processWithEvents(&time, kFrames, nullptr, nullptr);
    });
    EXPECT_GT(calls, 0);
    EXPECT_LE(calls, 11 * kCallsPerSecond);
  }
}
