// Frames per second of the kernel adapter's render method for 64-, 512- and 4096-frame stereo
// buffers at 48 kHz, in each of the four modes on the plain and the side-chain path, beside a
// plain copy of the same buffers. "xRealTime" is frames per second over 48000.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "render_bench.h"

namespace {

void setQuietly(KOV_Compressor_ExtensionDSPKernelAdapter& a, std::int32_t address, float value) {
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");
  a.setParameterEx(address, value);
  std::fclose(stdout);
  stdout = saved;
}

void BM_Render(benchmark::State& state) {
  const auto frames = static_cast<AUAudioFrameCount>(state.range(0));
  const auto mode = static_cast<float>(state.range(1));
  const bool sidechain = state.range(2) != 0;
  auto adapter = std::make_unique<KOV_Compressor_ExtensionDSPKernelAdapter>();
  adapter->allocateRenderResources();
  const float settings[][2] = {{0, 0.1f}, {1, 0.3f}, {2, 0.6f}, {3, 0.6f}, {4, 0.55f}, {5, 1.0f}};
  for (const auto& s : settings)
    setQuietly(*adapter, static_cast<std::int32_t>(s[0]), s[1]);
  setQuietly(*adapter, 6, mode);
  setQuietly(*adapter, 9, sidechain ? 0.6f : 0.0f);
  setQuietly(*adapter, 10, 1.0f);

  std::vector<float> outL(frames), outR(frames);
  StackAudioBufferList<2> out;
  SignalSource source;
  AURenderPullInputBlock pull = [&source](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                          AUAudioFrameCount n, NSInteger, AudioBufferList* input) {
    source.fill(static_cast<float*>(input->mBuffers[0].mData), static_cast<float*>(input->mBuffers[1].mData),
                n);
    return noErr;
  };
  AudioTimeStamp ts;
  AudioUnitRenderActionFlags flags = 0;
  for (auto _ : state) {
    out.mBuffers[0] = {1, frames * 4, outL.data()};
    out.mBuffers[1] = {1, frames * 4, outR.data()};
    const AUAudioUnitStatus status = adapter->render(&flags, &ts, frames, 0, out.list(), nullptr, &pull);
    benchmark::DoNotOptimize(status);
    benchmark::ClobberMemory();
    ts.mSampleTime += frames;
  }
  reportFrames(state, frames);
}

void renderArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"frames", "mode", "sidechain"});
  for (int sidechain : {0, 1}) {
    for (int mode : {0, 1, 2, 3}) {
      for (int frames : {64, 512, 4096})
        b->Args({frames, mode, sidechain});
    }
  }
}

}  // namespace

BENCHMARK(BM_PlainCopy)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_Render)->Apply(renderArguments);

BENCHMARK_MAIN();
