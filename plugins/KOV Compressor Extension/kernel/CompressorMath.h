// The arithmetic of the gain computers, shared by the per-sample and the buffer forms so that
// both give the same bits. Vector versions do per lane exactly what the scalar versions do
// (IEEE single and double operations, same order), so they are interchangeable.
// All functions are [any] and touch only their arguments.
#pragma once

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "Compressor1.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace compressor_math {

// Frames per pass of the buffer forms (stack scratch of this many floats, or pairs).
inline constexpr int kChunk = 256;
// Room for kChunk interleaved pairs plus the one entry that reading the second lane in groups
// of four touches past the last pair.
inline constexpr int kPairScratch = 2 * kChunk + 4;

// Settings outside 0..1 follow the same formulas as inside. Limits apply only where a formula
// would stop giving a finite, sound value, and they bound every setting's effect on the output:
// - an infinite setting acts as the nearest end of 0..1 (NaN is the caller's business);
// - the ratio factor stays within 0 .. 4.60 (ratioFor), where its logarithm is finite;
// - the attack and release coefficients stay within 0..1, so the detector level is a running
//   mix of past inputs: 0 <= level <= the largest detector input so far;
// - the threshold is at least 0 and at most 10^38; it does not bound anything itself, because
//   for any level >= 0 and threshold >= 0 the gain law gives (ratio (l - thr) + thr) / l between
//   the ratio factor and 1, so 0 <= gain <= sqrt(4.60) < 2.15, and |1 - gain| < 2.15 too
//   (audition);
// - make-up gain at most 10^kMaxMakeUpExponent = 10^6 (+120 dB; the formula's value for settings
//   up to 2.5) and mix within +-kMaxMix = 10^6.
// One sample then is at most |dry| (2.15 10^6 10^6 + |1 - mix|) < 2.2e12 |dry|, every
// partial product below that too; the mid-side modes add two such samples (mid and side, each
// at most the input's peak), < 4.4e12 |input|. Input up to +40 dBFS (100) gives at most about
// 4.4e14, and finite output holds for input up to about 7e25, far below float's 3.4e38. The
// linked detectors read the other channel's output, which only moves a level (finite), not the
// bound. Settings within -1..2 give derived values well inside these limits (make-up at most
// 10^4.5, mix at most 2 in magnitude), so their output is exactly the formulas'.
inline constexpr float kMaxExponent = 38.0f;
inline constexpr float kMaxMakeUpExponent = 6.0f;
inline constexpr float kMaxMix = 1e6f;

inline float finiteSetting(float v) {
  if (std::isfinite(v))
    return v;
  return v > 0.0f ? 1.0f : 0.0f;
}

// 10^(3 (t - 1)): t 0 -> 0.001 (-60 dB), t 1 -> 1 (0 dB), t -0.2 -> -72 dB; very low settings
// reach 0 (every level above it compresses).
inline float thresholdFor(float t) {
  return std::pow(10.0f, std::min(3.0f * (finiteSetting(t) - 1.0f), kMaxExponent));
}

// 1 + 100 r in float is 0 or below for r <= -0.01; above 0 its smallest value is 2^-24
// (1 minus the float just below 1). That value bounds the ratio factor at
// 1 - ln(2^-24) / ln(101), about 4.60, an expansion above the threshold.
inline constexpr float kSmallestRatioArgument = 0x1p-24f;

// 1 - ln(1 + 100 r) / ln(101): r 0 -> 1 (no compression), r 1 -> 0; r in (-0.01, 0) expands
// above the threshold. Past 1 the factor would turn negative (the gain law's root of a negative
// number), so r stops at 1; at or below -0.01 the logarithm has no finite value, so the factor
// stops at its largest finite value.
inline float ratioFor(float r) {
  const float argument = 1.0f + 100.0f * std::min(finiteSetting(r), 1.0f);
  return 1.0f - std::log(std::max(argument, kSmallestRatioArgument)) / std::log(101.0f);
}

// One-pole coefficient 10^(1 / (50 + (sr/2) a^2)) - 1; a^2 and sr/2 in single precision, the
// product, the sum and the quotient in double, the quotient rounded to single before the power.
// At 48 kHz: a 0 -> 0.0471, 0.02 -> 0.0394, 1 -> 0.0000957, 2 -> 0.0000240. Negative settings
// act as their magnitude; from about 40 up the coefficient rounds to 0 (a detector that holds).
// At any rate above 0 the value lies within 0 .. 0.0471; within 0..1 whatever the rate (NaN: 0).
inline float timeCoefficientFor(float a, float sr) {
  const float c = finiteSetting(a);
  const float squared = c * c;
  const float halfRate = 0.5f * sr;
  const double quotient = 1.0 / (50.0 + static_cast<double>(halfRate) * static_cast<double>(squared));
  const float coefficient = std::pow(10.0f, static_cast<float>(quotient)) - 1.0f;
  return coefficient > 0.0f ? std::min(coefficient, 1.0f) : 0.0f;
}

// 10^(1.5 (2 g - 1)): g 0 -> -30 dB, 0.5 -> 0 dB, 1 -> +30 dB, 1.2 -> +42 dB; 2g - 1 single,
// times 1.5 double; at most 10^6 (+120 dB, reached at g 2.5).
inline float makeUpFor(float g) {
  const float e = 2.0f * finiteSetting(g) - 1.0f;
  return std::pow(10.0f, std::min(static_cast<float>(1.5 * static_cast<double>(e)), kMaxMakeUpExponent));
}

// Wet share: a finite value as it is (above 1 or below 0 the dry signal is subtracted or added),
// within +-10^6; NaN counts as 0 (dry).
inline float mixFor(float m) {
  if (m != m)
    return 0.0f;
  return std::clamp(finiteSetting(m), -kMaxMix, kMaxMix);
}

// Gain law: 1 up to the threshold, above it sqrt((ratio (level - thr) + thr) / level).
inline float gainFor(float level, float threshold, float ratio) {
  if (level > threshold)
    return std::sqrt((ratio * (level - threshold) + threshold) / level);
  return 1.0f;
}

// One output sample from its dry value and gain: wet (or audition: dry - wet) times make-up;
// wet * mix in single precision, dry * (1 - mix) and the sum in double.
inline float mixSample(float dry, float g, const Compressor1::Snapshot& s) {
  float wet = dry * g;
  if (s.invert)
    wet = dry - wet;
  wet = wet * s.makeUp;
  return static_cast<float>(static_cast<double>(wet * s.mix) + s.dryShare * static_cast<double>(dry));
}

// A detector level below -600 dB is silence. Under flush-to-zero (every render entry sets it) a
// decaying level stops where its release step c * level turns subnormal, about FLT_MIN / c,
// instead of reaching 0; ending the decay here lets silence read exactly 0. No audible result
// changes: the gain law and the meters see levels of -600 dB and 0 alike. Once per chunk.
constexpr float kSilentLevel = 1e-30f;
inline float settled(float level) {
  return (level < kSilentLevel && level > -kSilentLevel) ? 0.0f : level;
}

// Detector recursion over magnitudes x; returns the final level. With both coefficients above 0
// the selection is the larger or the smaller product, as in runDetectorPair below (same bits),
// two samples per round.
inline float runDetector(float level, float attack, float release, const float* x, float* levels, int n) {
  int i = 0;
#if defined(__SSE2__)
  if (attack > 0.0f && release > 0.0f) {
    const __m128 a = _mm_set_ss(attack);
    const __m128 r = _mm_set_ss(release);
    __m128 l = _mm_set_ss(level);
    auto loop = [&](auto pick) {
      for (; i + 2 <= n; i += 2) {
        __m128 d = _mm_sub_ss(_mm_load_ss(x + i), l);
        l = _mm_add_ss(l, pick(_mm_mul_ss(a, d), _mm_mul_ss(r, d)));
        _mm_store_ss(levels + i, l);
        d = _mm_sub_ss(_mm_load_ss(x + i + 1), l);
        l = _mm_add_ss(l, pick(_mm_mul_ss(a, d), _mm_mul_ss(r, d)));
        _mm_store_ss(levels + i + 1, l);
      }
    };
    if (attack >= release) {
      loop([](__m128 p, __m128 q) { return _mm_max_ss(p, q); });
    } else {
      loop([](__m128 p, __m128 q) { return _mm_min_ss(p, q); });
    }
    level = _mm_cvtss_f32(l);
  }
#endif
  for (; i < n; ++i) {
    const float xi = x[i];
    level += ((xi > level) ? attack : release) * (xi - level);
    levels[i] = level;
  }
  return level;
}

// Two independent detectors, A and B, in one loop over interleaved pairs: xAB[2i] is A's input
// and xAB[2i+1] B's; levels are written the same way. Either detector may run on its own
// buffer; pairing only saves work.
//
// coefficient * d with d = x - level: d > 0 exactly when x > level, so when attack >= release
// the attack product is the larger one for rising input and the release product for falling
// input, and max(attack d, release d) is the selected product itself (min when attack <
// release). That replaces the branch or blend per sample and gives the same bits, as long as
// both coefficients are above 0: a zero coefficient times an infinite distance is NaN, which
// max and min would not pass on the way the selection does (such coefficients only come from
// absurd sample rates; the scalar loop takes them).
inline void runDetectorPair(float& levelA, float attackA, float releaseA, float& levelB, float attackB,
                            float releaseB, const float* xAB, float* levelsAB, int n) {
  int i = 0;
#if defined(__SSE2__)
  const bool positive = attackA > 0.0f && releaseA > 0.0f && attackB > 0.0f && releaseB > 0.0f;
  if (positive && (attackA >= releaseA) == (attackB >= releaseB)) {
    const bool useMax = attackA >= releaseA;
    const __m128 attack = _mm_setr_ps(attackA, attackB, 0.0f, 0.0f);
    const __m128 release = _mm_setr_ps(releaseA, releaseB, 0.0f, 0.0f);
    __m128 level = _mm_setr_ps(levelA, levelB, 0.0f, 0.0f);
    auto loop = [&](auto pick) {
      for (; i + 2 <= n; i += 2) {
        __m128 x = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(xAB + 2 * i)));
        __m128 d = _mm_sub_ps(x, level);
        level = _mm_add_ps(level, pick(_mm_mul_ps(attack, d), _mm_mul_ps(release, d)));
        _mm_store_sd(reinterpret_cast<double*>(levelsAB + 2 * i), _mm_castps_pd(level));
        x = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(xAB + 2 * i + 2)));
        d = _mm_sub_ps(x, level);
        level = _mm_add_ps(level, pick(_mm_mul_ps(attack, d), _mm_mul_ps(release, d)));
        _mm_store_sd(reinterpret_cast<double*>(levelsAB + 2 * i + 2), _mm_castps_pd(level));
      }
    };
    if (useMax) {
      loop([](__m128 a, __m128 r) { return _mm_max_ps(a, r); });
    } else {
      loop([](__m128 a, __m128 r) { return _mm_min_ps(a, r); });
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, level);
    levelA = lanes[0];
    levelB = lanes[1];
  }
#endif
  float a = levelA;
  float b = levelB;
  for (; i < n; ++i) {
    const float xa = xAB[2 * i];
    const float xb = xAB[2 * i + 1];
    a += ((xa > a) ? attackA : releaseA) * (xa - a);
    b += ((xb > b) ? attackB : releaseB) * (xb - b);
    levelsAB[2 * i] = a;
    levelsAB[2 * i + 1] = b;
  }
  levelA = settled(a);
  levelB = settled(b);
}

#if defined(__SSE2__)
inline __m128 absPs(__m128 v) {
  return _mm_andnot_ps(_mm_set1_ps(-0.0f), v);
}
#endif

// x = |v|
inline void magnitudes(const float* v, float* x, int n) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= n; i += 4)
    _mm_store_ps(x + i, absPs(_mm_loadu_ps(v + i)));
#endif
  for (; i < n; ++i)
    x[i] = std::fabs(v[i]);
}

// x = 0.5 |a + b|
inline void halfSumMagnitudes(const float* a, const float* b, float* x, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128 half = _mm_set1_ps(0.5f);
  for (; i + 4 <= n; i += 4) {
    _mm_store_ps(x + i, _mm_mul_ps(half, absPs(_mm_add_ps(_mm_loadu_ps(a + i), _mm_loadu_ps(b + i)))));
  }
#endif
  for (; i < n; ++i)
    x[i] = 0.5f * std::fabs(a[i] + b[i]);
}

// Interleaved detector inputs: xAB[2i] = |a[i]|, xAB[2i+1] = |b[i]|.
inline void magnitudesPair(const float* a, const float* b, float* xAB, int n) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= n; i += 4) {
    const __m128 va = absPs(_mm_loadu_ps(a + i));
    const __m128 vb = absPs(_mm_loadu_ps(b + i));
    _mm_storeu_ps(xAB + 2 * i, _mm_unpacklo_ps(va, vb));
    _mm_storeu_ps(xAB + 2 * i + 4, _mm_unpackhi_ps(va, vb));
  }
#endif
  for (; i < n; ++i) {
    xAB[2 * i] = std::fabs(a[i]);
    xAB[2 * i + 1] = std::fabs(b[i]);
  }
}

// Interleaved linked inputs: xAB[2i] = 0.5 |a1[i] + a2[i]|, xAB[2i+1] = 0.5 |b1[i] + b2[i]|.
inline void halfSumMagnitudesPair(const float* a1, const float* a2, const float* b1, const float* b2,
                                  float* xAB, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128 half = _mm_set1_ps(0.5f);
  for (; i + 4 <= n; i += 4) {
    const __m128 va = _mm_mul_ps(half, absPs(_mm_add_ps(_mm_loadu_ps(a1 + i), _mm_loadu_ps(a2 + i))));
    const __m128 vb = _mm_mul_ps(half, absPs(_mm_add_ps(_mm_loadu_ps(b1 + i), _mm_loadu_ps(b2 + i))));
    _mm_storeu_ps(xAB + 2 * i, _mm_unpacklo_ps(va, vb));
    _mm_storeu_ps(xAB + 2 * i + 4, _mm_unpackhi_ps(va, vb));
  }
#endif
  for (; i < n; ++i) {
    xAB[2 * i] = 0.5f * std::fabs(a1[i] + a2[i]);
    xAB[2 * i + 1] = 0.5f * std::fabs(b1[i] + b2[i]);
  }
}

// Gain law, audition, make-up and mix over n samples in place.
// levels[stride * i] is the level for sample i (stride 1: plain levels; stride 2: one lane of
// interleaved pairs, levels pointing at the lane's first entry).
template <int stride = 1>
inline void applyGainLaw(float* buffer, const float* levels, int n, const Compressor1::Snapshot& s) {
  int i = 0;
#if defined(__SSE2__)
  const __m128 thr = _mm_set1_ps(s.threshold);
  const __m128 ratio = _mm_set1_ps(s.ratio);
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 makeUp = _mm_set1_ps(s.makeUp);
  const __m128 mix = _mm_set1_ps(s.mix);
  const __m128d dryShare = _mm_set1_pd(s.dryShare);
  auto load = [&](int j) {
    if constexpr (stride == 1)
      return _mm_loadu_ps(levels + j);
    // Every second entry of eight: the lane's four levels.
    else
      return _mm_shuffle_ps(_mm_loadu_ps(levels + 2 * j), _mm_loadu_ps(levels + 2 * j + 4),
                            _MM_SHUFFLE(2, 0, 2, 0));
  };
  // The gain law, audition and make-up of four samples: returns wet * make-up * mix.
  auto wetMixAt = [&](int j, const __m128 dry, auto invert) {
    const __m128 lv = load(j);
    const __m128 above = _mm_cmpgt_ps(lv, thr);
    const __m128 reduced =
        _mm_sqrt_ps(_mm_div_ps(_mm_add_ps(_mm_mul_ps(ratio, _mm_sub_ps(lv, thr)), thr), lv));
    const __m128 g = _mm_or_ps(_mm_and_ps(above, reduced), _mm_andnot_ps(above, one));
    __m128 wet = _mm_mul_ps(dry, g);
    if constexpr (decltype(invert)::value)
      wet = _mm_sub_ps(dry, wet);
    return _mm_mul_ps(_mm_mul_ps(wet, makeUp), mix);
  };
  auto step = [&](int j, auto invert) {
    const __m128 dry = _mm_loadu_ps(buffer + j);
    const __m128 wetMix = wetMixAt(j, dry, invert);
    const __m128d lo = _mm_add_pd(_mm_cvtps_pd(wetMix), _mm_mul_pd(dryShare, _mm_cvtps_pd(dry)));
    const __m128d hi = _mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(wetMix, wetMix)),
                                  _mm_mul_pd(dryShare, _mm_cvtps_pd(_mm_movehl_ps(dry, dry))));
    _mm_storeu_ps(buffer + j, _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi)));
  };
  // At mix 1 the dry share is 0: wet + 0 * dry in single precision gives the same bits as the
  // double-precision sum (adding a signed zero is exact, and 0 * dry is NaN exactly when dry
  // is not finite, as in double).
  auto stepFullyWet = [&](int j, auto invert) {
    const __m128 dry = _mm_loadu_ps(buffer + j);
    const __m128 wetMix = wetMixAt(j, dry, invert);
    _mm_storeu_ps(buffer + j, _mm_add_ps(wetMix, _mm_mul_ps(dry, _mm_setzero_ps())));
  };
  if (s.dryShare == 0.0) {
    if (s.invert) {
      for (; i + 4 <= n; i += 4)
        stepFullyWet(i, std::true_type{});
    } else {
      for (; i + 4 <= n; i += 4)
        stepFullyWet(i, std::false_type{});
    }
  } else if (s.invert) {
    for (; i + 4 <= n; i += 4)
      step(i, std::true_type{});
  } else {
    for (; i + 4 <= n; i += 4)
      step(i, std::false_type{});
  }
#endif
  for (; i < n; ++i)
    buffer[i] = mixSample(buffer[i], gainFor(levels[stride * i], s.threshold, s.ratio), s);
}

}  // namespace compressor_math
