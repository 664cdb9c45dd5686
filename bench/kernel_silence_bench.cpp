// Cost of digital silence against music, in one run: 512-frame stereo buffers at 48 kHz through
// the kernel adapter's render method (a render entry: subnormals flushed) and, beside it, the
// same kernel called directly on a thread that keeps subnormals. Silence is measured after one
// second of music and twelve of silence, when the detectors have decayed as far as they go.
// The goal: a silent stretch costs no more than music through the render entry.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "kernel_signal.h"

namespace {

constexpr AUAudioFrameCount kFrames = 512;
constexpr int kSettleCalls = 13 * 48000 / int(kFrames);

const KernelTestSignal& music() {
  static const KernelTestSignal s;
  return s;
}

struct Bench {
  std::unique_ptr<KOV_Compressor_ExtensionDSPKernelAdapter> adapter =
      std::make_unique<KOV_Compressor_ExtensionDSPKernelAdapter>();
  bool silent = false;
  int position = 0;
  std::vector<float> outL = std::vector<float>(kFrames), outR = std::vector<float>(kFrames);
  StackAudioBufferList<2> out;
  AudioTimeStamp time{};
  AURenderPullInputBlock pull = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                       AUAudioFrameCount n, NSInteger, AudioBufferList* input) {
    for (UInt32 b = 0; b < 2; ++b) {
      float* data = static_cast<float*>(input->mBuffers[b].mData);
      if (silent) {
        std::memset(data, 0, n * sizeof(float));
      } else {
        const std::vector<float>& source = b == 0 ? music().left : music().right;
        std::memcpy(data, source.data() + position, n * sizeof(float));
      }
    }
    position = (position + int(n)) % KernelTestSignal::kLoopFrames;
    return noErr;
  };

  Bench() {
    adapter->allocateRenderResources();
    std::FILE* saved = stdout;  // the kernel prints every parameter it receives
    stdout = std::fopen("/dev/null", "w");
    const float settings[][2] = {{0, 0.1f},  {1, 0.3f}, {2, 0.6f}, {3, 0.6f},
                                 {4, 0.55f}, {5, 1.0f}, {6, 0.0f}};
    for (const auto& s : settings)
      adapter->setParameterEx(std::int32_t(s[0]), s[1]);
    std::fclose(stdout);
    stdout = saved;
  }

  // One call through the render entry, or straight into the kernel.
  void render(bool throughEntry) {
    out.mBuffers[0] = {1, kFrames * 4, outL.data()};
    out.mBuffers[1] = {1, kFrames * 4, outR.data()};
    AudioUnitRenderActionFlags flags = 0;
    if (throughEntry) {
      benchmark::DoNotOptimize(adapter->render(&flags, &time, kFrames, 0, out.list(), nullptr, &pull));
    } else {
      BufferedInputBus& bus = adapter->bufferedInputBus();
      benchmark::DoNotOptimize(bus.pullInput(&flags, &time, kFrames, 0, &pull));
      adapter->kernel().setBuffers(bus.mutableAudioBufferList, out.list());
      adapter->kernel().processWithEvents(&time, kFrames, nullptr, nullptr);
    }
    time.mSampleTime += kFrames;
  }
};

// range(0): 0 music, 1 silence after music; range(1): 1 through the render entry, 0 bare kernel.
void BM_SilenceAgainstMusic(benchmark::State& state) {
  const bool silence = state.range(0) != 0;
  const bool throughEntry = state.range(1) != 0;
  Bench bench;
  if (silence) {
    for (int i = 0; i < 48000 / int(kFrames); ++i)
      bench.render(throughEntry);
    bench.silent = true;
    for (int i = 0; i < kSettleCalls; ++i)
      bench.render(throughEntry);
  }
  for (auto _ : state) {
    bench.render(throughEntry);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
  state.counters["xRealTime"] =
      benchmark::Counter(double(kFrames) / 48000.0, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_SilenceAgainstMusic)
    ->ArgNames({"silence", "renderEntry"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0});

BENCHMARK_MAIN();
