// Penner's easing equations in single precision: each maps a frame number to a value on the way
// from `sourceValue` (frame 0) to `sourceValue + amount` (frame `numFrames`). Pure functions,
// no allocation; Animator calls the one of its easing kind once per frame.
//
// Arithmetic: frame numbers are converted to float first and every formula is evaluated in
// float, left to right as written, with powf, sinf, cosf, sqrtf and π as a float. The OutIn
// variants shift frames in 64-bit integers, the Bounce In and InOut curves in float with a
// conversion back to integers; both saturate instead of overflowing. A frame count of 0 gives
// non-finite values (a float division by zero) except where an end case applies first.
#pragma once

#include <cstdint>

#include "EnumEasing.h"

namespace Easing {

using Curve = float (*)(std::int64_t currentFrame, float sourceValue, float amount, std::int64_t numFrames);

#define KOV_EASING_DECLARE(name) \
  float name(std::int64_t currentFrame, float sourceValue, float amount, std::int64_t numFrames);
KOV_EASING_CURVES(KOV_EASING_DECLARE)
#undef KOV_EASING_DECLARE

// The curve of an easing kind; EASING_easeLast gives easeNone. [any]
Curve curve(EnumEasing type);

// Single-precision constants of the curves: the equations are evaluated in float throughout.
inline constexpr float kPi = 3.14159265358979323846f;
inline constexpr float kElasticPeriod = 0.3f;
// 0.3f * 1.5f: one unit in the last place above the float nearest to 0.45.
inline constexpr float kElasticInOutPeriod = 0.45000002f;
inline constexpr float kBackOvershoot = 1.70158f;
inline constexpr float kBackOvershootPlusOne = 2.70158f;
// 1.70158f * 1.525f and that plus one.
inline constexpr float kBackInOutOvershoot = 2.5949094f;
inline constexpr float kBackInOutOvershootPlusOne = 3.5949094f;

}  // namespace Easing
