// The dynamics gauge: its setters and redraw requests, and its four marks probed on a rendered
// image of the 512 x 340 canvas.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "EditorTestSupport.h"
#include "KOVDynamicsDisplayView.h"
#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UITestSupport.h"

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

TEST(Gauge, AValueChangeMarksOnlyWhereTheMarksCanShow) {
  // The meter symbol (153, 136, 206, 106) of the 512 x 340 canvas, aspect-fitted, one unit more
  // on each side.
  {
    SCOPED_TRACE("twice the canvas");
    auto gauge = KOVDynamicsDisplayView::make({0, 0, 1024, 680});
    EXPECT_EQ(gauge->marksRect(), CGRect(305, 271, 414, 214));
  }
  {
    SCOPED_TRACE("a wider view centres the canvas");
    auto gauge = KOVDynamicsDisplayView::make({0, 0, 712, 340});
    EXPECT_EQ(gauge->marksRect(), CGRect(100 + 152, 135, 208, 108));
  }
  auto gauge = KOVDynamicsDisplayView::make({0, 0, 1024, 680});
  using Base = KOVDynamicsDisplayViewBase;
  const auto mark = [&](int m, CGFloat v) { return Base::markRect(gauge->bounds(), m, v); };
  const auto part = [&](auto call) {
    gauge->clearNeedsDisplay();
    call();
    return gauge->needsDisplayPart();
  };
  const auto within = [](const CGRect& inner, const CGRect& outer) { return inner.united(outer) == outer; };
  {
    SCOPED_TRACE("the needles from 1 to 0.3 and 0.4: where they were and where they go");
    const auto p = part([&] { gauge->setCompressionValues(0.3f, 0.4f); });
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(*p, mark(1, 1).united(mark(1, 0.3f)).united(mark(2, 1)).united(mark(2, 0.4f)));
    EXPECT_TRUE(within(*p, gauge->marksRect()));
    EXPECT_LT(p->size.width * p->size.height,
              0.5 * gauge->marksRect().size.width * gauge->marksRect().size.height);
  }
  {
    SCOPED_TRACE("a needle pointing up covers its line, round caps and a unit around them");
    // The needle from (256.5, 233.5) up 80 units, line width 4: grown by 2 (the caps) and 1 on
    // every side, x 253.5...259.5, y 150.5...236.5, doubled.
    EXPECT_EQ(mark(1, 0.5), CGRect(2 * 253.5, 2 * 150.5, 2 * 6, 2 * 86));
  }
  {
    SCOPED_TRACE("only the dot that moved");
    gauge->setOutputValues(0.2f, 0.7f);
    const auto p = part([&] { gauge->setOutputValues(0.2f, 0.75f); });
    EXPECT_EQ(p, mark(4, 0.7f).united(mark(4, 0.75f)));
  }
  {
    SCOPED_TRACE("NaN counts as moved and marks the whole gauge");
    gauge->clearNeedsDisplay();
    gauge->setOutputValues(std::numeric_limits<float>::quiet_NaN(), 0.75f);
    EXPECT_TRUE(gauge->needsDisplay());
    EXPECT_FALSE(gauge->needsDisplayPart().has_value());
  }
  EXPECT_EQ(part([&] { gauge->resetDisplay(); }), gauge->marksRect());
  gauge->clearNeedsDisplay();
  gauge->setContrast(0.3);
  EXPECT_TRUE(gauge->needsDisplay());
  EXPECT_FALSE(gauge->needsDisplayPart().has_value()) << "a new contrast redraws the whole gauge";
}

// The window's picture as bytes.
std::vector<unsigned char> bytesOf(const UIWindow& window) {
  cairo_surface_t* s = window.surface().surface();
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  return {data, data + std::size_t(cairo_image_surface_get_stride(s)) * cairo_image_surface_get_height(s)};
}

TEST(Gauge, PartRedrawsShowWhatAWholeRedrawShows) {
  ASSERT_TRUE(UIWindow::useBackend(UIWindowBackendKind::headless));
  const CGRect frame(13, 7, 1000, 660);  // not a whole multiple of the canvas: fractional edges
  auto window = UIWindow::make({0, 0, 1024, 680});
  auto gauge = KOVDynamicsDisplayView::make(frame);
  window->addSubview(gauge);
  UITestSupport::display(*window);
  const struct {
    float needle1, needle2, dot1, dot2;
  } steps[] = {{0.0f, 1.0f, 0.5f, 0.25f},
               {1.0f, 0.75f, 0.0f, 0.6f},
               {0.8f, 0.1f, 0.3f, 0.9f},
               {0.5f, 0.5f, 1.0f, 0.0f}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.needle1);
    gauge->setCompressionValues(step.needle1, step.needle2);
    gauge->setOutputValues(step.dot1, step.dot2);
    ASSERT_TRUE(gauge->needsDisplayPart().has_value());
    UITestSupport::display(*window);

    auto fresh = UIWindow::make({0, 0, 1024, 680});
    auto whole = KOVDynamicsDisplayView::make(frame);
    whole->setCompressionValues(step.needle1, step.needle2);
    whole->setOutputValues(step.dot1, step.dot2);
    fresh->addSubview(whole);
    UITestSupport::display(*fresh);
    EXPECT_TRUE(bytesOf(*window) == bytesOf(*fresh));
  }
  window.reset();
  MainLoop::runUntilIdle();
}

}  // namespace
