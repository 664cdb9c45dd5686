// The Cairo drawing context, further probes: the far edges of transformed shapes, line width,
// caps, joins and dash, the context alpha, PNG output, and more spoiling transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <numbers>

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

// A horizontal line across the image at y, stroked with the context's settings.
void strokeAcross(CGContext& cg, CGFloat y, CGFloat width) {
  cg.beginPath();
  cg.move({0, y});
  cg.addLine({width, y});
  cg.strokePath();
}

TEST(UIDrawContextMore, TransformedShapesEndWhereTheMathsSays) {
  {
    SCOPED_TRACE("translate then scale: nothing left of device x 12");
    CGBitmapContext image(64, 64);
    CGContext& cg = image.context();
    cg.setFillColor(1, 0, 0, 1);
    cg.translateBy(10, 20);
    cg.scaleBy(2, 3);
    cg.fill(CGRect(1, 1, 4, 4));
    EXPECT_EQ(image.pixel(11, 30), kNone);
    EXPECT_EQ(image.pixel(12, 30), kRed);
  }
  {
    SCOPED_TRACE("a quarter turn: nothing along +x");
    CGBitmapContext image(64, 64);
    CGContext& cg = image.context();
    cg.setFillColor(1, 0, 0, 1);
    cg.translateBy(32, 32);
    cg.rotate(std::numbers::pi / 2);
    cg.fill(CGRect(4, -2, 20, 4));
    EXPECT_EQ(image.pixel(50, 32), kNone);
  }
  {
    SCOPED_TRACE("image scale 2: the last pixel of a 4-point square");
    CGBitmapContext image(32, 32, 2);
    image.context().setFillColor(1, 0, 0, 1);
    image.context().fill(CGRect(8, 8, 4, 4));
    EXPECT_EQ(image.pixel(23, 23), kRed);
    EXPECT_EQ(image.pixel(15, 15), kNone);
  }
}

TEST(UIDrawContextMore, LinesHonourWidthCapsJoinsAndDash) {
  {
    SCOPED_TRACE("dash 2 on, 3 off, phase 0, along a horizontal line");
    CGBitmapContext image(30, 5);
    CGContext& cg = image.context();
    cg.setStrokeColor(1, 0, 0, 1);
    cg.setLineWidth(2);
    cg.setLineDash(0, {2, 3});
    strokeAcross(cg, 2, 30);
    EXPECT_EQ(row(image, 1, 0, 30), "##...##...##...##...##...##...");
    SCOPED_TRACE("phase 1 shifts the pattern left by one unit");
    image.fill(CGColor{0, 0, 0, 0});
    cg.setLineDash(1, {2, 3});
    strokeAcross(cg, 2, 30);
    EXPECT_EQ(row(image, 1, 0, 30), "#...##...##...##...##...##...#");
    SCOPED_TRACE("an empty pattern is solid again");
    image.fill(CGColor{0, 0, 0, 0});
    cg.setLineDash(0, {});
    strokeAcross(cg, 2, 30);
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
    strokeAcross(cg, 2, 10);
    EXPECT_EQ(row(image, 1, 0, 10), "##########");
    EXPECT_TRUE(cg.isDrawable());
  }
  {
    SCOPED_TRACE("the line width: 2 covers rows 1 and 2 only, 6 rows 0 to 3 of a 4-row image");
    CGBitmapContext image(10, 8);
    CGContext& cg = image.context();
    cg.setStrokeColor(1, 0, 0, 1);
    cg.setLineWidth(2);
    strokeAcross(cg, 2, 10);
    EXPECT_EQ(row(image, 0, 0, 10), "..........");
    EXPECT_EQ(row(image, 3, 0, 10), "..........");
    cg.setLineWidth(6);
    strokeAcross(cg, 2, 10);
    EXPECT_EQ(row(image, 4, 0, 10), "##########");
    EXPECT_EQ(row(image, 5, 0, 10), "..........");
  }
  {
    SCOPED_TRACE("butt caps end at the end point, round and square caps pass it by half the width");
    for (auto [cap, inkAt11] : {std::pair{CGLineCap::butt, false}, std::pair{CGLineCap::round, true},
                                std::pair{CGLineCap::square, true}}) {
      CGBitmapContext image(20, 10);
      CGContext& cg = image.context();
      cg.setStrokeColor(1, 0, 0, 1);
      cg.setLineWidth(6);
      cg.setLineCap(cap);
      cg.beginPath();
      cg.move({2, 5});
      cg.addLine({10, 5});
      cg.strokePath();
      EXPECT_TRUE(isInk(image.pixel(9, 5)));
      EXPECT_EQ(isInk(image.pixel(11, 5)), inkAt11) << int(cap);
      // A square cap keeps the corner of the square; a round one does not reach it.
      if (cap != CGLineCap::butt) {
        EXPECT_EQ(isInk(image.pixel(12, 2)), cap == CGLineCap::square) << int(cap);
      }
    }
  }
  {
    SCOPED_TRACE("a sharp corner: a miter reaches out (limit 10), a bevel cuts it off");
    for (auto [join, tipInk] : {std::pair{CGLineJoin::miter, true}, std::pair{CGLineJoin::bevel, false}}) {
      CGBitmapContext image(40, 40);
      CGContext& cg = image.context();
      cg.setStrokeColor(1, 0, 0, 1);
      cg.setLineWidth(4);
      cg.setLineJoin(join);
      cg.beginPath();
      // A 43.6 degree corner: miter length 2.7 line widths (under the limit of 10), its tip 5.4
      // units above the corner; the bevel stays below y 9.3.
      cg.move({10, 35});
      cg.addLine({20, 10});
      cg.addLine({30, 35});
      cg.strokePath();
      EXPECT_EQ(isInk(image.pixel(20, 7)), tipInk) << int(join);
    }
  }
}

TEST(UIDrawContextMore, TheContextAlphaMultipliesTheColours) {
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

TEST(UIDrawContextMore, ImagesWriteAsPNG) {
  CGBitmapContext image(4, 3, 2);
  image.fill(CGColor{0, 0.5, 1, 0.5});
  const CGPixel p = image.pixel(7, 5);
  EXPECT_NEAR(p.green, 128, 1);
  EXPECT_EQ(p.blue, 255);
  EXPECT_NEAR(p.alpha, 128, 1);
  const std::string path = testing::TempDir() + "ui_draw_context_more_test.png";
  ASSERT_TRUE(image.writePNG(path));
  std::ifstream file(path, std::ios::binary);
  char magic[8] = {};
  file.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
  std::remove(path.c_str());
  EXPECT_FALSE(image.writePNG("/nonexistent-folder/x.png"));
}

TEST(UIDrawContextMore, MoreSpoilingTransformsAndAZeroSizedImage) {
  for (const auto& [name, spoil] :
       {std::pair<const char*, void (*)(CGContext&)>{
            "scale 0/0", [](CGContext& cg) { cg.scaleBy(std::nan(""), std::nan("")); }},
        {"a vanishing scale", [](CGContext& cg) { cg.scaleBy(1e-60, 1e-60); }}}) {
    SCOPED_TRACE(name);
    CGBitmapContext image(10, 10);
    CGContext& cg = image.context();
    cg.setFillColor(1, 0, 0, 1);
    cg.saveGState();
    spoil(cg);
    EXPECT_FALSE(cg.isDrawable());
    cg.fill(CGRect(0, 0, 10, 10));
    EXPECT_EQ(image.pixel(5, 5), kNone);
    cg.restoreGState();
    cg.fill(CGRect(0, 0, 10, 10));
    EXPECT_EQ(image.pixel(5, 5), kRed);
  }
  {
    SCOPED_TRACE("an image of width 0 is empty and harmless");
    CGBitmapContext image(0.0, 10);
    EXPECT_EQ(image.pixelWidth(), 0);
    image.context().fill(CGRect(0, 0, 5, 5));
    EXPECT_EQ(image.pixel(0, 0), kNone);
    EXPECT_FALSE(image.writePNG("/tmp/never-written.png"));
  }
}

}  // namespace
