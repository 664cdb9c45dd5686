// The Cairo drawing context, probed by pixels: transforms, clips, colours, line width, caps,
// joins and dash, the context alpha, PNG output, degenerate geometry, dashed strokes on a context
// set to fast antialiasing.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "CoreGraphics/CGBitmapContext.h"

namespace {

const CGPixel kRed{255, 0, 0, 255};
const CGPixel kNone{0, 0, 0, 0};

bool isInk(const CGPixel& p) {
  return p.alpha > 127;
}

// Columns of row y (pixels) with ink, as a string of '#' and '.', for readable failures.
std::string row(const CGBitmapContext& image, int y, int x0, int x1) {
  std::string s;
  for (int x = x0; x < x1; ++x)
    s += isInk(image.pixel(x, y)) ? '#' : '.';
  return s;
}

// A path through `points`, then stroked (or filled).
void drawPath(CGContext& cg, std::initializer_list<CGPoint> points, bool fill = false) {
  cg.beginPath();
  cg.move(*points.begin());
  for (auto p = points.begin() + 1; p != points.end(); ++p)
    cg.addLine(*p);
  fill ? cg.fillPath() : cg.strokePath();
}

TEST(UIDrawContext, TransformsPlaceShapesWhereTheMathsSays) {
  {
    SCOPED_TRACE("translate then non-uniform scale: the unit square lands at (10+2*1, 20+3*1)");
    CGBitmapContext image(64, 64);
    CGContext& cg = image.context();
    cg.setFillColor(1, 0, 0, 1);
    cg.translateBy(10, 20);
    cg.scaleBy(2, 3);
    cg.fill(CGRect(1, 1, 4, 4));  // device (12, 23) ... (20, 35)
    EXPECT_EQ(image.pixel(12, 23), kRed);
    EXPECT_EQ(image.pixel(19, 34), kRed);
    EXPECT_EQ(image.pixel(20, 30), kNone);
    EXPECT_EQ(image.pixel(15, 35), kNone);
    EXPECT_EQ(image.pixel(11, 30), kNone) << "nothing left of device x 12";
    EXPECT_EQ(image.pixel(12, 30), kRed);
  }
  {
    SCOPED_TRACE("a positive rotation turns clockwise on screen");
    CGBitmapContext image(64, 64);
    CGContext& cg = image.context();
    cg.setFillColor(1, 0, 0, 1);
    cg.translateBy(32, 32);
    cg.rotate(std::numbers::pi / 2);
    cg.fill(CGRect(4, -2, 20, 4));  // along +x before rotation, so along +y (down) after
    EXPECT_EQ(image.pixel(32, 50), kRed);
    EXPECT_EQ(image.pixel(32, 14), kNone);
    EXPECT_EQ(image.pixel(50, 32), kNone) << "nothing along +x";
  }
  {
    SCOPED_TRACE("image scale 2: user space in points, probes in pixels");
    CGBitmapContext image(32, 32, 2);
    EXPECT_EQ(image.pixelWidth(), 64);
    image.context().setFillColor(1, 0, 0, 1);
    image.context().fill(CGRect(8, 8, 4, 4));
    EXPECT_EQ(image.pixel(16, 16), kRed);
    EXPECT_EQ(image.pixel(23, 23), kRed) << "the last pixel of the 4-point square";
    EXPECT_EQ(image.pixel(24, 24), kNone);
    EXPECT_EQ(image.pixel(15, 15), kNone);
    EXPECT_EQ(image.pixelAt({11.9, 11.9}), kRed);
  }
}

TEST(UIDrawContext, ClipsIntersectAndRestoreWithTheState) {
  CGBitmapContext image(40, 10);
  CGContext& cg = image.context();
  cg.setFillColor(1, 0, 0, 1);
  cg.saveGState();
  cg.clip(CGRect(5, 0, 20, 10));
  cg.clip(CGRect(15, 0, 20, 10));  // nested clips intersect: 15 ... 25
  cg.fill(CGRect(0, 0, 40, 5));
  cg.restoreGState();
  cg.fill(CGRect(0, 5, 40, 5));  // after the restore the whole width takes paint
  EXPECT_EQ(row(image, 2, 0, 40), std::string(15, '.') + std::string(10, '#') + std::string(15, '.'));
  EXPECT_EQ(row(image, 7, 0, 40), std::string(40, '#'));
  {
    SCOPED_TRACE("clipping to a rectangle keeps a path under construction");
    CGBitmapContext other(10, 10);
    CGContext& c2 = other.context();
    c2.setFillColor(1, 0, 0, 1);
    c2.beginPath();
    c2.move({0, 0});
    c2.addLine({10, 0});
    c2.clip(CGRect(0, 0, 5, 10));
    c2.addLine({10, 10});
    c2.addLine({0, 10});
    c2.fillPath();
    EXPECT_EQ(row(other, 5, 0, 10), "#####.....");
  }
}

TEST(UIDrawContext, ColoursAreClampedAndStatesNest) {
  CGBitmapContext image(10, 10);
  CGContext& cg = image.context();
  {
    SCOPED_TRACE("components outside 0...1 are clamped, NaN counts as 0");
    cg.setFillColor(1.7, -0.4, std::numeric_limits<double>::quiet_NaN(), 3);
    cg.fill(CGRect(0, 0, 5, 5));
    EXPECT_EQ(image.pixel(2, 2), kRed);
  }
  {
    SCOPED_TRACE("fill and stroke colours are saved and restored separately");
    cg.setFillColor(0, 1, 0, 1);
    cg.setStrokeColor(0, 0, 1, 1);
    cg.saveGState();
    cg.setFillColor(1, 1, 1, 1);
    EXPECT_EQ(cg.strokeColor(), (CGColor{0, 0, 1, 1}));
    cg.restoreGState();
    EXPECT_EQ(cg.fillColor(), (CGColor{0, 1, 0, 1}));
    cg.restoreGState();  // unbalanced: ignored
    EXPECT_EQ(cg.gStateDepth(), 0);
    EXPECT_TRUE(cg.isDrawable());
  }
}

TEST(UIDrawContext, LinesHonourWidthCapsJoinsAndDash) {
  {
    SCOPED_TRACE("dash 2 on, 3 off, phase 0, along a horizontal line");
    CGBitmapContext image(30, 5);
    CGContext& cg = image.context();
    cg.setStrokeColor(1, 0, 0, 1);
    cg.setLineWidth(2);
    cg.setLineDash(0, {2, 3});
    drawPath(cg, {{0, 2}, {30, 2}});
    EXPECT_EQ(row(image, 1, 0, 30), "##...##...##...##...##...##...");
    SCOPED_TRACE("phase 1 shifts the pattern left by one unit");
    image.fill(CGColor{0, 0, 0, 0});
    cg.setLineDash(1, {2, 3});
    drawPath(cg, {{0, 2}, {30, 2}});
    EXPECT_EQ(row(image, 1, 0, 30), "#...##...##...##...##...##...#");
    SCOPED_TRACE("an empty pattern is solid again");
    image.fill(CGColor{0, 0, 0, 0});
    cg.setLineDash(0, {});
    drawPath(cg, {{0, 2}, {30, 2}});
    EXPECT_EQ(row(image, 1, 0, 30), std::string(30, '#'));
  }
  {
    SCOPED_TRACE("invalid dash patterns mean solid lines and do not disable the context");
    CGBitmapContext image(10, 4);
    CGContext& cg = image.context();
    cg.setStrokeColor(1, 0, 0, 1);
    cg.setLineWidth(2);
    cg.setLineDash(0, {-1, 2});
    cg.setLineDash(0, {0, 0});
    drawPath(cg, {{0, 2}, {10, 2}});
    EXPECT_EQ(row(image, 1, 0, 10), "##########");
    EXPECT_TRUE(cg.isDrawable());
  }
  {
    SCOPED_TRACE("the line width: 2 covers rows 1 and 2 only, 6 rows 0 to 3 of a 4-row image");
    CGBitmapContext image(10, 8);
    CGContext& cg = image.context();
    cg.setStrokeColor(1, 0, 0, 1);
    cg.setLineWidth(2);
    drawPath(cg, {{0, 2}, {10, 2}});
    EXPECT_EQ(row(image, 0, 0, 10), "..........");
    EXPECT_EQ(row(image, 3, 0, 10), "..........");
    cg.setLineWidth(6);
    drawPath(cg, {{0, 2}, {10, 2}});
    EXPECT_EQ(row(image, 4, 0, 10), "##########");
    EXPECT_EQ(row(image, 5, 0, 10), "..........");
  }
  // A stroke of `width` along `points` in a fresh image, with the cap and join given.
  auto stroked = [](CGFloat width, CGSize size, CGLineCap cap, CGLineJoin join,
                    std::initializer_list<CGPoint> points) {
    auto image = std::make_unique<CGBitmapContext>(size.width, size.height);
    CGContext& cg = image->context();
    cg.setStrokeColor(1, 0, 0, 1);
    cg.setLineWidth(width);
    cg.setLineCap(cap);
    cg.setLineJoin(join);
    drawPath(cg, points);
    return image;
  };
  {
    SCOPED_TRACE("butt caps end at the end point, round and square caps pass it by half the width");
    for (auto [cap, inkAt11] : {std::pair{CGLineCap::butt, false}, std::pair{CGLineCap::round, true},
                                std::pair{CGLineCap::square, true}}) {
      const auto image = stroked(6, {20, 10}, cap, CGLineJoin::miter, {{2, 5}, {10, 5}});
      EXPECT_TRUE(isInk(image->pixel(9, 5)));
      EXPECT_EQ(isInk(image->pixel(11, 5)), inkAt11) << int(cap);
      // A square cap keeps the corner of the square; a round one does not reach it.
      if (cap != CGLineCap::butt) {
        EXPECT_EQ(isInk(image->pixel(12, 2)), cap == CGLineCap::square) << int(cap);
      }
    }
  }
  {
    SCOPED_TRACE("a sharp corner: a miter reaches out (limit 10), a bevel cuts it off");
    for (auto [join, tipInk] : {std::pair{CGLineJoin::miter, true}, std::pair{CGLineJoin::bevel, false}}) {
      // A 43.6 degree corner: miter length 2.7 line widths (under the limit of 10), its tip 5.4
      // units above the corner; the bevel stays below y 9.3.
      const auto image = stroked(4, {40, 40}, CGLineCap::butt, join, {{10, 35}, {20, 10}, {30, 35}});
      EXPECT_EQ(isInk(image->pixel(20, 7)), tipInk) << int(join);
    }
  }
}

TEST(UIDrawContext, TheContextAlphaMultipliesTheColours) {
  CGBitmapContext image(10, 10);
  CGContext& cg = image.context();
  cg.setAlpha(0.5);
  cg.setFillColor(0, 0, 1, 1);
  cg.fill(CGRect(5, 5, 5, 5));
  EXPECT_NEAR(image.pixel(7, 7).alpha, 128, 1);
  EXPECT_EQ(image.pixel(2, 2), kNone);
  cg.setFillColor(0, 0, 1, 0.5);
  cg.fill(CGRect(0, 0, 5, 5));
  EXPECT_NEAR(image.pixel(2, 2).alpha, 64, 1);
}

TEST(UIDrawContext, ImagesWriteAsPNG) {
  CGBitmapContext image(4, 3, 2);
  image.fill(CGColor{0, 0.5, 1, 0.5});
  const CGPixel p = image.pixel(7, 5);
  EXPECT_NEAR(p.green, 128, 1);
  EXPECT_EQ(p.blue, 255);
  EXPECT_NEAR(p.alpha, 128, 1);
  const std::string path = testing::TempDir() + "ui_draw_context_test.png";
  ASSERT_TRUE(image.writePNG(path));
  std::ifstream file(path, std::ios::binary);
  char magic[8] = {};
  file.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
  std::remove(path.c_str());
  EXPECT_FALSE(image.writePNG("/nonexistent-folder/x.png"));
}

TEST(UIDrawContext, WrappingLeavesTheCallersCairoStateAsItWas) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  cairo_t* cr = cairo_create(surface);
  cairo_set_line_width(cr, 7);
  cairo_translate(cr, 3, 4);
  {
    CGContext cg(cr);
    EXPECT_EQ(cairo_get_line_width(cr), 1) << "a new context strokes 1 point wide";
    EXPECT_EQ(cairo_get_miter_limit(cr), 10);
    EXPECT_EQ(cg.ctm(), CGAffineTransform::makeTranslation(3, 4));
    cg.saveGState();
    cg.saveGState();  // left unbalanced on purpose
    cg.scaleBy(5, 5);
    cg.setLineDash(0, {1, 1});
    cg.beginPath();
    cg.move({1, 1});
  }
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  EXPECT_EQ(cairo_get_line_width(cr), 7);
  EXPECT_EQ(m.x0, 3);
  EXPECT_EQ(m.xx, 1);
  EXPECT_EQ(cairo_get_dash_count(cr), 0);
  EXPECT_FALSE(cairo_has_current_point(cr));
  EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  {
    SCOPED_TRACE("a null Cairo context gives a context that draws nothing");
    CGContext none(nullptr);
    none.fill(CGRect(0, 0, 1, 1));
    none.saveGState();
    none.restoreGState();
    EXPECT_FALSE(none.isDrawable());
  }
}

TEST(UIDrawContext, DegenerateGeometryDrawsNothingUntilRestored) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* name;
    void (*spoil)(CGContext&);
  } cases[] = {
      {"scale 0", [](CGContext& cg) { cg.scaleBy(0, 0); }},
      {"one axis 0", [](CGContext& cg) { cg.scaleBy(1, 0); }},
      {"infinite translation",
       [](CGContext& cg) { cg.translateBy(std::numeric_limits<double>::infinity(), 0); }},
      {"NaN rotation", [](CGContext& cg) { cg.rotate(std::nan("")); }},
      {"product underflows",
       [](CGContext& cg) {
         cg.scaleBy(1e-160, 1e-160);
         cg.scaleBy(1e-160, 1e-160);
       }},
      {"non-finite clip", [](CGContext& cg) { cg.clip(CGRect(0, 0, std::nan(""), 5)); }},
      {"scale 0/0", [](CGContext& cg) { cg.scaleBy(std::nan(""), std::nan("")); }},
      {"a vanishing scale", [](CGContext& cg) { cg.scaleBy(1e-60, 1e-60); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CGBitmapContext image(10, 10);
    CGContext& cg = image.context();
    cg.setFillColor(1, 0, 0, 1);
    cg.saveGState();
    c.spoil(cg);
    EXPECT_FALSE(cg.isDrawable());
    cg.fill(CGRect(0, 0, 10, 10));
    cg.translateBy(1, 1);  // further calls stay harmless
    EXPECT_EQ(image.pixel(5, 5), kNone);
    cg.restoreGState();
    EXPECT_TRUE(cg.isDrawable());
    cg.fill(CGRect(0, 0, 10, 10));
    EXPECT_EQ(image.pixel(5, 5), kRed) << "the Cairo context was never put into an error state";
  }
  CGBitmapContext sane(10, 10);
  sane.context().scaleBy(1e-20, 1e-20);
  EXPECT_TRUE(sane.context().isDrawable()) << "a small but sane scale is accepted";
  {
    SCOPED_TRACE("non-finite and out-of-range path points spoil only that path");
    CGBitmapContext image(10, 10);
    CGContext& cg = image.context();
    cg.setFillColor(1, 0, 0, 1);
    drawPath(cg, {{0, 0}, {nan, 10}, {0, 10}}, true);
    drawPath(cg, {{0, 0}, {1e12, 0}, {0, 10}}, true);
    EXPECT_EQ(image.pixel(1, 5), kNone);
    cg.fill(CGRect(0, 0, 10, 10));
    EXPECT_EQ(image.pixel(1, 5), kRed);
  }
  {
    SCOPED_TRACE("images of unusable sizes are empty and harmless");
    for (CGFloat size : {0.0, -5.0, nan, inf}) {
      CGBitmapContext image(size, 10);
      EXPECT_EQ(image.pixelWidth(), 0);
      image.context().fill(CGRect(0, 0, 5, 5));
      EXPECT_EQ(image.pixel(0, 0), kNone);
      EXPECT_FALSE(image.writePNG("/tmp/never-written.png"));
    }
    CGBitmapContext zeroScale(10, 10, 0);
    EXPECT_EQ(zeroScale.pixelWidth(), 0);
  }
}

}  // namespace

// A view's Cairo context as the compositor makes it: an ARGB32 image surface, fast antialiasing.
struct FastSurface {
  FastSurface()
      : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 300)), cr(cairo_create(surface)) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
  }
  ~FastSurface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  // The surface's pixel bytes, row after row.
  std::vector<unsigned char> bytes() {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    return {data, data + std::size_t(cairo_image_surface_get_stride(surface)) * 300};
  }
  cairo_surface_t* surface;
  cairo_t* cr;
};

// The meter symbol's dome, in the drawing's own units: the base from right to left, then three
// cubic curves (control points, then end point) over the top back to the start.
constexpr CGPoint kDomeStart{198.5, 103}, kDomeBaseEnd{9, 103};
constexpr CGPoint kDomeCurves[3][3] = {{{9, 59.31}, {35.55, 22.16}, {72.55, 8.55}},
                                       {{82.32, 4.95}, {92.82, 3}, {103.75, 3}},
                                       {{156.08, 3}, {198.5, 47.77}, {198.5, 103}}};
constexpr CGFloat kDomeX = 296.128, kDomeY = 136.14, kDomeScale = 0.588435;

// The dome, 2 units wide with round caps, through the drawing context.
void strokeDome(CGContext& cg, bool dashed) {
  cg.translateBy(kDomeX, kDomeY);
  cg.scaleBy(kDomeScale, kDomeScale);
  if (dashed)
    cg.setLineDash(0, {2, 3});
  cg.setLineWidth(2);
  cg.setLineCap(CGLineCap::round);
  cg.setStrokeColor(0, 0, 0, 1);
  cg.beginPath();
  cg.move(kDomeStart);
  cg.addLine(kDomeBaseEnd);
  for (const auto& [c1, c2, end] : kDomeCurves)
    cg.addCurve(end, c1, c2);
  cg.closePath();
  cg.strokePath();
}

// The same stroke straight through Cairo with the given antialiasing.
std::vector<unsigned char> domeByCairo(cairo_antialias_t antialias, bool dashed) {
  FastSurface image;
  cairo_t* cr = image.cr;
  cairo_set_antialias(cr, antialias);
  cairo_translate(cr, kDomeX, kDomeY);
  cairo_scale(cr, kDomeScale, kDomeScale);
  const double dash[] = {2, 3};
  if (dashed)
    cairo_set_dash(cr, dash, 2, 0);
  cairo_set_line_width(cr, 2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, kDomeStart.x, kDomeStart.y);
  cairo_line_to(cr, kDomeBaseEnd.x, kDomeBaseEnd.y);
  for (const auto& [c1, c2, end] : kDomeCurves)
    cairo_curve_to(cr, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
  cairo_close_path(cr);
  cairo_stroke(cr);
  return image.bytes();
}

// Cairo's fast rasteriser writes past its own heap buffer for this dashed stroke (an overflow
// that only a checker of uninstrumented libraries such as valgrind sees directly); what shows
// from here is which rasteriser drew it: a dashed stroke must come out exactly as with Cairo's
// default antialiasing, while solid strokes keep the faster one the caller set.
TEST(UIDrawContext, DashedStrokesOnAFastContextUseTheDefaultAntialiasing) {
  {
    SCOPED_TRACE("the meter's dashed dome");
    FastSurface image;
    {
      CGContext cg(image.cr);
      strokeDome(cg, true);
      EXPECT_EQ(cairo_get_antialias(image.cr), CAIRO_ANTIALIAS_FAST) << "the caller's setting is put back";
      EXPECT_EQ(cairo_status(image.cr), CAIRO_STATUS_SUCCESS);
    }
    const std::vector<unsigned char> drawn = image.bytes();
    const std::vector<unsigned char> expected = domeByCairo(CAIRO_ANTIALIAS_DEFAULT, true);
    EXPECT_GT(std::count_if(expected.begin(), expected.end(), [](unsigned char b) { return b != 0; }), 300);
    EXPECT_TRUE(drawn == expected) << "the dashed stroke is not the one of the default antialiasing";
  }
  {
    SCOPED_TRACE("the same dome solid keeps the fast antialiasing");
    FastSurface image;
    {
      CGContext cg(image.cr);
      strokeDome(cg, false);
    }
    const std::vector<unsigned char> drawn = image.bytes();
    EXPECT_TRUE(drawn == domeByCairo(CAIRO_ANTIALIAS_FAST, false));
    EXPECT_FALSE(drawn == domeByCairo(CAIRO_ANTIALIAS_DEFAULT, false)) << "the two rasterisers differ here";
  }
}
