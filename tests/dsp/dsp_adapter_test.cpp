// The kernel adapter: status codes, pulling, in-place processing, frame limits, buffer checks,
// parameters and meters; no allocation on its render paths; parameter lines of render events
// printed by the main loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "AudioToolbox/AUParameters.h"
#include "Dispatch/DispatchQueue.h"
#include "KOVCompressorParameters.h"
#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "StdoutCapture.h"
#include "dsp_reference.h"

namespace {

using Adapter = KOV_Compressor_ExtensionDSPKernelAdapter;

// A host side: a pull block that fills the input with a ramp, and output buffers.
struct Host {
  std::vector<float> left, right;
  StackAudioBufferList<2> out;
  int pulls = 0;
  AUAudioUnitStatus pullStatus = noErr;
  AURenderPullInputBlock pull;

  explicit Host(AUAudioFrameCount capacity) : left(capacity, 0.0f), right(capacity, 0.0f) {
    point();
    pull = [this](AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, AUAudioFrameCount frames,
                  NSInteger bus, AudioBufferList* input) {
      ++pulls;
      EXPECT_EQ(*flags, 0u);
      EXPECT_EQ(bus, 0);
      if (pullStatus != noErr)
        return pullStatus;
      for (UInt32 b = 0; b < input->mNumberBuffers; ++b) {
        float* data = static_cast<float*>(input->mBuffers[b].mData);
        for (AUAudioFrameCount i = 0; i < frames; ++i)
          data[i] = 0.5f * std::sin(0.01f * (i + 100 * b));
      }
      return noErr;
    };
  }
  void point() {
    out.mBuffers[0] = {1, static_cast<UInt32>(left.size() * 4), left.data()};
    out.mBuffers[1] = {1, static_cast<UInt32>(right.size() * 4), right.data()};
  }
};

AUAudioUnitStatus render(Adapter& a, Host& h, AUAudioFrameCount frames, const AURenderEvent* events = nullptr,
                         bool withPull = true) {
  AudioUnitRenderActionFlags flags = 7;
  AudioTimeStamp ts;
  return a.render(&flags, &ts, frames, 0, h.out.list(), events, withPull ? &h.pull : nullptr);
}

void quietly(Adapter& a, std::int32_t address, float value) {
  testing::internal::CaptureStdout();
  a.setParameterEx(address, value);
  testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(DspAdapter, SetUpAndStatusCodes) {
  Adapter a;
  EXPECT_EQ(a.getSamplerate(), 48000.0f);
  ASSERT_TRUE(a.inputBus() && a.outputBus());
  EXPECT_EQ(a.outputBus()->format()->channelCount(), 2u);
  EXPECT_EQ(a.inputBus()->maximumChannelCount(), 2u);
  EXPECT_EQ(a.maximumFramesToRender(), 4096u);
  Host h(8192);

  SCOPED_TRACE("before allocation: -10867, nothing pulled");
  EXPECT_EQ(render(a, h, 512), kAudioUnitErr_Uninitialized);
  EXPECT_EQ(a.internalRenderBlock()(nullptr, nullptr, 512, 0, h.out.list(), nullptr, &h.pull),
            kAudioUnitErr_Uninitialized);
  EXPECT_EQ(h.pulls, 0);
  // The block's pull comes first: without a pull block it refuses with -10876 as always.
  EXPECT_EQ(a.internalRenderBlock()(nullptr, nullptr, 512, 0, h.out.list(), nullptr, nullptr),
            kAudioUnitErr_NoConnection);
  EXPECT_EQ(a.internalRenderBlock()(nullptr, nullptr, 4097, 0, h.out.list(), nullptr, nullptr),
            kAudioUnitErr_TooManyFramesToProcess);

  a.allocateRenderResources();
  SCOPED_TRACE("maximum frame count renders; one more is refused without a pull");
  EXPECT_EQ(render(a, h, 4096), noErr);
  EXPECT_EQ(h.pulls, 1);
  EXPECT_EQ(render(a, h, 4097), kAudioUnitErr_TooManyFramesToProcess);
  EXPECT_EQ(h.pulls, 1);

  SCOPED_TRACE("a limit raised after allocation does not let a call past the input buffer");
  a.setMaximumFramesToRender(8192);
  EXPECT_EQ(render(a, h, 8192), kAudioUnitErr_TooManyFramesToProcess);
  a.setMaximumFramesToRender(4096);

  SCOPED_TRACE("a failing pull stops the call with its status");
  h.pullStatus = -1234;
  EXPECT_EQ(render(a, h, 64), -1234);
  h.pullStatus = noErr;

  SCOPED_TRACE("no pull block: the render method renders the old input; the block refuses");
  std::fill(h.left.begin(), h.left.end(), 9.0f);
  EXPECT_EQ(render(a, h, 64, nullptr, false), noErr);
  EXPECT_NE(h.left[10], 9.0f);
  EXPECT_EQ(a.internalRenderBlock()(nullptr, nullptr, 64, 0, h.out.list(), nullptr, nullptr),
            kAudioUnitErr_NoConnection);

  SCOPED_TRACE("null output: 0 from the method (nothing rendered), -50 from the block");
  AudioTimeStamp ts;
  EXPECT_EQ(a.render(nullptr, &ts, 64, 0, nullptr, nullptr, &h.pull), noErr);
  EXPECT_EQ(a.internalRenderBlock()(nullptr, &ts, 64, 0, nullptr, nullptr, &h.pull), kAudio_ParamError);

  SCOPED_TRACE("after deallocation: refused again");
  a.deallocateRenderResources();
  EXPECT_EQ(render(a, h, 64), kAudioUnitErr_Uninitialized);
}

TEST(DspAdapter, InPlaceAndBufferChecks) {
  Adapter a;
  a.allocateRenderResources();
  Host h(512);
  quietly(a, 9, 0.0f);
  quietly(a, 10, 1.0f);

  SCOPED_TRACE("null data pointers: processed in place in the input bus's buffer");
  h.out.mBuffers[0].mData = nullptr;
  h.out.mBuffers[1].mData = nullptr;
  EXPECT_EQ(render(a, h, 512), noErr);
  const AudioBufferList* input = a.bufferedInputBus().mutableAudioBufferList;
  EXPECT_EQ(h.out.mBuffers[0].mData, input->mBuffers[0].mData);
  EXPECT_EQ(h.out.mBuffers[1].mData, input->mBuffers[1].mData);
  EXPECT_EQ(a.outputs(), h.out.list());
  EXPECT_EQ(a.inputs(), input);
  const float* processed = static_cast<const float*>(input->mBuffers[0].mData);
  EXPECT_NE(processed[300], 0.5f * std::sin(0.01f * 300));  // compressed in place

  SCOPED_TRACE("same result as into separate buffers");
  Adapter b;
  b.allocateRenderResources();
  quietly(b, 9, 0.0f);
  quietly(b, 10, 1.0f);
  Host g(512);
  EXPECT_EQ(render(b, g, 512), noErr);
  EXPECT_EQ(0, std::memcmp(g.left.data(), processed, 512 * sizeof(float)));

  SCOPED_TRACE("an output buffer the adapter cannot fill: -50, nothing written");
  Host m(512);
  m.out.mBuffers[1].mData = nullptr;
  EXPECT_EQ(render(a, m, 512), kAudio_ParamError);
  EXPECT_EQ(m.left[5], 0.0f);
  m.point();
  m.out.mNumberBuffers = 1;  // a mono output list: passes channel 0 through
  EXPECT_EQ(render(a, m, 512), noErr);
  EXPECT_EQ(m.left[300], 0.5f * std::sin(0.01f * 300));

  SCOPED_TRACE("render2 changes no sample");
  Host r(512);
  EXPECT_EQ(a.render2(512, r.out.list()), noErr);
  EXPECT_EQ(r.left, std::vector<float>(512, 0.0f));
}

TEST(DspAdapter, ParametersAndMeters) {
  Adapter a;
  quietly(a, 11, 1.0f);
  EXPECT_EQ(a.getParameterEx(11), 1.0f);
  EXPECT_EQ(a.getParameterEx(-1), 0.0f);
  testing::internal::CaptureStdout();
  a.setParameterEx(-1, 3.0f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(a.getParameterEx(-1), 0.0f) << "an unknown address keeps nothing";
  EXPECT_EQ(a.valueForParameter(nullptr), 0.0f);

  SCOPED_TRACE("meters read the kernel");
  a.allocateRenderResources();
  quietly(a, 2, 0.5f);
  quietly(a, 3, 1.0f);
  Host h(4096);
  for (int i = 0; i < 4; ++i)
    render(a, h, 4096);
  EXPECT_LT(a.getDynamicsValue1(), 1.0f);
  EXPECT_LT(a.getDynamicsValue2(), 1.0f);
  EXPECT_GT(a.getPeakValue1(), 0.0f);
  EXPECT_GT(a.getPeakValue2(), 0.0f);
  a.reset();
  EXPECT_EQ(a.getPeakValue1(), 0.0f);
  EXPECT_EQ(a.getDynamicsValue1(), 1.0f);

  SCOPED_TRACE("sample rate: passed on; allocation re-initialises from the output bus");
  a.setSamplerate(96000.0f);
  EXPECT_EQ(a.getSamplerate(), 96000.0f);
  a.allocateRenderResources();
  EXPECT_EQ(a.getSamplerate(), 48000.0f);
}

TEST(DspAdapter, RenderPathsAllocateNothing) {
  Adapter a;
  a.allocateRenderResources();
  Host h(4096);
  const dsp_reference::Events events{{0, 0, 0.3f}, {100, 1, 0.3f}, {200, 2, 0.3f}};
  AUInternalRenderBlock block = a.internalRenderBlock();
  auto midiBlock = std::make_shared<const AUMIDIOutputEventBlock>(
      [](AUEventSampleTime, UInt8, NSInteger, const UInt8*) { return noErr; });
  AudioTimeStamp ts;
  for (float hp : {0.0f, 0.6f}) {
    for (float mode : {0.0f, 1.0f, 2.0f, 3.0f}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " hp " << hp);
      quietly(a, 9, hp);
      quietly(a, 10, 1.0f);
      quietly(a, 6, mode);
      testing::internal::CaptureStdout();  // the events print their parameter lines
      AllocationCounter counter;
      a.handOverAUMIDIOutputEventBlock(midiBlock);
      for (AUAudioFrameCount frames : {64u, 512u, 4096u}) {
        EXPECT_EQ(render(a, h, frames, events.head()), noErr);
        EXPECT_EQ(block(nullptr, &ts, frames, 0, h.out.list(), events.head(), &h.pull), noErr);
      }
      const std::size_t allocations = counter.count();
      MainLoop::runUntilIdle();
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(allocations, 0u);
    }
  }
}

TEST(DspAdapter, ParameterLinesOfRenderEventsPrintOnTheMainLoop) {
  Adapter a;
  a.allocateRenderResources();
  Host h(512);
  const dsp_reference::Events events{{0, 3, 0.5f}, {10, 14, -2.25f}};
  stdout_capture::beginCapture();
  EXPECT_EQ(render(a, h, 512, events.head()), noErr);
  std::fflush(stdout);
  EXPECT_EQ(stdout_capture::endCapture(), "") << "the render thread writes nothing";
  testing::internal::CaptureStdout();
  MainLoop::runUntilIdle();
  EXPECT_EQ(stdout_capture::endCapture(),
            "unit received parameter : address:3, value:0.500000\n"
            "unit received parameter : address:14, value:-2.250000\n");
  EXPECT_EQ(a.getParameterEx(14), -2.25f);
}

namespace {

// Settings no host should send: the largest floats, infinities, huge and large values, NaN.
const float kHostileValues[] = {3.4e38f, -3.4e38f, INFINITY, -INFINITY,    1e30f,
                                -1e30f,  1e6f,     -1e6f,    std::nanf("")};

// Uniform white noise in [-amplitude, amplitude] on both channels (independent), from a fixed
// seed, handed to the adapter by its pull block.
struct NoiseHost {
  std::vector<float> left, right;
  StackAudioBufferList<2> out;
  AURenderPullInputBlock pull;
  std::uint32_t seed = 12345;
  float amplitude;

  NoiseHost(AUAudioFrameCount capacity, float amplitude)
      : left(capacity, 0.0f), right(capacity, 0.0f), amplitude(amplitude) {
    out.mBuffers[0] = {1, static_cast<UInt32>(capacity * 4), left.data()};
    out.mBuffers[1] = {1, static_cast<UInt32>(capacity * 4), right.data()};
    pull = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount frames, NSInteger,
                  AudioBufferList* input) {
      for (UInt32 b = 0; b < input->mNumberBuffers; ++b) {
        float* data = static_cast<float*>(input->mBuffers[b].mData);
        for (AUAudioFrameCount i = 0; i < frames; ++i) {
          seed = seed * 1664525u + 1013904223u;
          data[i] = this->amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
        }
      }
      return noErr;
    };
  }
  // The index of the first sample that is not finite in the first `frames` frames, or -1.
  int firstNonFinite(AUAudioFrameCount frames) const {
    for (AUAudioFrameCount i = 0; i < frames; ++i)
      if (!std::isfinite(left[i]) || !std::isfinite(right[i]))
        return static_cast<int>(i);
    return -1;
  }
};

enum class Route { renderEvent, setParameterEx, parameterObject };

}  // namespace

// Whatever value a setting takes (finite, infinite, NaN) and however it arrives, white noise at
// +20 and +40 dBFS comes out finite: in every mode, plain and side-chained, for each setting on
// its own and for the make-up gain and mix (the two factors that multiply) hostile together,
// with audition off and on (by render events).
TEST(DspAdapter, HostileSettingsKeepLoudInputFinite) {
  constexpr AUAudioFrameCount kFrames = 512;
  constexpr AUEventSampleTime kEventAt = 100;
  auto parameterObject = [](AUParameterAddress address) {
    return AUParameterTree::createParameterWithIdentifier("p", "p", address, 0.0f, 1.0f,
                                                          kAudioUnitParameterUnit_Generic, std::nullopt, 0,
                                                          std::nullopt, std::nullopt);
  };
  // One render of `a` with its detectors cleared, set back to the defaults, the mode and path, then
  // `settings` by `route` (render events at kEventAt, or set before the call); returns the first
  // bad sample or -1.
  auto run = [&](Adapter& a, float amplitude, float mode, float hp, Route route,
                 const std::vector<std::pair<AUParameterAddress, float>>& settings) {
    a.reset();
    for (const KOVParameterInfo& row : kKOVParameterTable)
      a.setParameterEx(static_cast<std::int32_t>(row.address), row.defaultValue);
    a.setParameterEx(11, 0.0f);  // no final limiter behind the kernel (the adapter has none)
    a.setParameterEx(6, mode);
    a.setParameterEx(9, hp);
    a.setParameterEx(10, 1.0f);
    NoiseHost h(kFrames, amplitude);
    dsp_reference::Events events;
    for (const auto& [address, value] : settings) {
      switch (route) {
        case Route::renderEvent:
          events.add({kEventAt, address, value});
          break;
        case Route::setParameterEx:
          a.setParameterEx(static_cast<std::int32_t>(address), value);
          break;
        case Route::parameterObject:
          a.setParameter(parameterObject(address).get(), value);
          break;
      }
    }
    AudioTimeStamp ts;
    ts.mSampleTime = 0.0;
    AudioUnitRenderActionFlags flags = 0;
    EXPECT_EQ(a.render(&flags, &ts, kFrames, 0, h.out.list(), events.head(), &h.pull), noErr);
    MainLoop::runUntilIdle();  // the render events' parameter lines
    return h.firstNonFinite(kFrames);
  };
  stdout_capture::beginCapture();
  int renders = 0;
  std::string failures;  // the first output that was not finite (reported after the capture)
  for (float amplitude : {10.0f, 100.0f}) {
    for (float mode : {0.0f, 1.0f, 2.0f, 3.0f}) {
      for (float hp : {0.0f, 0.6f}) {
        for (Route route : {Route::renderEvent, Route::setParameterEx, Route::parameterObject}) {
          Adapter a;
          a.allocateRenderResources();
          auto where = [&] {
            return "peak " + std::to_string(amplitude) + ", mode " + std::to_string(mode) + ", " +
                   (hp != 0.0f ? "side-chain" : "plain") + ", route " +
                   std::to_string(static_cast<int>(route));
          };
          for (AUParameterAddress address = 0; address < KOV_Compressor_Extension_DSPKernel::kParameterCount;
               ++address) {
            for (float v : kHostileValues) {
              ++renders;
              if (const int at = run(a, amplitude, mode, hp, route, {{address, v}});
                  at >= 0 && failures.empty())
                failures = where() + ": address " + std::to_string(address) + " value " + std::to_string(v) +
                           ", sample " + std::to_string(at);
            }
          }
          if (route != Route::renderEvent)
            continue;  // the pairs by render events only: every route ends in the same setter
          for (float gain : kHostileValues) {
            for (float mix : kHostileValues) {
              for (float audition : {0.0f, 1.0f}) {
                ++renders;
                if (const int at = run(a, amplitude, mode, hp, route, {{8, audition}, {4, gain}, {5, mix}});
                    at >= 0 && failures.empty())
                  failures = where() + ": gain " + std::to_string(gain) + " mix " + std::to_string(mix) +
                             " audition " + std::to_string(audition) + ", sample " + std::to_string(at);
              }
            }
          }
        }
      }
    }
  }
  stdout_capture::endCapture();
  EXPECT_EQ(failures, "");
  EXPECT_EQ(renders, 2 * 4 * 2 * (3 * 15 * 9 + 9 * 9 * 2));
}
