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

#include "AVFoundation/AVAudioFormat.h"
#include "Dispatch/DispatchQueue.h"
#include "KOV_Compressor_Extension_AudioUnit.h"
#include "kernel_signal.h"

namespace {

const KernelTestSignal& signal() {
  static const KernelTestSignal s;
  return s;
}

// Copies consecutive stretches of the looped test signal into the given buffers, or zeros.
struct Source {
  int position = 0;
  bool silent = false;
  void fill(float* left, float* right, AUAudioFrameCount frames) {
    if (silent) {
      std::memset(left, 0, frames * sizeof(float));
      std::memset(right, 0, frames * sizeof(float));
      return;
    }
    const KernelTestSignal& s = signal();
    for (AUAudioFrameCount done = 0; done < frames;) {
      const AUAudioFrameCount n =
          std::min<AUAudioFrameCount>(frames - done, KernelTestSignal::kLoopFrames - position);
      std::memcpy(left + done, s.left.data() + position, n * sizeof(float));
      std::memcpy(right + done, s.right.data() + position, n * sizeof(float));
      done += n;
      position = (position + static_cast<int>(n)) % KernelTestSignal::kLoopFrames;
    }
  }
};

void report(benchmark::State& state, AUAudioFrameCount frames) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * frames);
  state.counters["xRealTime"] = benchmark::Counter(static_cast<double>(frames) / 48000.0,
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

// The unit as a host makes it: buses at 48 kHz stereo, allocated. What it prints meanwhile (the
// kernel's parameter lines, the log on the main queue) goes to /dev/null.
std::shared_ptr<KOV_Compressor_Extension_AudioUnit> makeUnit() {
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");
  const AudioComponentDescription description{FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2, 0};
  auto unit = std::make_shared<KOV_Compressor_Extension_AudioUnit>(description, 0);
  const auto format = AVAudioFormat::makeStandard(48000.0, 2);
  (*unit->inputBusses())[0]->setFormat(format);
  (*unit->outputBusses())[0]->setFormat(format);
  std::shared_ptr<NSError> error;
  if (!unit->allocateRenderResourcesAndReturnError(&error))
    unit.reset();
  MainLoop::runUntilIdle();
  std::fclose(stdout);
  stdout = saved;
  return unit;
}

void BM_PlainCopy(benchmark::State& state) {
  const auto frames = static_cast<AUAudioFrameCount>(state.range(0));
  std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
  Source source;
  for (auto _ : state) {
    source.fill(inL.data(), inR.data(), frames);
    std::memcpy(outL.data(), inL.data(), frames * sizeof(float));
    std::memcpy(outR.data(), inR.data(), frames * sizeof(float));
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
  }
  report(state, frames);
}

void BM_UnitRender(benchmark::State& state) {
  const auto frames = static_cast<AUAudioFrameCount>(state.range(0));
  const std::shared_ptr<KOV_Compressor_Extension_AudioUnit> unit = makeUnit();
  if (!unit) {
    state.SkipWithError("the unit could not be allocated");
    return;
  }
  const AUInternalRenderBlock block = unit->internalRenderBlock();
  std::vector<float> outL(frames), outR(frames);
  StackAudioBufferList<2> out;
  Source source;
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
  report(state, frames);
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
