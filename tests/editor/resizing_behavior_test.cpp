#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ResizingBehavior.h"

namespace {

struct Canvas {
  CGSize viewScale;
};

constexpr CGRect kDesign(0, 0, 512, 340);

std::string text(const CGRect& r) {
  return "(" + std::to_string(r.origin.x) + ", " + std::to_string(r.origin.y) + ", " +
         std::to_string(r.size.width) + ", " + std::to_string(r.size.height) + ")";
}

TEST(ResizingBehavior, PlacesTheDesignCanvasAndRecordsItsScale) {
  struct Row {
    const char* what;
    ResizingBehavior0 behaviour;
    CGRect target;
    CGRect result;
    CGSize scale;
  };
  const Row rows[] = {
      {"fit, wide target", ResizingBehavior0::aspectFit, {10, 20, 1024, 340}, {266, 20, 512, 340}, {1, 1}},
      {"fit, half size", ResizingBehavior0::aspectFit, {0, 0, 256, 170}, {0, 0, 256, 170}, {0.5, 0.5}},
      {"fill, wide target", ResizingBehavior0::aspectFill, {0, 0, 1024, 340}, {0, -170, 1024, 680}, {2, 2}},
      {"stretch", ResizingBehavior0::stretch, {0, 0, 1024, 170}, {0, 0, 1024, 170}, {2, 0.5}},
      {"center", ResizingBehavior0::center, {0, 0, 1024, 680}, {256, 170, 512, 340}, {1, 1}},
      {"fit, negative extents",
       ResizingBehavior0::aspectFit,
       {1024, 680, -1024, -680},
       {0, 0, 1024, 680},
       {2, 2}},
      {"fill, negative width",
       ResizingBehavior0::aspectFill,
       {512, 0, -256, 340},
       {128, 0, 512, 340},
       {1, 1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Canvas canvas{{7, 7}};
    const CGRect placed = row.behaviour.apply(kDesign, row.target, canvas);
    EXPECT_EQ(placed, row.result) << text(placed);
    EXPECT_EQ(canvas.viewScale, row.scale);
    // The plain form places the same rectangle.
    EXPECT_EQ(ResizingBehavior(row.behaviour.value()).apply(kDesign, row.target), row.result);
  }
}

TEST(ResizingBehavior, TargetEqualToTheDesignOrZeroReturnsTheDesign) {
  for (const ResizingBehavior0 behaviour : {ResizingBehavior0::aspectFit, ResizingBehavior0::aspectFill,
                                            ResizingBehavior0::stretch, ResizingBehavior0::center}) {
    SCOPED_TRACE(behaviour.rawValue());
    {
      SCOPED_TRACE("target equal to the design: drawn at scale 1, so (1, 1) is recorded");
      Canvas canvas{{0, 0}};
      EXPECT_EQ(behaviour.apply(kDesign, kDesign, canvas), kDesign);
      EXPECT_EQ(canvas.viewScale, (CGSize{1, 1}));
    }
    {
      SCOPED_TRACE("zero target: nothing is drawn, the previous scale stays");
      Canvas canvas{{2, 2}};
      EXPECT_EQ(behaviour.apply(kDesign, CGRect::zero(), canvas), kDesign);
      EXPECT_EQ(canvas.viewScale, (CGSize{2, 2}));
    }
  }
  {
    SCOPED_TRACE("an empty target away from the origin is not the zero rectangle");
    Canvas canvas{{2, 2}};
    EXPECT_EQ(ResizingBehavior0(ResizingBehavior0::aspectFit).apply(kDesign, {5, 5, 0, 0}, canvas),
              (CGRect{5, 5, 0, 0}));
    EXPECT_EQ(canvas.viewScale, (CGSize{0, 0}));
  }
}

TEST(ResizingBehavior, TiesAndNotANumberKeepTheHorizontalScale) {
  const CGFloat nan = std::numeric_limits<CGFloat>::quiet_NaN();
  Canvas canvas;
  ResizingBehavior0(ResizingBehavior0::aspectFit).apply(kDesign, {0, 0, 1024, nan}, canvas);
  EXPECT_EQ(canvas.viewScale.width, 2);
  EXPECT_EQ(canvas.viewScale.height, 2);
  ResizingBehavior0(ResizingBehavior0::aspectFill).apply(kDesign, {0, 0, nan, 340}, canvas);
  EXPECT_TRUE(std::isnan(canvas.viewScale.width));
  EXPECT_TRUE(std::isnan(canvas.viewScale.height));
}

TEST(ResizingBehavior, RawValues) {
  for (int raw = 0; raw <= 3; ++raw) {
    SCOPED_TRACE(raw);
    ASSERT_TRUE(ResizingBehavior::fromRawValue(raw).has_value());
    EXPECT_EQ(ResizingBehavior::fromRawValue(raw)->rawValue(), raw);
    EXPECT_EQ(ResizingBehavior0::fromRawValue(raw)->rawValue(), raw);
  }
  EXPECT_EQ(ResizingBehavior::fromRawValue(2), ResizingBehavior(ResizingBehavior::stretch));
  EXPECT_FALSE(ResizingBehavior::fromRawValue(-1).has_value());
  EXPECT_FALSE(ResizingBehavior0::fromRawValue(4).has_value());
}

}  // namespace
