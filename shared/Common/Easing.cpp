// Penner's notation throughout: t = current frame, b = source value, c = amount, d = frame count;
// x = t/d runs 0..1, y = t/(d/2) runs 0..2 for the InOut variants.
#include "Easing.h"

#include <cmath>
#include <iterator>
#include <limits>

namespace Easing {
namespace {

using Frame = std::int64_t;
constexpr Frame kFrameMax = std::numeric_limits<Frame>::max();
constexpr Frame kFrameMin = std::numeric_limits<Frame>::min();

float F(Frame n) {
  return static_cast<float>(n);
}

// a + b, a − b and 2t on frame numbers, saturating at the 64-bit range instead of overflowing.
Frame plus(Frame a, Frame b) {
  Frame r = 0;
  if (__builtin_add_overflow(a, b, &r))
    return b < 0 ? kFrameMin : kFrameMax;
  return r;
}
Frame minus(Frame a, Frame b) {
  Frame r = 0;
  if (__builtin_sub_overflow(a, b, &r))
    return b < 0 ? kFrameMax : kFrameMin;
  return r;
}
Frame twice(Frame t) {
  return plus(t, t);
}

// The integer part of a float frame number, saturated to the 64-bit range (NaN gives 0).
Frame truncateFrame(float f) {
  if (std::isnan(f))
    return 0;
  if (f >= 0x1p63f)
    return kFrameMax;
  if (f < -0x1p63f)
    return kFrameMin;
  return static_cast<Frame>(f);
}

// OutIn: the Out curve over the first half and the In curve over the second, each over the
// whole frame count with the frame number doubled; the halves split at h = d/2 (integer division),
// so for an odd d the middle frame starts the second half one frame before the In curve's zero.
template <Curve Out, Curve In>
float outIn(Frame t, float b, float c, Frame d) {
  const Frame h = d / 2;
  if (t < h)
    return Out(twice(t), b, c / 2, d);
  // 2t − d as t + (t − d), which stays in range for every 0 <= t <= d.
  return In(plus(t, minus(t, d)), b + c / 2, c / 2, d);
}

// sin((a·d − s)·2π/p), the oscillation of the Elastic curves with period p and phase s in frames.
float elasticWave(float a, float D, float s, float p) {
  return std::sin((a * D - s) * (2 * kPi) / p);
}

}  // namespace

float easeNone(Frame t, float b, float c, Frame d) {
  return c * F(t) / F(d) + b;
}

// ---- Quad ----
float easeInQuad(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return c * x * x + b;
}
float easeOutQuad(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return -c * x * (x - 2) + b;
}
float easeInOutQuad(Frame t, float b, float c, Frame d) {
  const float y = F(t) / (F(d) / 2);
  if (y < 1)
    return c / 2 * y * y + b;
  const float w = y - 1;
  return -c / 2 * (w * (w - 2) - 1) + b;
}
float easeOutInQuad(Frame t, float b, float c, Frame d) {
  return outIn<easeOutQuad, easeInQuad>(t, b, c, d);
}

// ---- Cubic ----
float easeInCubic(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return c * x * x * x + b;
}
float easeOutCubic(Frame t, float b, float c, Frame d) {
  const float u = F(t) / F(d) - 1;
  return c * (u * u * u + 1) + b;
}
float easeInOutCubic(Frame t, float b, float c, Frame d) {
  const float y = F(t) / (F(d) / 2);
  if (y < 1)
    return c / 2 * y * y * y + b;
  const float v = y - 2;
  return c / 2 * (v * v * v + 2) + b;
}
float easeOutInCubic(Frame t, float b, float c, Frame d) {
  return outIn<easeOutCubic, easeInCubic>(t, b, c, d);
}

// ---- Quart ----
float easeInQuart(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return c * x * x * x * x + b;
}
float easeOutQuart(Frame t, float b, float c, Frame d) {
  const float u = F(t) / F(d) - 1;
  return -c * (u * u * u * u - 1) + b;
}
float easeInOutQuart(Frame t, float b, float c, Frame d) {
  const float y = F(t) / (F(d) / 2);
  if (y < 1)
    return c / 2 * y * y * y * y + b;
  const float v = y - 2;
  return -c / 2 * (v * v * v * v - 2) + b;
}
float easeOutInQuart(Frame t, float b, float c, Frame d) {
  return outIn<easeOutQuart, easeInQuart>(t, b, c, d);
}

// ---- Quint ----
float easeInQuint(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return c * x * x * x * x * x + b;
}
float easeOutQuint(Frame t, float b, float c, Frame d) {
  const float u = F(t) / F(d) - 1;
  return c * (u * u * u * u * u + 1) + b;
}
float easeInOutQuint(Frame t, float b, float c, Frame d) {
  const float y = F(t) / (F(d) / 2);
  if (y < 1)
    return c / 2 * y * y * y * y * y + b;
  const float v = y - 2;
  return c / 2 * (v * v * v * v * v + 2) + b;
}
float easeOutInQuint(Frame t, float b, float c, Frame d) {
  return outIn<easeOutQuint, easeInQuint>(t, b, c, d);
}

// ---- Sine ----
float easeInSine(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return -c * std::cos(x * kPi / 2) + c + b;
}
float easeOutSine(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return c * std::sin(x * kPi / 2) + b;
}
float easeInOutSine(Frame t, float b, float c, Frame d) {
  return -c / 2 * (std::cos(kPi * F(t) / F(d)) - 1) + b;
}
float easeOutInSine(Frame t, float b, float c, Frame d) {
  return outIn<easeOutSine, easeInSine>(t, b, c, d);
}

// ---- Expo ---- (the end cases compare the converted floats, so they are exact)
float easeInExpo(Frame t, float b, float c, Frame d) {
  if (F(t) == 0)
    return b;
  const float x = F(t) / F(d);
  return c * std::pow(2.0f, 10 * (x - 1)) + b;
}
float easeOutExpo(Frame t, float b, float c, Frame d) {
  if (F(t) == F(d))
    return b + c;
  return c * (1 - std::pow(2.0f, -10 * F(t) / F(d))) + b;
}
float easeInOutExpo(Frame t, float b, float c, Frame d) {
  if (F(t) == 0)
    return b;
  if (F(t) == F(d))
    return b + c;
  const float y = F(t) / (F(d) / 2);
  if (y < 1)
    return c / 2 * std::pow(2.0f, 10 * (y - 1)) + b;
  return c / 2 * (2 - std::pow(2.0f, -10 * (y - 1))) + b;
}
float easeOutInExpo(Frame t, float b, float c, Frame d) {
  return outIn<easeOutExpo, easeInExpo>(t, b, c, d);
}

// ---- Circ ----
float easeInCirc(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return -c * (std::sqrt(1 - x * x) - 1) + b;
}
float easeOutCirc(Frame t, float b, float c, Frame d) {
  const float u = F(t) / F(d) - 1;
  return c * std::sqrt(1 - u * u) + b;
}
float easeInOutCirc(Frame t, float b, float c, Frame d) {
  const float y = F(t) / (F(d) / 2);
  if (y < 1)
    return -c / 2 * (std::sqrt(1 - y * y) - 1) + b;
  const float v = y - 2;
  return c / 2 * (std::sqrt(1 - v * v) + 1) + b;
}
float easeOutInCirc(Frame t, float b, float c, Frame d) {
  return outIn<easeOutCirc, easeInCirc>(t, b, c, d);
}

// ---- Elastic ---- amplitude c; period p = 0.3·d frames (0.45·d for InOut), phase s = p/4.
float easeInElastic(Frame t, float b, float c, Frame d) {
  if (F(t) == 0)
    return b;
  const float x = F(t) / F(d);
  if (x == 1)
    return b + c;
  const float D = F(d);
  const float p = D * kElasticPeriod;
  const float s = p / 4;
  const float u = x - 1;
  return -(c * std::pow(2.0f, 10 * u) * elasticWave(u, D, s, p)) + b;
}
float easeOutElastic(Frame t, float b, float c, Frame d) {
  if (F(t) == 0)
    return b;
  const float x = F(t) / F(d);
  if (x == 1)
    return b + c;
  const float D = F(d);
  const float p = D * kElasticPeriod;
  const float s = p / 4;
  return c * std::pow(2.0f, -10 * x) * elasticWave(x, D, s, p) + c + b;
}
float easeInOutElastic(Frame t, float b, float c, Frame d) {
  if (F(t) == 0)
    return b;
  const float y = F(t) / (F(d) / 2);
  if (y == 2)
    return b + c;
  const float D = F(d);
  const float p = D * kElasticInOutPeriod;
  const float s = p / 4;
  const float u = y - 1;
  if (y < 1)
    return -0.5f * (c * std::pow(2.0f, 10 * u) * elasticWave(u, D, s, p)) + b;
  return c * std::pow(2.0f, -10 * u) * elasticWave(u, D, s, p) * 0.5f + c + b;
}
float easeOutInElastic(Frame t, float b, float c, Frame d) {
  return outIn<easeOutElastic, easeInElastic>(t, b, c, d);
}

// ---- Back ---- overshoot s = 1.70158 (about 10 %), 1.525·s for InOut.
float easeInBack(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  return c * x * x * (kBackOvershootPlusOne * x - kBackOvershoot) + b;
}
float easeOutBack(Frame t, float b, float c, Frame d) {
  const float u = F(t) / F(d) - 1;
  return c * (u * u * (kBackOvershootPlusOne * u + kBackOvershoot) + 1) + b;
}
float easeInOutBack(Frame t, float b, float c, Frame d) {
  const float y = F(t) / (F(d) / 2);
  if (y < 1)
    return c / 2 * (y * y * (kBackInOutOvershootPlusOne * y - kBackInOutOvershoot)) + b;
  const float v = y - 2;
  return c / 2 * (v * v * (kBackInOutOvershootPlusOne * v + kBackInOutOvershoot) + 2) + b;
}
float easeOutInBack(Frame t, float b, float c, Frame d) {
  return outIn<easeOutBack, easeInBack>(t, b, c, d);
}

// ---- Bounce ---- four parabolas 7.5625·(x − m)² + k with breakpoints at multiples of 1/2.75.
float easeOutBounce(Frame t, float b, float c, Frame d) {
  const float x = F(t) / F(d);
  float v = 0;
  if (x < 0.36363637f) {  // 1/2.75
    v = 7.5625f * x * x;
  } else if (x < 0.72727275f) {       // 2/2.75
    const float m = x - 0.54545456f;  // 1.5/2.75
    v = 7.5625f * m * m + 0.75f;
  } else if (x < 0.90909094f) {      // 2.5/2.75
    const float m = x - 0.8181818f;  // 2.25/2.75
    v = 7.5625f * m * m + 0.9375f;
  } else {
    const float m = x - 0.95454544f;  // 2.625/2.75
    v = 7.5625f * m * m + 0.984375f;
  }
  return c * v + b;
}
float easeInBounce(Frame t, float b, float c, Frame d) {
  const Frame mirrored = truncateFrame(F(d) - F(t));
  return c - easeOutBounce(mirrored, 0, c, truncateFrame(F(d))) + b;
}
float easeInOutBounce(Frame t, float b, float c, Frame d) {
  const Frame frames = truncateFrame(F(d));
  if (F(t) < F(d) / 2)
    return easeInBounce(truncateFrame(F(t) * 2), 0, c, frames) * 0.5f + b;
  return easeOutBounce(truncateFrame(F(t) * 2 - F(d)), 0, c, frames) * 0.5f + c * 0.5f + b;
}
float easeOutInBounce(Frame t, float b, float c, Frame d) {
  return outIn<easeOutBounce, easeInBounce>(t, b, c, d);
}

Curve curve(EnumEasing type) {
  static constexpr Curve kCurves[] = {
#define KOV_EASING_ENTRY(name) &name,
      KOV_EASING_CURVES(KOV_EASING_ENTRY)
#undef KOV_EASING_ENTRY
  };
  static_assert(std::size(kCurves) == kEasingCurveCount);
  const std::int64_t k = rawValue(type);
  return (k >= 0 && k < kEasingCurveCount) ? kCurves[k] : &easeNone;
}

}  // namespace Easing
