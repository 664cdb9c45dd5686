#include "SVFilter4Pole1.h"

namespace {
constexpr auto relaxed = std::memory_order_relaxed;

// One section; returns high (high-pass) or low' (low-pass), before booster.
inline float section(float x, float& band, float& low, float cf, float cq, bool highPass) {
  const float u = 0.5f * x;
  const float lowNext = low + cf * band;
  const float high = u - lowNext - cq * band;
  band = cf * high + band;
  low = lowNext;
  return highPass ? high : lowNext;
}
}  // namespace

SVFilter4Pole1::SVFilter4Pole1() {
  init();
}

// init() zeroes the smoothed values, coefficients and state and then resets; reset() zeroes
// all of those itself, so it is the whole of init.
void SVFilter4Pole1::init() {
  reset();
}

void SVFilter4Pole1::reset() {
  cutoff.store(0.0f, relaxed);
  resonance.store(0.0f, relaxed);
  booster.store(0.0f, relaxed);
  cf.store(0.0f, relaxed);
  cq.store(0.0f, relaxed);
  b1 = r1 = b2 = r2 = b3 = r3 = b4 = r4 = 0.0f;
  fMode = 0.0f;
  fCutoff.store(0.5f, relaxed);
  fResonance = 0.0f;
  processParameters();
}

void SVFilter4Pole1::setCutoff(float c) {
  fCutoff.store(c, relaxed);
  processParameters();
}

void SVFilter4Pole1::processParameters() {
  float fc = Modulator::getValueFrequencyScaled(fCutoff.load(relaxed));
  if (static_cast<double>(fc) < 0.0012) {
    fc = 0.0012f;  // lowest usable coefficient; also catches 0 and negative cutoffs
  } else if (fc > 1.0f) {
    fc = 1.0f;
  }
  const float r = (fResonance < 0.0f) ? 0.0f : (fResonance > 1.0f ? 1.0f : fResonance);
  if (fc == cutoff.load(relaxed) && r == resonance.load(relaxed))
    return;
  cutoff.store(fc, relaxed);
  resonance.store(r, relaxed);
  const float q = r * r + 0.05f;
  booster.store(0.7f + (1.0f - q), relaxed);
  cf.store(fc, relaxed);
  cq.store(1.0f / (q * (1.0f + (1.0f - fc)) * 25.0f), relaxed);
}

float SVFilter4Pole1::filter(float x, bool highPass) {
  const float c = cf.load(relaxed);
  const float d = cq.load(relaxed);
  x = section(x, b1, r1, c, d, highPass);
  if (fPoles > 1.0f)
    x = section(x, b2, r2, c, d, highPass);
  if (fPoles > 2.0f)
    x = section(x, b3, r3, c, d, highPass);
  if (fPoles > 3.0f)
    x = section(x, b4, r4, c, d, highPass);
  return x * booster.load(relaxed);
}

void SVFilter4Pole1::processSampleHP(float* sample) {
  *sample = filter(*sample, true);
}

void SVFilter4Pole1::processSampleLP(float* sample) {
  *sample = filter(*sample, false);
}

void SVFilter4Pole1::processSampleHP(const float* in, float* out, float* rest) {
  const float x = *in;
  const float y = filter(x, true);
  *out = y;
  *rest = x - y;
}

void SVFilter4Pole1::processSampleLP(const float* in, float* out, float* rest) {
  const float x = *in;
  const float y = filter(x, false);
  *out = y;
  *rest = x - y;
}

void SVFilter4Pole1::processBufferHP(const float* in, float* out, float* rest, int count) {
  for (int i = 0; i < count; ++i)
    processSampleHP(in + i, out + i, rest + i);
}

void SVFilter4Pole1::processBufferLP(const float* in, float* out, float* rest, int count) {
  for (int i = 0; i < count; ++i)
    processSampleLP(in + i, out + i, rest + i);
}
