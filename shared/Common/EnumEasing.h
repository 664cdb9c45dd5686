// The easing kinds of Animator: the linear curve, then ten families of Penner's easing equations
// in the variants In, Out, InOut, OutIn, then an end marker. Family k (Quad = 0 ... Bounce = 9)
// occupies the raw values 4k+1 to 4k+4.
#pragma once

#include <cstdint>
#include <optional>

// The 41 curves in raw-value order; X(name) is called once per curve. EASING_easeLast (41) is not
// a curve: it selects easeNone.
#define KOV_EASING_CURVES(X)                                                                                 \
  X(easeNone)                                                                                                \
  X(easeInQuad)                                                                                              \
  X(easeOutQuad)                                                                                             \
  X(easeInOutQuad) X(easeOutInQuad) X(easeInCubic) X(easeOutCubic) X(easeInOutCubic) X(easeOutInCubic)       \
      X(easeInQuart) X(easeOutQuart) X(easeInOutQuart) X(easeOutInQuart) X(easeInQuint) X(easeOutQuint)      \
          X(easeInOutQuint) X(easeOutInQuint) X(easeInSine) X(easeOutSine) X(easeInOutSine) X(easeOutInSine) \
              X(easeInExpo) X(easeOutExpo) X(easeInOutExpo) X(easeOutInExpo) X(easeInCirc) X(easeOutCirc)    \
                  X(easeInOutCirc) X(easeOutInCirc) X(easeInElastic) X(easeOutElastic) X(easeInOutElastic)   \
                      X(easeOutInElastic) X(easeInBack) X(easeOutBack) X(easeInOutBack) X(easeOutInBack)     \
                          X(easeInBounce) X(easeOutBounce) X(easeInOutBounce) X(easeOutInBounce)

// Compares and hashes by its raw value (std::hash of an enumeration does exactly that).
enum class EnumEasing : std::int64_t {
#define KOV_EASING_CASE(name) EASING_##name,
  KOV_EASING_CURVES(KOV_EASING_CASE)
#undef KOV_EASING_CASE
      EASING_easeLast
};

inline constexpr std::int64_t kEasingCurveCount = 41;
static_assert(static_cast<std::int64_t>(EnumEasing::EASING_easeLast) == kEasingCurveCount);

// The case with that raw value; none outside 0...41. [any]
constexpr std::optional<EnumEasing> EnumEasingFromRawValue(std::int64_t rawValue) {
  if (rawValue < 0 || rawValue > kEasingCurveCount)
    return std::nullopt;
  return static_cast<EnumEasing>(rawValue);
}

// The case's number. [any]
constexpr std::int64_t rawValue(EnumEasing type) {
  return static_cast<std::int64_t>(type);
}
