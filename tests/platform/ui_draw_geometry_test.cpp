// Rectangle rules and affine transforms of the drawing layer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGGeometry.h"

namespace {

constexpr double kTol = 1e-12;

void expectRect(const CGRect& r, double x, double y, double w, double h) {
  EXPECT_NEAR(r.origin.x, x, kTol);
  EXPECT_NEAR(r.origin.y, y, kTol);
  EXPECT_NEAR(r.size.width, w, kTol);
  EXPECT_NEAR(r.size.height, h, kTol);
}

TEST(UIDrawGeometry, RectanglesContainHalfOpenAndIntersectOnlyWithArea) {
  const CGRect r(10, 20, 30, 40);
  {
    SCOPED_TRACE("half-open containment: left/top edges in, right/bottom edges out");
    EXPECT_TRUE(r.contains({10, 20}));
    EXPECT_TRUE(r.contains({39.999, 59.999}));
    EXPECT_FALSE(r.contains({40, 30}));
    EXPECT_FALSE(r.contains({20, 60}));
    EXPECT_FALSE(CGRect(5, 5, 0, 10).contains({5, 6}));
  }
  {
    SCOPED_TRACE("a negative size is read through the standardised rectangle");
    const CGRect negative(40, 60, -30, -40);
    expectRect(negative.standardized(), 10, 20, 30, 40);
    EXPECT_TRUE(CGRectEqualToRect(negative, r));
    EXPECT_TRUE(negative.contains({10, 20}));
    EXPECT_FALSE(negative.contains({40, 60}));
  }
  {
    SCOPED_TRACE("edge contact is no intersection; overlap is");
    EXPECT_FALSE(CGRectIntersectsRect(r, CGRect(40, 20, 5, 5)));
    EXPECT_FALSE(r.intersects(CGRect(10, 60, 5, 5)));
    EXPECT_TRUE(r.intersects(CGRect(39.5, 59.5, 5, 5)));
    expectRect(r.intersection(CGRect(30, 50, 100, 100)), 30, 50, 10, 10);
    EXPECT_EQ(r.intersection(CGRect(40, 20, 5, 5)), CGRect());
    EXPECT_FALSE(r.intersects(CGRect(20, 30, 0, 0)));
  }
}

TEST(UIDrawGeometry, TransformsComposeInTheOriginalOrder) {
  {
    SCOPED_TRACE("scaledBy scales first, then applies the receiver");
    const CGAffineTransform t = CGAffineTransform::makeTranslation(100, 50).scaledBy(2, 3);
    const CGPoint p = CGPoint{1, 1}.applying(t);
    EXPECT_NEAR(p.x, 102, kTol);
    EXPECT_NEAR(p.y, 53, kTol);
  }
  {
    SCOPED_TRACE("scale about a centre: translate -c, scale, translate +c");
    const CGRect frame(100, 40, 200, 100);
    const CGAffineTransform t = CGAffineTransform::makeTranslation(-200, -90)
                                    .concatenating(CGAffineTransform::makeScale(0.5, 0.5))
                                    .concatenating(CGAffineTransform::makeTranslation(200, 90));
    expectRect(frame.applying(t), 150, 65, 100, 50);
  }
  {
    SCOPED_TRACE("a positive rotation turns x towards y: clockwise on a y-down screen");
    const CGPoint p = CGPoint{1, 0}.applying(CGAffineTransform::makeRotation(std::numbers::pi / 2));
    EXPECT_NEAR(p.x, 0, kTol);
    EXPECT_NEAR(p.y, 1, kTol);
    const CGRect box = CGRect(0, 0, 2, 1).applying(CGAffineTransform::makeRotation(std::numbers::pi / 2));
    expectRect(box, -1, 0, 1, 2);
  }
  {
    SCOPED_TRACE("inverse undoes the transform");
    const CGAffineTransform t = CGAffineTransform::makeRotation(0.7).scaledBy(3, -0.25).translatedBy(-4, 9);
    const CGPoint q = CGPoint{12.5, -3}.applying(t).applying(t.inverted());
    EXPECT_NEAR(q.x, 12.5, 1e-9);
    EXPECT_NEAR(q.y, -3, 1e-9);
    EXPECT_TRUE(t.concatenating(t.inverted()).isInvertible());
  }
}

TEST(UIDrawGeometry, DegenerateTransformsAreRecognisedAndLeftAlone) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    CGAffineTransform t;
  } cases[] = {
      {"scale 0", CGAffineTransform::identity().scaledBy(0, 0)},
      {"scale 0 in one axis", CGAffineTransform::identity().scaledBy(1, 0)},
      {"NaN scale", CGAffineTransform::identity().scaledBy(nan, 1)},
      {"infinite translation", CGAffineTransform::makeTranslation(inf, 0)},
      {"determinant underflows", CGAffineTransform::makeScale(1e-200, 1e-200)},
      // 1e-320 is a denormal: not 0, but its reciprocal overflows.
      {"determinant denormal", CGAffineTransform::makeScale(1e-160, 1e-160)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.t.isInvertible());
  }
  const CGAffineTransform flat = CGAffineTransform::makeScale(2, 0);
  EXPECT_EQ(flat.inverted(), flat) << "a singular transform is returned unchanged";
  EXPECT_TRUE(CGAffineTransform::makeScale(1e-5, 1e-5).isInvertible());
}

}  // namespace
