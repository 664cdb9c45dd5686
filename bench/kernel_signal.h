// A music-like stereo test signal for the kernel's benchmark programs: a kick-like decaying
// burst every half second, a bass and a chord with slow tremolo, and a little noise; left and
// right share most of it, so mid and side both carry signal. Levels cross the usual
// thresholds in both directions. The oscillators are recursions (a few operations per
// sample), so that making the signal costs little next to rendering it.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

struct KernelTestSignal {
  static constexpr int kLoopFrames = 1 << 16;  // ~1.4 s at 48 kHz, repeated
  std::vector<float> left, right;

  // sin(w n) by the recursion s[n] = 2 cos(w) s[n-1] - s[n-2].
  struct Sine {
    double k, s1, s2;
    Sine(double hz, double phase) {
      const double w = 2.0 * M_PI * hz / 48000.0;
      k = 2.0 * std::cos(w);
      s1 = std::sin(phase - w);
      s2 = std::sin(phase - 2.0 * w);
    }
    double next() {
      const double s = k * s1 - s2;
      s2 = s1;
      s1 = s;
      return s;
    }
  };

  KernelTestSignal() : left(kLoopFrames), right(kLoopFrames) {
    Sine kickTone(60.0, 0.0), bass(82.4, 0.0), tremolo(0.7, 0.0);
    Sine e(329.6, 0.0), gs(415.3, 0.0), b(493.9, 0.0), gsR(415.3, 0.5);
    const double kickDecay = std::exp(-18.0 / 48000.0);
    double kick = 0.0;
    std::uint32_t seed = 12345;
    for (int i = 0; i < kLoopFrames; ++i) {
      kick = (i % 24000 == 0) ? 1.0 : kick * kickDecay;
      const double t = 0.6 + 0.4 * tremolo.next();
      const double low = 0.7 * kick * kickTone.next() + 0.25 * bass.next();
      const double shared = gs.next();
      const double chordL = 0.12 * t * (e.next() + shared);
      const double chordR = 0.12 * t * (b.next() + gsR.next());
      seed = seed * 1664525u + 1013904223u;
      const double noise = 0.02 * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
      left[i] = static_cast<float>(low + chordL + noise);
      right[i] = static_cast<float>(low + chordR - noise);
    }
  }
};
