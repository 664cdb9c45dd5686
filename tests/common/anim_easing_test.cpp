// The easing curves against the published closed forms of Penner's equations, evaluated in
// double precision on the normalised time x = t/d, at chosen frames and value ranges.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Easing.h"
#include "EnumEasing.h"

namespace {

using Normalised = double (*)(double x);
constexpr double kPiD = 3.14159265358979323846;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

double bounceOut(double x) {
  const double n = 7.5625, k = 2.75;
  if (x < 1 / k)
    return n * x * x;
  if (x < 2 / k)
    return n * (x - 1.5 / k) * (x - 1.5 / k) + 0.75;
  if (x < 2.5 / k)
    return n * (x - 2.25 / k) * (x - 2.25 / k) + 0.9375;
  return n * (x - 2.625 / k) * (x - 2.625 / k) + 0.984375;
}

// A family of curves by its In curve. Out is In mirrored, 1 − in(1 − x), and InOut runs In then
// Out at double speed, except where the published equations differ (Elastic, and Back's InOut
// with its larger overshoot): those give their own forms.
struct Family {
  const char* name;
  Normalised in;
  Normalised out = nullptr;
  Normalised inOut = nullptr;
  double tolerance = 4;  // in units of FLT_EPSILON times the larger of |source| and |amount|
};
double out(const Family& f, double x) {
  return f.out ? f.out(x) : 1 - f.in(1 - x);
}
double inOut(const Family& f, double x) {
  if (f.inOut)
    return f.inOut(x);
  return x < 0.5 ? f.in(2 * x) / 2 : 1 - f.in(2 - 2 * x) / 2;
}

const std::vector<Family>& families() {
  static const double c1 = 1.70158, c2 = c1 * 1.525;
  static const std::vector<Family> list = {
      {.name = "Quad", .in = [](double x) { return x * x; }},
      {.name = "Cubic", .in = [](double x) { return x * x * x; }},
      {.name = "Quart", .in = [](double x) { return std::pow(x, 4); }},
      {.name = "Quint", .in = [](double x) { return std::pow(x, 5); }},
      {.name = "Sine", .in = [](double x) { return 1 - std::cos(x * kPiD / 2); }},
      {.name = "Expo", .in = [](double x) { return x == 0 ? 0 : std::pow(2, 10 * x - 10); }, .tolerance = 8},
      {.name = "Circ", .in = [](double x) { return 1 - std::sqrt(1 - x * x); }, .tolerance = 8},
      {.name = "Elastic",
       .in =
           [](double x) {
             if (x == 0 || x == 1)
               return x;
             return -std::pow(2, 10 * x - 10) * std::sin((10 * x - 10.75) * (2 * kPiD / 3));
           },
       .out =
           [](double x) {
             if (x == 0 || x == 1)
               return x;
             return std::pow(2, -10 * x) * std::sin((10 * x - 0.75) * (2 * kPiD / 3)) + 1;
           },
       .inOut =
           [](double x) {
             if (x == 0 || x == 1)
               return x;
             const double w = std::sin((20 * x - 11.125) * (2 * kPiD / 4.5));
             return x < 0.5 ? -(std::pow(2, 20 * x - 10) * w) / 2 : std::pow(2, -20 * x + 10) * w / 2 + 1;
           },
       .tolerance = 32},
      {.name = "Back",
       .in = [](double x) { return (c1 + 1) * x * x * x - c1 * x * x; },
       .inOut =
           [](double x) {
             return x < 0.5 ? (std::pow(2 * x, 2) * ((c2 + 1) * 2 * x - c2)) / 2
                            : (std::pow(2 * x - 2, 2) * ((c2 + 1) * (2 * x - 2) + c2) + 2) / 2;
           },
       .tolerance = 8},
      {.name = "Bounce", .in = [](double x) { return 1 - bounceOut(1 - x); }, .tolerance = 8},
  };
  return list;
}

Easing::Curve curveAt(std::int64_t raw) {
  return Easing::curve(*EnumEasingFromRawValue(raw));
}

struct Range {
  float b, c;
};
const Range kRanges[] = {{0.0f, 1.0f}, {2.0f, -3.0f}, {-100.0f, 250.0f}};

double tolerance(double units, Range r) {
  return units * FLT_EPSILON * std::max(std::fabs(r.b), std::fabs(r.c));
}

}  // namespace

TEST(EasingKinds, RawValuesAndConversion) {
  SCOPED_TRACE("42 cases, 0 to 41, in family order");
  using E = EnumEasing;
  const std::pair<E, std::int64_t> pinned[] = {
      {E::EASING_easeNone, 0},    {E::EASING_easeInQuad, 1},       {E::EASING_easeOutInQuint, 16},
      {E::EASING_easeInExpo, 21}, {E::EASING_easeOutExpo, 22},     {E::EASING_easeOutInCirc, 28},
      {E::EASING_easeInBack, 33}, {E::EASING_easeOutInBounce, 40}, {E::EASING_easeLast, 41}};
  for (auto [kind, raw] : pinned) {
    EXPECT_EQ(rawValue(kind), raw);
    EXPECT_EQ(EnumEasingFromRawValue(raw), kind);
  }
  for (std::int64_t raw : {std::int64_t{42}, std::int64_t{100}, std::int64_t{-1}, kMin}) {
    EXPECT_FALSE(EnumEasingFromRawValue(raw).has_value()) << raw;
  }
  // The other kinds reach their curves through curveAt() in the closed-form test below.
  EXPECT_EQ(Easing::curve(E::EASING_easeLast), &Easing::easeNone);
  EXPECT_EQ(Easing::curve(E::EASING_easeNone), &Easing::easeNone);
}

TEST(Easing, StoredConstantsAreTheSinglePrecisionProducts) {
  EXPECT_EQ(Easing::kElasticInOutPeriod, 0.3f * 1.5f);
  EXPECT_EQ(Easing::kElasticInOutPeriod, std::nextafter(0.45f, 1.0f));
  EXPECT_EQ(Easing::kBackInOutOvershoot, 1.70158f * 1.525f);
  EXPECT_EQ(Easing::kBackInOutOvershootPlusOne, Easing::kBackInOutOvershoot + 1.0f);
  EXPECT_EQ(Easing::kPi, static_cast<float>(kPiD));
}

TEST(Easing, CurvesMatchClosedForms) {
  const std::int64_t frameCounts[] = {1, 2, 5, 7, 10, 64, 320};
  for (Range r : kRanges) {
    for (std::int64_t d : frameCounts) {
      for (std::int64_t t = 0; t <= d; ++t) {
        const double x = static_cast<double>(t) / static_cast<double>(d);
        SCOPED_TRACE("b=" + std::to_string(r.b) + " c=" + std::to_string(r.c) + " t=" + std::to_string(t) +
                     " d=" + std::to_string(d));
        EXPECT_NEAR(Easing::easeNone(t, r.b, r.c, d), r.b + r.c * x, tolerance(2, r));
        for (std::size_t k = 0; k < families().size(); ++k) {
          const Family& f = families()[k];
          SCOPED_TRACE(f.name);
          const std::int64_t base = 4 * static_cast<std::int64_t>(k) + 1;
          const double tol = tolerance(f.tolerance, r);
          EXPECT_NEAR(curveAt(base)(t, r.b, r.c, d), r.b + r.c * f.in(x), tol) << "In";
          EXPECT_NEAR(curveAt(base + 1)(t, r.b, r.c, d), r.b + r.c * out(f, x), tol) << "Out";
          EXPECT_NEAR(curveAt(base + 2)(t, r.b, r.c, d), r.b + r.c * inOut(f, x), tol) << "InOut";
          // Out over the first half, In over the second, each at doubled speed; the halves split
          // at the integer d/2, so for an odd d the middle frame runs In at 2x − 1 = −1/d.
          const double half = r.c / 2.0;
          const double expected =
              t < d / 2 ? r.b + half * out(f, 2 * x) : r.b + half + half * f.in(2 * x - 1);
          EXPECT_NEAR(curveAt(base + 3)(t, r.b, r.c, d), expected, tol) << "OutIn";
        }
      }
    }
  }
}

// The closed forms above meet the ends within their tolerance; these ends are exact.
TEST(Easing, ExactEndCases) {
  for (Range r : kRanges) {
    for (std::int64_t d : {1, 2, 7, 10, 320}) {
      SCOPED_TRACE("d=" + std::to_string(d) + " b=" + std::to_string(r.b));
      const float end = r.b + r.c;
      EXPECT_EQ(Easing::easeInExpo(0, r.b, r.c, d), r.b);
      EXPECT_EQ(Easing::easeOutExpo(d, r.b, r.c, d), end);
      for (Easing::Curve exact : {&Easing::easeInOutExpo, &Easing::easeInElastic, &Easing::easeOutElastic,
                                  &Easing::easeInOutElastic}) {
        EXPECT_EQ(exact(0, r.b, r.c, d), r.b);
        EXPECT_EQ(exact(d, r.b, r.c, d), end);
      }
    }
  }
  SCOPED_TRACE("Bounce: the last parabola reaches exactly 1 at x = 1");
  EXPECT_EQ(Easing::easeOutBounce(10, 0.0f, 1.0f, 10), 1.0f);
  EXPECT_EQ(Easing::easeOutBounce(7, 2.0f, 3.0f, 7), 5.0f);
  EXPECT_EQ(Easing::easeInBounce(0, 2.0f, 3.0f, 7), 2.0f);
}

TEST(Easing, FrameCountZeroAndExtremeFrames) {
  {
    SCOPED_TRACE("d = 0: non-finite, except where an end case applies first");
    EXPECT_TRUE(std::isinf(Easing::easeInQuad(1, 0.0f, 1.0f, 0)));
    EXPECT_TRUE(std::isnan(Easing::easeNone(0, 0.0f, 1.0f, 0)));
    EXPECT_FALSE(std::isfinite(Easing::easeOutCubic(1, 0.0f, 1.0f, 0)));
    EXPECT_EQ(Easing::easeInExpo(0, 2.0f, 3.0f, 0), 2.0f);
    EXPECT_EQ(Easing::easeOutExpo(0, 2.0f, 3.0f, 0), 5.0f);
    EXPECT_EQ(Easing::easeInElastic(0, 2.0f, 3.0f, 0), 2.0f);
  }
  SCOPED_TRACE("frame arithmetic saturates instead of overflowing");
  for (std::int64_t raw = 0; raw < kEasingCurveCount; ++raw) {
    SCOPED_TRACE(raw);
    // Large frames at a valid position (t = d) stay finite; d = 2^63 - 1 converts to 2^63.
    EXPECT_TRUE(std::isfinite(curveAt(raw)(kMax, 0.0f, 1.0f, kMax)));
    EXPECT_TRUE(std::isfinite(curveAt(raw)(kMax / 2, 0.0f, 1.0f, kMax)));
    // Nonsense frames must not trap (checked by the sanitizer build); the value is unspecified.
    (void)curveAt(raw)(kMin, 0.0f, 1.0f, kMax);
    (void)curveAt(raw)(kMax, 0.0f, 1.0f, kMin);
    (void)curveAt(raw)(kMin, 0.0f, 1.0f, -1);
  }
  EXPECT_FLOAT_EQ(Easing::easeInBounce(0, 0.0f, 1.0f, kMax), 0.0f);
  EXPECT_FLOAT_EQ(Easing::easeOutInQuad(kMax, 0.0f, 1.0f, kMax), 1.0f);
  // Float(d) − Float(t) = 2^64 lies beyond the 64-bit range: the mirrored frame saturates at the
  // largest frame, which is the Out curve's end (1), so In gives its start b. A conversion that
  // wrapped to the smallest frame would evaluate the first parabola at x = −1 instead.
  EXPECT_EQ(Easing::easeInBounce(kMin, 0.0f, 1.0f, kMax), 0.0f);
  EXPECT_EQ(Easing::easeInBounce(kMin, 2.0f, 3.0f, kMax), 2.0f);
}
