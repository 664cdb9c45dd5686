// Fixed work for instruction counts of the system peak limiter: 60 s of a loud, music-like
// stereo signal at 48 kHz, limited in 512-frame buffers, in place as the effect renders it.
//
//   valgrind --tool=callgrind '--toggle-collect=PeakLimiterDSP::process(*' ./limiter_cost
//
// Instructions per stereo frame = the collected Ir / the frame count printed at the end.
// (The pattern must not also match processLap: entering it would toggle collection off.)
// The signal is made before the timed part; only the limiter's render calls are counted.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "AudioToolbox/internal/PeakLimiterDSP.h"

namespace {

constexpr double kRate = 48000.0;
constexpr std::uint32_t kBuffer = 512;
constexpr std::uint32_t kSeconds = 60;

// Two bars at 120 bpm (4 s): kick and bass on the beats, a chord pad, hi-hat noise on the
// off-beats, panned apart; peaks reach about +9 dB over full scale, so the limiter works on
// nearly every beat and rides the sustained overload of the pad in between.
void makeLoop(std::vector<float>& left, std::vector<float>& right) {
  const std::uint32_t frames = std::uint32_t(4 * kRate);
  left.assign(frames, 0.0f);
  right.assign(frames, 0.0f);
  const double twoPi = 2.0 * std::numbers::pi;
  const double beat = 0.5 * kRate;
  std::uint32_t noise = 12345;
  for (std::uint32_t n = 0; n < frames; ++n) {
    const double t = n / kRate;
    const double inBeat = std::fmod(n, beat) / kRate;
    const double kick = 1.6 * std::exp(-inBeat * 18.0) *
                        std::sin(twoPi * (50.0 * inBeat + 40.0 * (1.0 - std::exp(-inBeat * 30.0)) / 30.0));
    const double bass = 0.6 * std::sin(twoPi * 55.0 * t) * (0.6 + 0.4 * std::exp(-inBeat * 4.0));
    const double pad =
        0.35 * (std::sin(twoPi * 220.0 * t) + std::sin(twoPi * 277.18 * t) + std::sin(twoPi * 329.63 * t));
    noise = noise * 1664525u + 1013904223u;
    const double white = (double(noise >> 8) / double(1u << 24)) * 2.0 - 1.0;
    const double offBeat = std::fmod(n + beat / 2, beat) / kRate;
    const double hat = 0.5 * white * std::exp(-offBeat * 60.0);
    left[n] = float(kick + bass + 1.1 * pad + 0.7 * hat);
    right[n] = float(kick + bass + 0.9 * pad + 1.3 * hat);
  }
}

}  // namespace

int main() {
  std::vector<float> loopLeft, loopRight;
  makeLoop(loopLeft, loopRight);
  const std::uint32_t loopFrames = std::uint32_t(loopLeft.size());

  PeakLimiterDSP limiter;
  limiter.allocate(kRate);
  limiter.setAttackTime(0.03f);
  limiter.setDecayTime(0.06f);
  limiter.setPreGain(-0.01f);

  std::vector<float> left(kBuffer), right(kBuffer);
  const std::uint64_t total = std::uint64_t(kSeconds * kRate);
  std::uint64_t done = 0;
  std::uint32_t position = 0;
  double energy = 0.0;
  float peak = 0.0f;
  while (done < total) {
    const std::uint32_t frames = std::uint32_t(std::min<std::uint64_t>(kBuffer, total - done));
    for (std::uint32_t i = 0; i < frames; ++i) {
      left[i] = loopLeft[position];
      right[i] = loopRight[position];
      if (++position == loopFrames)
        position = 0;
    }
    limiter.process(left.data(), right.data(), left.data(), right.data(), frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
      energy += double(left[i]) * left[i] + double(right[i]) * right[i];
      peak = std::fmax(peak, std::fmax(std::fabs(left[i]), std::fabs(right[i])));
    }
    done += frames;
  }
  std::printf("frames %llu, output peak %.7f, rms %.4f\n", static_cast<unsigned long long>(total), peak,
              std::sqrt(energy / (2.0 * double(total))));
  return 0;
}
