#include "Follower.h"

#include <cmath>

#include "getAbsVal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {
// One step of processSample on registers. |x| as std::fabs compares like getAbsVal (only the
// sign of a zero or a NaN differs, which no comparison sees). The hold counter is never
// negative here (a negative one is taken as 0 on entry), so the fall needs no reset of it.
// max(p, 0): a fall below 0 ends at 0 (p is never NaN: peak and step are finite).
inline double clampedFall(double p) {
#if defined(__SSE2__)
  return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(p), _mm_setzero_pd()));
#else
  return p < 0.0 ? 0.0 : p;
#endif
}

struct Running {
  double peak;
  std::int32_t hold;
  std::int32_t reload;
  double up, down;

  inline void step(float x) {
    const double v = std::fabs(x);
    if (v > peak) {
      peak += up;
      hold = reload;
    } else if (v < peak) {
      if (hold > 0) {
        --hold;
      } else {
        peak = clampedFall(peak - down);
      }
    }
  }
};
}  // namespace

void Follower::processBuffer(const float* buffer, std::int64_t count) {
  Running s{currentPeak.load(relaxed), decayTime > 0 ? decayTime : 0, holdSamples(), increase, decrease};
  for (std::int64_t i = 0; i < count; ++i) s.step(buffer[i]);
  decayTime = s.hold;
  currentPeak.store(s.peak, relaxed);
}

void Follower::processStereo(Follower& left, Follower& right, const float* l, const float* r,
                             std::int64_t count) {
  Running a{left.currentPeak.load(relaxed), left.decayTime > 0 ? left.decayTime : 0, left.holdSamples(),
            left.increase, left.decrease};
  Running b{right.currentPeak.load(relaxed), right.decayTime > 0 ? right.decayTime : 0, right.holdSamples(),
            right.increase, right.decrease};
  for (std::int64_t i = 0; i < count; ++i) {
    a.step(l[i]);
    b.step(r[i]);
  }
  left.decayTime = a.hold;
  left.currentPeak.store(a.peak, relaxed);
  right.decayTime = b.hold;
  right.currentPeak.store(b.peak, relaxed);
}

float Follower::getPeakLimited() const {
  float p = static_cast<float>(currentPeak.load(relaxed));
  if (p > 1.0f) p = 1.0f;
  if (p < 0.0f) p = 0.0f;
  return p;
}
