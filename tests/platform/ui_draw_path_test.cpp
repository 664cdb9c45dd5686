// Bezier paths: shapes and their coverage, hit tests on edges, stroke settings, the context's
// dash, and drawing helpers called outside a drawing pass.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "CoreGraphics/CGBitmapContext.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIGraphics.h"

namespace {

// Sum of pixel coverage (alpha / 255) in pixels, i.e. the painted area at scale 1.
double coveredArea(const CGBitmapContext& image) {
  double area = 0;
  for (int y = 0; y < image.pixelHeight(); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x)
      area += image.pixel(x, y).alpha / 255.0;
  return area;
}

TEST(UIDrawPath, ShapesCoverTheirAnalyticArea) {
  struct Case {
    const char* name;
    UIBezierPath path;
    double area;
    double tolerance;
  } cases[] = {
      {"rectangle", UIBezierPath(CGRect(10, 10, 50, 30)), 1500, 0.5},
      {"oval 80 x 40", UIBezierPath::ovalIn(CGRect(10, 10, 80, 40)), std::numbers::pi * 40 * 20, 4},
      // A rounded rectangle loses (4 - pi) r^2 to its four corners.
      {"rounded rect r 10", UIBezierPath::roundedRect(CGRect(5, 5, 90, 50), 10),
       90 * 50 - (4 - std::numbers::pi) * 100, 3},
      {"radius clamped to half the short side", UIBezierPath::roundedRect(CGRect(10, 10, 80, 20), 50),
       60 * 20 + std::numbers::pi * 100, 3},
      {"negative size is standardised", UIBezierPath::roundedRect(CGRect(60, 40, -50, -30), 4),
       1500 - (4 - std::numbers::pi) * 16, 2},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    CGBitmapContext image(100, 60);
    UIGraphicsContextScope scope(&image.context());
    UIColor::red().setFill();
    c.path.fill();
    EXPECT_NEAR(coveredArea(image), c.area, c.tolerance);
  }
  {
    SCOPED_TRACE("a rounded rect leaves its corner pixels empty, an oval stretches with the context");
    CGBitmapContext image(100, 60);
    UIGraphicsContextScope scope(&image.context());
    UIBezierPath::roundedRect(CGRect(0, 0, 40, 40), 10).fill();
    EXPECT_EQ(image.pixel(0, 0).alpha, 0);
    EXPECT_EQ(image.pixel(1, 38).alpha, 0);
    EXPECT_EQ(image.pixel(10, 0).alpha, 255);
    image.context().translateBy(50, 0);
    image.context().scaleBy(2, 1);  // a circle of diameter 20 becomes a 40 x 20 ellipse
    UIBezierPath::ovalIn(CGRect(0, 0, 20, 20)).fill();
    EXPECT_EQ(image.pixel(52, 10).alpha, 255);
    EXPECT_EQ(image.pixel(70, 1).alpha, 255);
    EXPECT_EQ(image.pixel(52, 2).alpha, 0);
  }
}

TEST(UIDrawPath, ContainsIsClosedOnEdgesSoSharedEdgesHitBoth) {
  const UIBezierPath left(CGRect(39, 44, 90, 98));
  const UIBezierPath right(CGRect(129, 44, 90, 98));
  {
    SCOPED_TRACE("all four edges and corners are inside");
    EXPECT_TRUE(left.contains({39, 44}));
    EXPECT_TRUE(left.contains({129, 142}));
    EXPECT_TRUE(left.contains({84, 142}));
    EXPECT_FALSE(left.contains({129.01, 93}));
    EXPECT_FALSE(left.contains({84, 43.99}));
  }
  {
    SCOPED_TRACE("a point on the shared edge lies in both");
    EXPECT_TRUE(left.contains({129, 93}));
    EXPECT_TRUE(right.contains({129, 93}));
  }
  {
    SCOPED_TRACE("empty, non-finite and curved paths");
    EXPECT_FALSE(UIBezierPath().contains({0, 0}));
    EXPECT_FALSE(left.contains({std::nan(""), 93}));
    const UIBezierPath oval = UIBezierPath::ovalIn(CGRect(0, 0, 20, 10));
    EXPECT_TRUE(oval.contains({10, 5}));
    EXPECT_TRUE(oval.contains({0, 5}));
    EXPECT_FALSE(oval.contains({1, 1}));
  }
  {
    SCOPED_TRACE("a curve without a current point only starts the subpath at its end");
    UIBezierPath triangle;
    triangle.addCurve({0, 0}, {50, 50}, {60, 60});
    triangle.addLine({10, 0});
    triangle.addLine({10, 10});
    triangle.close();
    EXPECT_EQ(triangle.bounds(), CGRect(0, 0, 10, 10));
    EXPECT_TRUE(triangle.contains({9, 5}));
    EXPECT_FALSE(triangle.contains({1, 5}));
  }
}

TEST(UIDrawPath, StrokeUsesItsOwnSettingsAndTheContextsDash) {
  CGBitmapContext image(40, 20);
  CGContext& cg = image.context();
  UIGraphicsContextScope scope(&cg);
  UIColor(0, 0, 1, 1).setStroke();
  UIColor(1, 0, 0, 1).setFill();
  UIBezierPath line;
  line.move({0, 5});
  line.addLine({40, 5});
  line.lineWidth = 4;
  {
    SCOPED_TRACE("dash set on the context, undone by its restore");
    cg.saveGState();
    cg.setLineDash(0, {2, 3});
    line.stroke();
    cg.restoreGState();
    std::string ink;
    for (int x = 0; x < 10; ++x)
      ink += image.pixel(x, 5).alpha > 127 ? '#' : '.';
    EXPECT_EQ(ink, "##...##...");
    EXPECT_EQ(image.pixel(1, 5), (CGPixel{0, 0, 255, 255})) << "stroke colour, not fill colour";
  }
  {
    SCOPED_TRACE("the path's width applies to its own stroke only; solid after the restore");
    UIBezierPath lower;
    lower.move({0, 15});
    lower.addLine({40, 15});
    lower.stroke();  // default width 1: covers y 14.5 ... 15.5
    EXPECT_GT(image.pixel(3, 14).alpha, 0);
    EXPECT_EQ(image.pixel(3, 13).alpha, 0);
    EXPECT_EQ(image.pixel(3, 16).alpha, 0);
  }
  {
    SCOPED_TRACE("a round cap passes the end point by half the width");
    UIBezierPath stub;
    stub.move({12, 10});
    stub.addLine({18, 10});
    stub.lineWidth = 4;
    stub.lineCapStyle = CGLineCap::round;
    stub.stroke();
    EXPECT_GT(image.pixel(19, 10).alpha, 0);
  }
  {
    SCOPED_TRACE("a closed shape of lines and a curve, filled non-zero");
    UIBezierPath tri;
    tri.move({30, 10});
    tri.addLine({39, 19});
    tri.addCurve({30, 19}, {36, 20}, {33, 20});
    tri.close();
    tri.fill();
    EXPECT_EQ(image.pixel(33, 17), (CGPixel{255, 0, 0, 255}));
  }
}

TEST(UIDrawPath, RecordedCallsReadAsTheDrawingCodeWroteThem) {
  std::vector<std::string> lines;
  CGBitmapContext image(20, 20);
  CGContext& cg = image.context();
  cg.record(&lines);
  UIGraphicsContextScope scope(&cg);
  cg.saveGState();
  cg.translateBy(10, 10);
  cg.rotate(0.5);
  cg.setLineDash(0, {2, 3});
  UIColor(0.753, 0.753, 0.753, 1).setStroke();
  UIBezierPath needle;
  needle.move({0, -18});
  needle.addLine({0, 0});
  needle.lineWidth = 4;
  needle.lineCapStyle = CGLineCap::round;
  needle.stroke();
  cg.restoreGState();
  NSParagraphStyle centred;
  centred.alignment = NSTextAlignment::center;
  NSString("50").draw(CGRect(9, 76, 73, 9.5), {UIFont::systemFont(10), UIColor(1, 0, 0, 0.5), centred});
  cg.record(nullptr);
  cg.fill(CGRect(0, 0, 1, 1));  // no longer recorded
  const std::vector<std::string> expected = {
      "saveGState",
      "translateBy(10, 10)",
      "rotate(by: 0.5)",
      "setLineDash(phase: 0, lengths: [2, 3])",
      "setStrokeColor(0.753, 0.753, 0.753, 1)",
      "saveGState",
      "setLineWidth(4)",
      "setLineCap(round)",
      "setLineJoin(miter)",
      "setMiterLimit(10)",
      "beginPath",
      "move(to: (0, -18))",
      "addLine(to: (0, 0))",
      "strokePath",
      "restoreGState",
      "restoreGState",
      "draw(\"50\", in: (9, 76, 73, 9.5), font: " + UIFont::systemFont(10).fontName() +
          " 10, color: (1, 0, 0, 0.5), alignment: center)",
  };
  EXPECT_EQ(lines, expected);
}

TEST(UIDrawPath, DrawingHelpersWithoutAContextDoNothing) {
  ASSERT_EQ(UIGraphicsGetCurrentContext(), nullptr);
  UIColor::red().setFill();
  UIColor::red().setStroke();
  UIBezierPath(CGRect(0, 0, 10, 10)).fill();
  UIBezierPath::ovalIn(CGRect(0, 0, 10, 10)).stroke();
  UIBezierPath(CGRect(0, 0, 10, 10)).addClip();
  NSString("text").draw(CGRect(0, 0, 50, 20), NSStringAttributes{});
  NSString("text").draw(CGPoint{0, 0}, NSStringAttributes{});
  UIGraphicsPopContext();  // popping an empty stack is harmless
  EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
  {
    SCOPED_TRACE("the stack nests and unwinds");
    CGBitmapContext a(1, 1), b(1, 1);
    UIGraphicsPushContext(&a.context());
    {
      UIGraphicsContextScope scope(&b.context());
      EXPECT_EQ(UIGraphicsGetCurrentContext(), &b.context());
    }
    EXPECT_EQ(UIGraphicsGetCurrentContext(), &a.context());
    UIGraphicsPopContext();
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
  }
}

}  // namespace
