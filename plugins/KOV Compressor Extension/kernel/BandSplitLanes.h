// The band splitter's four filters as the lanes of one SSE2 vector, for the splitter itself and
// for passes that use the band as it is made (the side-chain key). Internal to the kernel's DSP
// classes; [render].
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <array>
#include <atomic>

#include "BandSplitFilter3.h"
#include "SVFilter4Pole1.h"

namespace band_split_lanes {

// The four filters as the lanes of one vector: 0 high-pass left, 1 high-pass right, 2 low-pass
// left, 3 low-pass right. The low-pass lanes run behind, because their input is what the
// high-pass lanes left over from an earlier sample. Lane arithmetic is exactly the
// scalar arithmetic of a section, so results match the filter-by-filter split bit for bit.
// Three sections (the filters' fPoles 3), state kept in registers.
struct ThreeSectionLanes {
  __m128 cf, cq, booster;
  __m128 b1, r1, b2, r2, b3, r3;

  ThreeSectionLanes(const std::array<SVFilter4Pole1, 2>& hp, const std::array<SVFilter4Pole1, 2>& lp) {
    auto pack = [&](auto get) { return _mm_setr_ps(get(hp[0]), get(hp[1]), get(lp[0]), get(lp[1])); };
    cf = pack([](const SVFilter4Pole1& f) { return f.cf.load(std::memory_order_relaxed); });
    cq = pack([](const SVFilter4Pole1& f) { return f.cq.load(std::memory_order_relaxed); });
    booster = pack([](const SVFilter4Pole1& f) { return f.booster.load(std::memory_order_relaxed); });
    b1 = pack([](const SVFilter4Pole1& f) { return f.b1; });
    r1 = pack([](const SVFilter4Pole1& f) { return f.r1; });
    b2 = pack([](const SVFilter4Pole1& f) { return f.b2; });
    r2 = pack([](const SVFilter4Pole1& f) { return f.r2; });
    b3 = pack([](const SVFilter4Pole1& f) { return f.b3; });
    r3 = pack([](const SVFilter4Pole1& f) { return f.r3; });
  }

  void store(std::array<SVFilter4Pole1, 2>& hp, std::array<SVFilter4Pole1, 2>& lp) const {
    alignas(16) float v[6][4];
    _mm_store_ps(v[0], b1), _mm_store_ps(v[1], r1), _mm_store_ps(v[2], b2);
    _mm_store_ps(v[3], r2), _mm_store_ps(v[4], b3), _mm_store_ps(v[5], r3);
    SVFilter4Pole1* filters[4] = {&hp[0], &hp[1], &lp[0], &lp[1]};
    for (int l = 0; l < 4; ++l) {
      SVFilter4Pole1& f = *filters[l];
      f.b1 = v[0][l], f.r1 = v[1][l], f.b2 = v[2][l], f.r2 = v[3][l], f.b3 = v[4][l], f.r3 = v[5][l];
    }
  }

  static inline __m128 section(__m128 x, __m128& band, __m128& low, __m128 cf, __m128 cq) {
    const __m128 u = _mm_mul_ps(_mm_set1_ps(0.5f), x);
    const __m128 lowNext = _mm_add_ps(low, _mm_mul_ps(cf, band));
    const __m128 high = _mm_sub_ps(_mm_sub_ps(u, lowNext), _mm_mul_ps(cq, band));
    band = _mm_add_ps(_mm_mul_ps(cf, high), band);
    low = lowNext;
    // High-pass lanes pass high on, low-pass lanes low'.
    return _mm_shuffle_ps(high, lowNext, _MM_SHUFFLE(3, 2, 1, 0));
  }

  // One step of all four lanes; returns the filtered value (times booster) per lane.
  inline __m128 step(__m128 x) {
    x = section(x, b1, r1, cf, cq);
    x = section(x, b2, r2, cf, cq);
    x = section(x, b3, r3, cf, cq);
    return _mm_mul_ps(x, booster);
  }
};

inline __m128 keepLanes(__m128 mask, __m128 fresh, __m128 saved) {
  return _mm_or_ps(_mm_andnot_ps(mask, fresh), _mm_and_ps(mask, saved));
}

inline float lane(__m128 v, int i) {
  alignas(16) float t[4];
  _mm_store_ps(t, v);
  return t[i];
}

// The low-pass lanes run kLag samples behind the high-pass lanes. A lag of one would make
// every step wait for the previous step's full result (three sections deep); with two, the
// steps of neighbouring samples overlap and only each section's own recursion limits speed.
inline constexpr int kLag = 2;

// Runs n frames. kAllBands: also writes the high and low parts (hp*, lp*); otherwise only the
// band (bp*). sink(k, rest) is called for k = 0 .. n-1 in order, as soon as frame k's band is
// made: lanes 2 and 3 of rest hold it (left, right).
template <bool kAllBands, typename Sink>
inline void runLanes(ThreeSectionLanes& lanes, const float* left, const float* right, int n, float* hpL,
                     float* hpR, float* lpL, float* lpR, float* bpL, float* bpR, Sink&& sink) {
  const __m128 lowLanes = _mm_castsi128_ps(_mm_setr_epi32(0, 0, -1, -1));
  const __m128 highLanes = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, 0, 0));
  auto keep = [&](__m128 mask, const ThreeSectionLanes& saved) {
    lanes.b1 = keepLanes(mask, lanes.b1, saved.b1), lanes.r1 = keepLanes(mask, lanes.r1, saved.r1);
    lanes.b2 = keepLanes(mask, lanes.b2, saved.b2), lanes.r2 = keepLanes(mask, lanes.r2, saved.r2);
    lanes.b3 = keepLanes(mask, lanes.b3, saved.b3), lanes.r3 = keepLanes(mask, lanes.r3, saved.r3);
  };
  // rest of the high-pass lanes for the samples i-1 and i-2 (lanes 0 and 1).
  __m128 rest1 = _mm_setzero_ps();
  __m128 rest2 = _mm_setzero_ps();

  // Samples 0 .. kLag-1: only the high-pass lanes have input; the low-pass lanes keep their state.
  const int lead = n < kLag ? n : kLag;
  ThreeSectionLanes saved = lanes;
  for (int i = 0; i < lead; ++i) {
    const __m128 in = _mm_setr_ps(left[i], right[i], 0.0f, 0.0f);
    const __m128 y = lanes.step(in);
    rest2 = rest1;
    rest1 = _mm_sub_ps(in, y);
    if constexpr (kAllBands) {
      hpL[i] = lane(y, 0);
      hpR[i] = lane(y, 1);
    }
  }
  keep(lowLanes, saved);

  ThreeSectionLanes l = lanes;  // a local copy the compiler keeps in registers
  int i = kLag;
  if constexpr (!kAllBands) {
    // Two samples per round, so that the rests need no moving between rounds: the bands of
    // samples i-2 and i-1 (lanes 2 and 3 of the two rests) go out together.
    for (; i + 2 <= n; i += 2) {
      // left i, right i, left i+1, right i+1
      const __m128 pairs =
          _mm_unpacklo_ps(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(left + i))),
                          _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(right + i))));
      const __m128 in0 = _mm_movelh_ps(pairs, rest2);
      const __m128 next2 = _mm_sub_ps(in0, l.step(in0));
      const __m128 in1 = _mm_shuffle_ps(pairs, rest1, _MM_SHUFFLE(1, 0, 3, 2));
      const __m128 next1 = _mm_sub_ps(in1, l.step(in1));
      sink(i - kLag, next2);
      sink(i - kLag + 1, next1);
      const __m128 bands = _mm_unpackhi_ps(next2, next1);  // left i-2, left i-1, right i-2, right i-1
      _mm_storel_pi(reinterpret_cast<__m64*>(bpL + i - kLag), bands);
      _mm_storeh_pi(reinterpret_cast<__m64*>(bpR + i - kLag), bands);
      rest2 = next2;
      rest1 = next1;
    }
  }
  for (; i < n; ++i) {
    // Lanes 2 and 3 take the high-pass rest of sample i-2.
    const __m128 in = _mm_movelh_ps(_mm_unpacklo_ps(_mm_load_ss(left + i), _mm_load_ss(right + i)), rest2);
    const __m128 y = l.step(in);
    const __m128 rest = _mm_sub_ps(in, y);
    rest2 = rest1;
    rest1 = rest;
    if constexpr (kAllBands) {
      _mm_store_ss(hpL + i, y);
      _mm_store_ss(hpR + i, _mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)));
      const __m128 yHigh = _mm_movehl_ps(y, y);
      _mm_store_ss(lpL + i - kLag, yHigh);
      _mm_store_ss(lpR + i - kLag, _mm_shuffle_ps(yHigh, yHigh, _MM_SHUFFLE(1, 1, 1, 1)));
    }
    sink(i - kLag, rest);
    const __m128 restHigh = _mm_movehl_ps(rest, rest);
    _mm_store_ss(bpL + i - kLag, restHigh);
    _mm_store_ss(bpR + i - kLag, _mm_shuffle_ps(restHigh, restHigh, _MM_SHUFFLE(1, 1, 1, 1)));
  }
  lanes = l;

  // The last low-pass steps (samples n-lead .. n-1); the high-pass lanes keep their state.
  saved = lanes;
  const __m128 pending[kLag] = {rest2, rest1};  // samples n-2 and n-1
  for (int k = 0; k < lead; ++k) {
    const __m128 in = _mm_movelh_ps(_mm_setzero_ps(), pending[k + (kLag - lead)]);
    const __m128 y = lanes.step(in);
    const __m128 rest = _mm_sub_ps(in, y);
    const int i = n - lead + k;
    if constexpr (kAllBands) {
      lpL[i] = lane(y, 2);
      lpR[i] = lane(y, 3);
    }
    sink(i, rest);
    bpL[i] = lane(rest, 2);
    bpR[i] = lane(rest, 3);
  }
  keep(highLanes, saved);
}

}  // namespace band_split_lanes

template <typename Sink>
void BandSplitFilter3::splitBandFeeding(const float* left, const float* right, int count, Sink&& sink,
                                        int at) {
  const int n = count < kCapacity - at ? count : kCapacity - at;
  if (n <= 0)
    return;
  band_split_lanes::ThreeSectionLanes lanes(hpf, lpf);
  band_split_lanes::runLanes<false>(lanes, left, right, n, nullptr, nullptr, nullptr, nullptr,
                                    bufferBP[0].data() + at, bufferBP[1].data() + at, sink);
  lanes.store(hpf, lpf);
}
#endif
