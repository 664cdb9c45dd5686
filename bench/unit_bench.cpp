// Frames per second of the whole effect, the audio unit at its default parameters (dual mode, the
// side-chain band, the final limiter on), rendering a music-like stereo signal at 48 kHz through
// its internal render block in 64-, 512- and 4096-frame buffers, beside a plain copy of the same
// buffers in the same run; and digital silence in 512-frame buffers after one second of music and
// twelve of silence (the goal: no dearer than music). "xRealTime" is frames per second over 48000
// (one core).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "quiet_unit.h"
#include "render_bench.h"

namespace {

void BM_UnitRender(benchmark::State& state) {
  const auto frames = static_cast<AUAudioFrameCount>(state.range(0));
  const std::shared_ptr<KOV_Compressor_Extension_AudioUnit> unit = makeQuietUnit();
  if (!unit) {
    state.SkipWithError("the unit could not be allocated");
    return;
  }
  const AUInternalRenderBlock block = unit->internalRenderBlock();
  std::vector<float> outL(frames), outR(frames);
  StackAudioBufferList<2> out;
  SignalSource source;
  const AURenderPullInputBlock pull = [&source](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                                AUAudioFrameCount n, NSInteger, AudioBufferList* input) {
    source.fill(static_cast<float*>(input->mBuffers[0].mData), static_cast<float*>(input->mBuffers[1].mData),
                n);
    return noErr;
  };
  AudioTimeStamp time{};
  time.mFlags = kAudioTimeStampSampleTimeValid;
  AudioUnitRenderActionFlags flags = 0;
  auto render = [&] {
    out.mBuffers[0] = {1, frames * 4, outL.data()};
    out.mBuffers[1] = {1, frames * 4, outR.data()};
    const AUAudioUnitStatus status = block(&flags, &time, frames, 0, out.list(), nullptr, &pull);
    time.mSampleTime += frames;
    return status;
  };
  if (state.range(1) != 0) {
    // Silence measured where the detectors and meters have decayed as far as they go.
    const long calls = 48000L / long(frames);
    for (long i = 0; i < calls; ++i)
      render();
    source.silent = true;
    for (long i = 0; i < 12 * calls; ++i)
      render();
  }
  for (auto _ : state) {
    const AUAudioUnitStatus status = render();
    benchmark::DoNotOptimize(status);
    benchmark::ClobberMemory();
  }
  reportFrames(state, frames);
}

}  // namespace

BENCHMARK(BM_PlainCopy)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_UnitRender)
    ->ArgNames({"frames", "silence"})
    ->Args({64, 0})
    ->Args({512, 0})
    ->Args({4096, 0})
    ->Args({512, 1});

BENCHMARK_MAIN();
