#include "Follower.h"

#include <cmath>

#include "getAbsVal.h"

namespace {
constexpr auto relaxed = std::memory_order_relaxed;

// 1/samples, or 0 when that is subnormal.
double stepFor(float samples) {
  const double step = 1.0 / static_cast<double>(samples);
  return (std::fpclassify(step) == FP_SUBNORMAL) ? 0.0 : step;
}
}  // namespace

Follower::Follower() {
  setSamplerate(48000.0f);
  init();
}

void Follower::setSamplerate(float sr) {
  fSamplerate = sr;
  setAttack(0.01f);
  setRelease(0.5f);
  setDecay(0.0001f);
}

void Follower::setAttack(float a) {
  if (!(a >= 0.0f && a <= 1.0f)) return;
  fAttack = a;
  attackTime = a * fSamplerate;
  if (attackTime < 16.0f) attackTime = 16.0f;
  increase = stepFor(attackTime);
}

void Follower::setRelease(float r) {
  if (!(r >= 0.0f && r <= 10.0f)) return;
  fRelease = r;
  releaseTime = r * fSamplerate;
  if (releaseTime < 16.0f) releaseTime = 16.0f;
  decrease = stepFor(releaseTime);
}

void Follower::setDecay(float d) {
  if (!(d >= 0.0f && d <= 1.0f)) return;
  fDecay = d;
  decayTime = holdSamples();
}

std::int32_t Follower::holdSamples() const {
  // Truncated toward zero; kept within the counter's range (and 0 for NaN).
  const float samples = fDecay * fSamplerate;
  if (!(samples > 0.0f)) return 0;
  if (samples >= 2147483520.0f) return 2147483520;
  return static_cast<std::int32_t>(samples);
}

void Follower::processSample(const float* sample) {
  const double v = getAbsVal(*sample);
  double peak = currentPeak.load(relaxed);
  if (v > peak) {
    peak += increase;
    decayTime = holdSamples();
  } else if (v < peak) {
    const std::int32_t before = decayTime;
    decayTime = before - 1;
    if (before <= 0) {
      decayTime = 0;
      peak -= decrease;
      if (peak < 0.0) peak = 0.0;
    }
  }
  currentPeak.store(peak, relaxed);
}

void Follower::processBuffer(const float* buffer, std::int64_t count) {
  // Same steps as processSample, with the level and the counter kept in registers.
  double peak = currentPeak.load(relaxed);
  std::int32_t hold = decayTime;
  const std::int32_t reload = holdSamples();
  const double up = increase;
  const double down = decrease;
  for (std::int64_t i = 0; i < count; ++i) {
    const double v = getAbsVal(buffer[i]);
    if (v > peak) {
      peak += up;
      hold = reload;
    } else if (v < peak) {
      if (hold <= 0) {
        hold = 0;
        peak -= down;
        if (peak < 0.0) peak = 0.0;
      } else {
        --hold;
      }
    }
  }
  decayTime = hold;
  currentPeak.store(peak, relaxed);
}

float Follower::getPeakLimited() const {
  float p = static_cast<float>(currentPeak.load(relaxed));
  if (p > 1.0f) p = 1.0f;
  if (p < 0.0f) p = 0.0f;
  return p;
}
