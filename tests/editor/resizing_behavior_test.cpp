#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ResizingBehavior.h"

namespace {

struct Canvas {
  CGSize viewScale;
};

constexpr CGRect kDesign(0, 0, 512, 340);

TEST(ResizingBehavior, PlacesTheDesignCanvasAndRecordsItsScale) {
  using B = ResizingBehavior0;
  const struct {
    const char* what;
    ResizingBehavior0 behaviour;
    CGRect target, result;
    CGSize scale;
  } rows[] = {
      {"fit, wide target", B::aspectFit, {10, 20, 1024, 340}, {266, 20, 512, 340}, {1, 1}},
      {"fit, half size", B::aspectFit, {0, 0, 256, 170}, {0, 0, 256, 170}, {0.5, 0.5}},
      {"fill, wide target", B::aspectFill, {0, 0, 1024, 340}, {0, -170, 1024, 680}, {2, 2}},
      {"stretch", B::stretch, {0, 0, 1024, 170}, {0, 0, 1024, 170}, {2, 0.5}},
      {"fit, negative extents", B::aspectFit, {1024, 680, -1024, -680}, {0, 0, 1024, 680}, {2, 2}},
      {"fill, negative width", B::aspectFill, {512, 0, -256, 340}, {128, 0, 512, 340}, {1, 1}},
      {"target equal to the design", B::stretch, kDesign, kDesign, {1, 1}},
      {"empty target away from the origin", B::aspectFit, {5, 5, 0, 0}, {5, 5, 0, 0}, {0, 0}},
      {"zero target: nothing drawn, the previous scale stays", B::aspectFit, CGRect::zero(), kDesign, {7, 7}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Canvas canvas{{7, 7}};
    EXPECT_EQ(row.behaviour.apply(kDesign, row.target, canvas), row.result);
    EXPECT_EQ(canvas.viewScale, row.scale);
    EXPECT_EQ(ResizingBehavior(row.behaviour.value()).apply(kDesign, row.target), row.result);
  }
}

TEST(ResizingBehavior, TiesAndNotANumberKeepTheHorizontalScale) {
  const CGFloat nan = std::numeric_limits<CGFloat>::quiet_NaN();
  Canvas canvas;
  ResizingBehavior0(ResizingBehavior0::aspectFit).apply(kDesign, {0, 0, 1024, nan}, canvas);
  EXPECT_EQ(canvas.viewScale, (CGSize{2, 2}));
  ResizingBehavior0(ResizingBehavior0::aspectFill).apply(kDesign, {0, 0, nan, 340}, canvas);
  EXPECT_TRUE(std::isnan(canvas.viewScale.width) && std::isnan(canvas.viewScale.height));
}

}  // namespace
