#include "BandSplitFilter3.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr auto relaxed = std::memory_order_relaxed;
}

BandSplitFilter3::BandSplitFilter3() {
  setSamplerate(48000.0f);
  reset();
  setCutoff1(0.333f);
  setCutoff2(0.666f);
}

void BandSplitFilter3::setCutoff1(float c) {
  if (!(c >= 0.0f && c <= 1.0f)) return;  // also refuses NaN
  const float upper = fCutoff2.load(relaxed);
  const float edge = (c > upper) ? upper : c;
  fCutoff1.store(edge, relaxed);
  lpf[0].setCutoff(edge);
  lpf[1].setCutoff(edge);
}

void BandSplitFilter3::setCutoff2(float c) {
  if (!(c >= 0.0f && c <= 1.0f)) return;
  const float lower = fCutoff1.load(relaxed);
  const float edge = (c < lower) ? lower : c;
  fCutoff2.store(edge, relaxed);
  hpf[0].setCutoff(edge);
  hpf[1].setCutoff(edge);
}

void BandSplitFilter3::setSamplerate(float sr) {
  fSamplerate = sr;
  hpf[0].setSamplerate(sr);
  hpf[1].setSamplerate(sr);
  lpf[0].setSamplerate(sr);
  lpf[1].setSamplerate(sr);
}

void BandSplitFilter3::init() {
  clear();
  hpf[0].reset();
  hpf[1].reset();
  lpf[0].reset();
  lpf[1].reset();
}

void BandSplitFilter3::clear() {
  for (auto* group : {&bufferLP, &bufferHP, &bufferBP}) {
    for (auto& b : *group) b.fill(0.0f);
  }
}

void BandSplitFilter3::splitReference(const float* left, const float* right, int count) {
  const int n = std::min(count, kCapacity);
  if (n <= 0) return;
  hpf[0].processBufferHP(left, bufferHP[0].data(), bufferBP[0].data(), n);
  hpf[1].processBufferHP(right, bufferHP[1].data(), bufferBP[1].data(), n);
  lpf[0].processBufferLP(bufferBP[0].data(), bufferLP[0].data(), bufferBP[0].data(), n);
  lpf[1].processBufferLP(bufferBP[1].data(), bufferLP[1].data(), bufferBP[1].data(), n);
}

#if defined(__SSE2__)
namespace {

// The four filters as the lanes of one vector: 0 high-pass left, 1 high-pass right, 2 low-pass
// left, 3 low-pass right. The low-pass lanes run one sample behind, because their input is
// what the high-pass lanes left over from the previous sample. Lane arithmetic is exactly the
// scalar arithmetic of one section, so results match the filter-by-filter split bit for bit.
struct Lanes {
  __m128 cf, cq, booster;
  __m128 band[4], low[4];
  int sections;

  explicit Lanes(std::array<SVFilter4Pole1, 2>& hp, std::array<SVFilter4Pole1, 2>& lp) {
    auto pack = [&](auto get) { return _mm_setr_ps(get(hp[0]), get(hp[1]), get(lp[0]), get(lp[1])); };
    cf = pack([](SVFilter4Pole1& f) { return f.cf.load(relaxed); });
    cq = pack([](SVFilter4Pole1& f) { return f.cq.load(relaxed); });
    booster = pack([](SVFilter4Pole1& f) { return f.booster.load(relaxed); });
    band[0] = pack([](SVFilter4Pole1& f) { return f.b1; });
    low[0] = pack([](SVFilter4Pole1& f) { return f.r1; });
    band[1] = pack([](SVFilter4Pole1& f) { return f.b2; });
    low[1] = pack([](SVFilter4Pole1& f) { return f.r2; });
    band[2] = pack([](SVFilter4Pole1& f) { return f.b3; });
    low[2] = pack([](SVFilter4Pole1& f) { return f.r3; });
    band[3] = pack([](SVFilter4Pole1& f) { return f.b4; });
    low[3] = pack([](SVFilter4Pole1& f) { return f.r4; });
    sections = hp[0].sectionCount();
  }

  void store(std::array<SVFilter4Pole1, 2>& hp, std::array<SVFilter4Pole1, 2>& lp) const {
    alignas(16) float v[8][4];
    for (int s = 0; s < 4; ++s) {
      _mm_store_ps(v[2 * s], band[s]);
      _mm_store_ps(v[2 * s + 1], low[s]);
    }
    SVFilter4Pole1* filters[4] = {&hp[0], &hp[1], &lp[0], &lp[1]};
    for (int l = 0; l < 4; ++l) {
      SVFilter4Pole1& f = *filters[l];
      f.b1 = v[0][l], f.r1 = v[1][l], f.b2 = v[2][l], f.r2 = v[3][l];
      f.b3 = v[4][l], f.r3 = v[5][l], f.b4 = v[6][l], f.r4 = v[7][l];
    }
  }

  // One step of all four lanes; returns the filtered value (times booster) per lane.
  template <int Sections>
  inline __m128 step(__m128 x) {
    const __m128 half = _mm_set1_ps(0.5f);
    for (int s = 0; s < Sections; ++s) {
      const __m128 u = _mm_mul_ps(half, x);
      const __m128 lowNext = _mm_add_ps(low[s], _mm_mul_ps(cf, band[s]));
      const __m128 high = _mm_sub_ps(_mm_sub_ps(u, lowNext), _mm_mul_ps(cq, band[s]));
      band[s] = _mm_add_ps(_mm_mul_ps(cf, high), band[s]);
      low[s] = lowNext;
      // High-pass lanes pass high on, low-pass lanes low'.
      x = _mm_shuffle_ps(high, lowNext, _MM_SHUFFLE(3, 2, 1, 0));
    }
    return _mm_mul_ps(x, booster);
  }
};

inline float lane(__m128 v, int i) {
  alignas(16) float t[4];
  _mm_store_ps(t, v);
  return t[i];
}

template <int Sections>
void runLanes(Lanes& lanes, const float* left, const float* right, int n, float* hpL, float* hpR,
              float* lpL, float* lpR, float* bpL, float* bpR) {
  // Sample 0: only the high-pass lanes have input; the low-pass lanes keep their state.
  __m128 savedBand[4], savedLow[4];
  for (int s = 0; s < 4; ++s) savedBand[s] = lanes.band[s], savedLow[s] = lanes.low[s];
  const __m128 lowLanes = _mm_castsi128_ps(_mm_setr_epi32(0, 0, -1, -1));
  auto keepLowLanes = [&](__m128 fresh, __m128 saved) {
    return _mm_or_ps(_mm_andnot_ps(lowLanes, fresh), _mm_and_ps(lowLanes, saved));
  };
  auto keepHighLanes = [&](__m128 fresh, __m128 saved) {
    return _mm_or_ps(_mm_and_ps(lowLanes, fresh), _mm_andnot_ps(lowLanes, saved));
  };

  __m128 in = _mm_setr_ps(left[0], right[0], 0.0f, 0.0f);
  __m128 y = lanes.step<Sections>(in);
  __m128 rest = _mm_sub_ps(in, y);
  for (int s = 0; s < 4; ++s) {
    lanes.band[s] = keepLowLanes(lanes.band[s], savedBand[s]);
    lanes.low[s] = keepLowLanes(lanes.low[s], savedLow[s]);
  }
  hpL[0] = lane(y, 0);
  hpR[0] = lane(y, 1);

  for (int i = 1; i < n; ++i) {
    // Lanes 2 and 3 take the high-pass rest of sample i-1 (lanes 0 and 1 of `rest`).
    in = _mm_shuffle_ps(_mm_unpacklo_ps(_mm_load_ss(left + i), _mm_load_ss(right + i)), rest,
                        _MM_SHUFFLE(1, 0, 1, 0));
    y = lanes.step<Sections>(in);
    rest = _mm_sub_ps(in, y);
    _mm_store_ss(hpL + i, y);
    _mm_store_ss(hpR + i, _mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)));
    _mm_store_ss(lpL + i - 1, _mm_shuffle_ps(y, y, _MM_SHUFFLE(2, 2, 2, 2)));
    _mm_store_ss(lpR + i - 1, _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 3, 3)));
    _mm_store_ss(bpL + i - 1, _mm_shuffle_ps(rest, rest, _MM_SHUFFLE(2, 2, 2, 2)));
    _mm_store_ss(bpR + i - 1, _mm_shuffle_ps(rest, rest, _MM_SHUFFLE(3, 3, 3, 3)));
  }

  // Last low-pass step for sample n-1; the high-pass lanes keep their state.
  for (int s = 0; s < 4; ++s) savedBand[s] = lanes.band[s], savedLow[s] = lanes.low[s];
  in = _mm_shuffle_ps(_mm_setzero_ps(), rest, _MM_SHUFFLE(1, 0, 1, 0));
  y = lanes.step<Sections>(in);
  rest = _mm_sub_ps(in, y);
  for (int s = 0; s < 4; ++s) {
    lanes.band[s] = keepHighLanes(lanes.band[s], savedBand[s]);
    lanes.low[s] = keepHighLanes(lanes.low[s], savedLow[s]);
  }
  lpL[n - 1] = lane(y, 2);
  lpR[n - 1] = lane(y, 3);
  bpL[n - 1] = lane(rest, 2);
  bpR[n - 1] = lane(rest, 3);
}

}  // namespace
#endif

void BandSplitFilter3::split(const float* left, const float* right, int count) {
  const int n = std::min(count, kCapacity);
  if (n <= 0) return;
#if defined(__SSE2__)
  const int sections = hpf[0].sectionCount();
  if (hpf[1].sectionCount() == sections && lpf[0].sectionCount() == sections &&
      lpf[1].sectionCount() == sections) {
    Lanes lanes(hpf, lpf);
    float* hpL = bufferHP[0].data();
    float* hpR = bufferHP[1].data();
    float* lpL = bufferLP[0].data();
    float* lpR = bufferLP[1].data();
    float* bpL = bufferBP[0].data();
    float* bpR = bufferBP[1].data();
    switch (sections) {
      case 1: runLanes<1>(lanes, left, right, n, hpL, hpR, lpL, lpR, bpL, bpR); break;
      case 2: runLanes<2>(lanes, left, right, n, hpL, hpR, lpL, lpR, bpL, bpR); break;
      case 3: runLanes<3>(lanes, left, right, n, hpL, hpR, lpL, lpR, bpL, bpR); break;
      default: runLanes<4>(lanes, left, right, n, hpL, hpR, lpL, lpR, bpL, bpR); break;
    }
    lanes.store(hpf, lpf);
    return;
  }
#endif
  splitReference(left, right, count);
}
