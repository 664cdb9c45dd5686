#include "BandSplitFilter3.h"

#include <algorithm>

#include "BandSplitLanes.h"

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
  if (!(c >= 0.0f && c <= 1.0f))
    return;  // also refuses NaN
  const float upper = fCutoff2.load(relaxed);
  const float edge = (c > upper) ? upper : c;
  fCutoff1.store(edge, relaxed);
  lpf[0].setCutoff(edge);
  lpf[1].setCutoff(edge);
}

void BandSplitFilter3::setCutoff2(float c) {
  if (!(c >= 0.0f && c <= 1.0f))
    return;
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
    for (auto& b : *group)
      b.fill(0.0f);
  }
}

void BandSplitFilter3::splitReference(const float* left, const float* right, int count) {
  const int n = std::min(count, kCapacity);
  if (n <= 0)
    return;
  hpf[0].processBufferHP(left, bufferHP[0].data(), bufferBP[0].data(), n);
  hpf[1].processBufferHP(right, bufferHP[1].data(), bufferBP[1].data(), n);
  lpf[0].processBufferLP(bufferBP[0].data(), bufferLP[0].data(), bufferBP[0].data(), n);
  lpf[1].processBufferLP(bufferBP[1].data(), bufferLP[1].data(), bufferBP[1].data(), n);
}

bool BandSplitFilter3::hasThreeSections() const {
  return hpf[0].sectionCount() == 3 && hpf[1].sectionCount() == 3 && lpf[0].sectionCount() == 3 &&
         lpf[1].sectionCount() == 3;
}

template <bool kAllBands>
void BandSplitFilter3::splitLanes(const float* left, const float* right, int count) {
  const int n = std::min(count, kCapacity);
  if (n <= 0)
    return;
#if defined(__SSE2__)
  if (hasThreeSections()) {
    band_split_lanes::ThreeSectionLanes lanes(hpf, lpf);
    band_split_lanes::runLanes<kAllBands>(lanes, left, right, n, bufferHP[0].data(), bufferHP[1].data(),
                                          bufferLP[0].data(), bufferLP[1].data(), bufferBP[0].data(),
                                          bufferBP[1].data(), [](int, __m128) {});
    lanes.store(hpf, lpf);
    return;
  }
#endif
  splitReference(left, right, count);
}

void BandSplitFilter3::split(const float* left, const float* right, int count) {
  splitLanes<true>(left, right, count);
}

void BandSplitFilter3::splitBand(const float* left, const float* right, int count) {
  splitLanes<false>(left, right, count);
}
