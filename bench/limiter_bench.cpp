// The system peak limiter per 512-frame stereo buffer, beside a plain copy of the same buffer
// in the same run. Counters: frames per second, and the real-time factor at 48 kHz (seconds of
// audio rendered per second of one core).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "AudioToolbox/internal/PeakLimiterDSP.h"

namespace {

constexpr std::uint32_t kFrames = 512;
constexpr double kRate = 48000.0;

// Loud material: noise at about +6 dB over full scale in its peaks, with a louder beat every
// 4096 frames, so the limiter reduces gain most of the time (the costly case).
struct Material {
  std::vector<float> left, right;
  Material() : left(1 << 16), right(1 << 16) {
    std::mt19937 rng(7);
    std::normal_distribution<float> dist(0.0f, 0.7f);
    for (std::size_t i = 0; i < left.size(); ++i) {
      const float beat = (i % 4096) < 400 ? 2.0f : 1.0f;
      left[i] = beat * dist(rng);
      right[i] = beat * dist(rng);
    }
  }
};

const Material& material() {
  static const Material m;
  return m;
}

// The effect's settings: it asks for 0.1 s of attack and decay, which the limiter holds to its
// longest, 0.03 s and 0.06 s; -0.01 dB of pre-gain.
void prepare(PeakLimiterDSP& limiter, float preGain = -0.01f) {
  limiter.allocate(kRate);
  limiter.setAttackTime(0.03f);
  limiter.setDecayTime(0.06f);
  limiter.setPreGain(preGain);
}

void report(benchmark::State& state) {
  const double frames = double(state.iterations()) * kFrames;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["x realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// Baseline: copying the two input channels into the output buffers.
void BM_CopyBaseline(benchmark::State& state) {
  const Material& m = material();
  std::vector<float> left(kFrames), right(kFrames);
  std::size_t at = 0;
  for (auto _ : state) {
    std::memcpy(left.data(), &m.left[at], kFrames * sizeof(float));
    std::memcpy(right.data(), &m.right[at], kFrames * sizeof(float));
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
    at = (at + kFrames) % m.left.size();
  }
  report(state);
}
BENCHMARK(BM_CopyBaseline);

// The limiter reading the input and writing separate output buffers (the copy's work plus
// limiting). Argument: 1 = loud material, 0 = the same at -20 dB (no gain reduction).
void BM_PeakLimiter(benchmark::State& state) {
  const Material& m = material();
  PeakLimiterDSP limiter;
  prepare(limiter, state.range(0) ? -0.01f : -20.0f);
  std::vector<float> left(kFrames), right(kFrames);
  std::size_t at = 0;
  for (auto _ : state) {
    limiter.process(&m.left[at], &m.right[at], left.data(), right.data(), kFrames);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
    at = (at + kFrames) % m.left.size();
  }
  report(state);
}
BENCHMARK(BM_PeakLimiter)->ArgName("loud")->Arg(1)->Arg(0);

// In place, as the effect renders it (input buffers pointed at the output buffers); the copy
// that refills the buffers is timed too, so compare with the baseline plus the limiter.
void BM_PeakLimiterInPlace(benchmark::State& state) {
  const Material& m = material();
  PeakLimiterDSP limiter;
  prepare(limiter);
  std::vector<float> left(kFrames), right(kFrames);
  std::size_t at = 0;
  for (auto _ : state) {
    std::memcpy(left.data(), &m.left[at], kFrames * sizeof(float));
    std::memcpy(right.data(), &m.right[at], kFrames * sizeof(float));
    limiter.process(left.data(), right.data(), left.data(), right.data(), kFrames);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
    at = (at + kFrames) % m.left.size();
  }
  report(state);
}
BENCHMARK(BM_PeakLimiterInPlace);

}  // namespace

BENCHMARK_MAIN();
