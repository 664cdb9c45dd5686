// Shared pieces of the render benchmarks (Google Benchmark, one thread): a source that copies the
// looped music-like test signal (or zeros) into stereo buffers, the per-frame counters every
// render benchmark reports, and the plain copy of the same buffers they are measured beside.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "AudioToolbox/CoreAudioTypes.h"
#include "kernel_signal.h"

inline const KernelTestSignal& benchSignal() {
  static const KernelTestSignal s;
  return s;
}

// Copies consecutive stretches of the looped test signal into the given buffers, or zeros.
struct SignalSource {
  int position = 0;
  bool silent = false;
  void fill(float* left, float* right, AUAudioFrameCount frames) {
    if (silent) {
      std::memset(left, 0, frames * sizeof(float));
      std::memset(right, 0, frames * sizeof(float));
      return;
    }
    const KernelTestSignal& s = benchSignal();
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

// Frames per second, and "xRealTime": frames per second over 48000 (one core).
inline void reportFrames(benchmark::State& state, AUAudioFrameCount frames) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * frames);
  state.counters["xRealTime"] = benchmark::Counter(static_cast<double>(frames) / 48000.0,
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

// The baseline: the source's signal copied into output buffers of range(0) frames.
inline void BM_PlainCopy(benchmark::State& state) {
  const auto frames = static_cast<AUAudioFrameCount>(state.range(0));
  std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
  SignalSource source;
  for (auto _ : state) {
    source.fill(inL.data(), inR.data(), frames);
    std::memcpy(outL.data(), inL.data(), frames * sizeof(float));
    std::memcpy(outR.data(), inR.data(), frames * sizeof(float));
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
  }
  reportFrames(state, frames);
}
