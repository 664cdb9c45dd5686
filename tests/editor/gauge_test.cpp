// The dynamics gauge: its setters and redraw requests, and its four marks probed on a rendered
// image of the 512 x 340 canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EditorTestSupport.h"
#include "KOVDynamicsDisplayView.h"

namespace {

constexpr CGFloat kPi = 3.14159265358979323846;
// Where the needles pivot on the main canvas: the meter symbol's (103.5, 97.5) from (153, 136).
constexpr CGPoint kPivot{256.5, 233.5};

// A point given relative to a pivot (y up is negative), turned `degrees` clockwise about it.
CGPoint turned(CGPoint pivot, CGPoint offset, CGFloat degrees) {
  const CGFloat a = degrees * kPi / 180;
  return {pivot.x + offset.x * std::cos(a) - offset.y * std::sin(a),
          pivot.y + offset.x * std::sin(a) + offset.y * std::cos(a)};
}

CGPoint along(CGPoint pivot, CGFloat degrees, CGFloat distance) {
  return turned(pivot, {0, -distance}, degrees);
}

TEST(Gauge, SettersRedrawOnlyWhenAValueChanged) {
  auto gauge = KOVDynamicsDisplayView::make({0, 0, 512, 340});
  KOVDynamicsDisplayViewBase& base = gauge->baseClass();
  const auto redraws = [&](auto call) {
    gauge->clearNeedsDisplay();
    call();
    return gauge->needsDisplay();
  };
  EXPECT_TRUE(redraws([&] { gauge->setCompressionValues(0.5f, 0.5f); }));
  EXPECT_EQ(base.value1, 0.5);
  EXPECT_FALSE(redraws([&] { gauge->setCompressionValues(0.5f, 0.5f); }));
  EXPECT_TRUE(redraws([&] { gauge->resetDisplay(); }));
  EXPECT_TRUE(redraws([&] { gauge->setCompressionValues(1.0f, 0.25f); }));  // only value2 changed
  EXPECT_EQ(base.value2, 0.25);
  EXPECT_TRUE(redraws([&] { gauge->setOutputValues(1.0f, 0.0f); }));
  EXPECT_FALSE(redraws([&] { gauge->setOutputValues(1.0f, 0.0f); }));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(redraws([&] { gauge->setOutputValues(nan, 0.0f); }));
  EXPECT_TRUE(redraws([&] { gauge->setOutputValues(nan, 0.0f); }));  // NaN never compares equal
  EXPECT_TRUE(std::isnan(base.value3));
  EXPECT_FALSE(redraws([&] { gauge->setThresholdValue(0.7f); }));
  EXPECT_NEAR(base.valueThreshold, 0.7, 1e-7);
  EXPECT_TRUE(redraws([&] { gauge->setFocus(true); }));

  EXPECT_TRUE(redraws([&] { gauge->setContrast(0.2); }));
  EXPECT_EQ(base.colorContrast, UIColor(0.8, 0.8, 0.8, 1));
  EXPECT_EQ(base.colorContrastInverted, UIColor(0.2, 0.2, 0.2, 1));
  EXPECT_EQ(base.colorMain, base.colorContrast);
  EXPECT_EQ(base.colorSelected1, UIColor(0.76, 0.29, 0.29, 1));
  EXPECT_EQ(base.colorSelected2, UIColor(0.195, 0.479, 0.75, 1));
}

TEST(Gauge, MarksTurnByTwoVMinusOneTimes90Degrees) {
  // Needle 1 (red) and needle 2 (blue) apart, each probed 60 out along its angle; the dots 87 out.
  const struct {
    CGFloat needle1, needle2, dot1, dot2;
  } rows[] = {{0.0, 1.0, 0.5, 0.25}, {0.5, 0.25, 1.0, 0.0}, {1.0, 0.75, 0.0, 0.6}, {0.8, 0.1, 0.3, 0.9}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.needle1);
    auto gauge = KOVDynamicsDisplayView::make({0, 0, 512, 340});
    KOVDynamicsDisplayViewBase& base = gauge->baseClass();
    base.value1 = row.needle1;
    base.value2 = row.needle2;
    base.value3 = row.dot1;
    base.value4 = row.dot2;
    CGBitmapContext image(512, 340);
    editor_test::renderView(image, *gauge);
    const auto angle = [](CGFloat v) { return (2 * v - 1) * 90; };
    const CGPixel n1 = image.pixelAt(along(kPivot, angle(row.needle1), 60));
    const CGPixel n2 = image.pixelAt(along(kPivot, angle(row.needle2), 60));
    // A dot is a 1-unit segment half a unit right of its pivot's up line, 87 out.
    const CGPixel d1 = image.pixelAt(turned({256, 233.01}, {0.5, -87.01}, angle(row.dot1)));
    const CGPixel d2 = image.pixelAt(turned({256, 233.02}, {0.5, -87.02}, angle(row.dot2)));
    // Colours at alpha 0.6.
    for (const CGPixel& p : {n1, n2, d1, d2})
      EXPECT_NEAR(p.alpha, 0.6 * 255, 1);
    EXPECT_GT(n1.red, n1.blue);
    EXPECT_GT(d1.red, d1.blue);
    EXPECT_GT(n2.blue, n2.red);
    EXPECT_GT(d2.blue, d2.red);
    // Nothing straight down from the pivot, below the base line.
    EXPECT_TRUE(editor_test::isTransparent(image.pixelAt(along(kPivot, 180, 20))));
  }
}

TEST(Gauge, NeedlesPivotAt256Point5By233Point5) {
  // The alpha-weighted centre of a needle's cross-section lies on the pivot's x (needle up) and
  // on its y (needle flat to the right).
  auto gauge = KOVDynamicsDisplayView::make({0, 0, 512, 340});
  KOVDynamicsDisplayViewBase& base = gauge->baseClass();
  const auto centroid = [&](bool vertical) {
    CGBitmapContext image(512, 340);
    editor_test::renderView(image, *gauge);
    double sum = 0, weighted = 0;
    for (int i = 220; i < 290; ++i) {
      const CGPixel p = vertical ? image.pixel(i, 200) : image.pixel(300, i);
      sum += p.alpha;
      weighted += p.alpha * (i + 0.5);
    }
    return weighted / sum;
  };
  // The rasteriser samples a pixel on a grid of a few rows, so edges land within about 1/30.
  base.value1 = base.value2 = 0.5;
  EXPECT_NEAR(centroid(true), kPivot.x, 0.05);
  base.value1 = base.value2 = 1.0;
  EXPECT_NEAR(centroid(false), kPivot.y, 0.05);
  EXPECT_EQ(base.viewScale, (CGSize{1, 1}));
}

TEST(Gauge, HiddenGaugeDrawsNothing) {
  auto gauge = KOVDynamicsDisplayView::make({0, 0, 512, 340});
  gauge->setHidden(true);
  CGBitmapContext image(512, 340);
  editor_test::renderView(image, *gauge);
  EXPECT_TRUE(editor_test::isTransparent(image.pixelAt(along(kPivot, 90, 60))));
  EXPECT_EQ(gauge->baseClass().viewScale, (CGSize{0, 0}));
}

}  // namespace
