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
  if (!(a >= 0.0f && a <= 1.0f))
    return;
  fAttack = a;
  attackTime = a * fSamplerate;
  if (attackTime < 16.0f)
    attackTime = 16.0f;
  increase = stepFor(attackTime);
}

void Follower::setRelease(float r) {
  if (!(r >= 0.0f && r <= 10.0f))
    return;
  fRelease = r;
  releaseTime = r * fSamplerate;
  if (releaseTime < 16.0f)
    releaseTime = 16.0f;
  decrease = stepFor(releaseTime);
}

void Follower::setDecay(float d) {
  if (!(d >= 0.0f && d <= 1.0f))
    return;
  fDecay = d;
  decayTime = holdSamples();
}

std::int32_t Follower::holdSamples() const {
  // Truncated toward zero; kept within the counter's range (and 0 for NaN).
  const float samples = fDecay * fSamplerate;
  if (!(samples > 0.0f))
    return 0;
  if (samples >= 2147483520.0f)
    return 2147483520;
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
      if (peak < 0.0)
        peak = 0.0;
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

// A follower's level and hold counter on registers (a negative count taken as 0), and back.
Running running(const Follower& f, std::int32_t reload) {
  return {f.currentPeak.load(relaxed), f.decayTime > 0 ? f.decayTime : 0, reload, f.increase, f.decrease};
}

void keep(const Running& s, Follower& f) {
  f.decayTime = s.hold;
  f.currentPeak.store(s.peak, relaxed);
}
}  // namespace

void Follower::processBuffer(const float* buffer, std::int64_t count) {
  Running s = running(*this, holdSamples());
  for (std::int64_t i = 0; i < count; ++i)
    s.step(buffer[i]);
  keep(s, *this);
}

void Follower::processStereo(Follower& left, Follower& right, const float* l, const float* r,
                             std::int64_t count) {
  Running a = running(left, left.holdSamples());
  Running b = running(right, right.holdSamples());
  std::int64_t i = 0;
#if defined(__SSE2__)
  // Most of the time both meters fall: no hold left, every magnitude below the peak. Four such
  // steps are four subtractions of the fall step, p1 .. p4 (p4 > 0: no step reaches the floor).
  // The group is known to fall when each magnitude is below p4, the smallest peak it meets;
  // that is tested in single precision against t = p4 rounded to nearest: for a float v,
  // v < t means v <= the float below t, which is below p4 (t is the float nearest to p4), so
  // the test never accepts a step that would not fall. A NaN fails it, and t <= 0 when p4 <= 0.
  // Groups that fail it (a rise, a hold, an equal magnitude) take the steps one by one, except
  // silence at rest.
  const __m128d down = _mm_setr_pd(a.down, b.down);
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  __m128d peaks = _mm_setr_pd(a.peak, b.peak);
  for (; i + 4 <= count; i += 4) {
    if ((a.hold | b.hold) == 0) {
      const __m128d p4 = _mm_sub_pd(_mm_sub_pd(_mm_sub_pd(_mm_sub_pd(peaks, down), down), down), down);
      const __m128 t = _mm_cvtpd_ps(p4);
      const __m128 belowLeft =
          _mm_cmplt_ps(_mm_and_ps(_mm_loadu_ps(l + i), magnitude), _mm_shuffle_ps(t, t, 0x00));
      const __m128 belowRight =
          _mm_cmplt_ps(_mm_and_ps(_mm_loadu_ps(r + i), magnitude), _mm_shuffle_ps(t, t, 0x55));
      if (_mm_movemask_ps(_mm_and_ps(belowLeft, belowRight)) == 0xF) {
        peaks = p4;
        continue;
      }
    }
    // Silence at rest: both peaks 0 and every magnitude 0, equal to them, so no step changes
    // anything (a hold left over stays as it is).
    const __m128 magnitudes = _mm_and_ps(_mm_or_ps(_mm_loadu_ps(l + i), _mm_loadu_ps(r + i)), magnitude);
    if (_mm_movemask_pd(_mm_cmpeq_pd(peaks, _mm_setzero_pd())) == 0x3 &&
        _mm_movemask_ps(_mm_cmpeq_ps(magnitudes, _mm_setzero_ps())) == 0xF) {
      continue;
    }
    a.peak = _mm_cvtsd_f64(peaks);
    b.peak = _mm_cvtsd_f64(_mm_unpackhi_pd(peaks, peaks));
    for (int k = 0; k < 4; ++k) {
      a.step(l[i + k]);
      b.step(r[i + k]);
    }
    peaks = _mm_setr_pd(a.peak, b.peak);
  }
  a.peak = _mm_cvtsd_f64(peaks);
  b.peak = _mm_cvtsd_f64(_mm_unpackhi_pd(peaks, peaks));
#endif
  for (; i < count; ++i) {
    a.step(l[i]);
    b.step(r[i]);
  }
  keep(a, left);
  keep(b, right);
}

float Follower::getPeakLimited() const {
  float p = static_cast<float>(currentPeak.load(relaxed));
  if (p > 1.0f)
    p = 1.0f;
  if (p < 0.0f)
    p = 0.0f;
  return p;
}
