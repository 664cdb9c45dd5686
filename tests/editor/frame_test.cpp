// The background frame: a plate of the contrast's grey, 2 points inside the bounds, corners of
// radius 4, probed on rendered images.
#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "PluginFrameEx.h"

namespace {

TEST(Frame, PlateOfTheContrastGreyWithATwoPointMarginAndRoundCorners) {
  auto frame = PluginFrameEx::make({0, 0, 200, 100});
  CGBitmapContext image(200, 100);
  // The plate fills the bounds whatever rectangle is redrawn.
  editor_test::render(image, [&] { frame->draw({50, 50, 10, 10}); });
  EXPECT_EQ(image.pixel(100, 50), (CGPixel{38, 38, 38, 255}));  // 0.15 of 255
  // Across at y 50 and down at x 100: outside, first and last inside, outside ('#': opaque).
  std::string painted;
  for (const auto& [x, y] :
       {std::pair{1, 50}, {2, 50}, {197, 50}, {198, 50}, {100, 1}, {100, 2}, {100, 97}, {100, 98}, {6, 6}})
    painted += image.pixel(x, y).alpha == 255 ? '#' : image.pixel(x, y).alpha == 0 ? '.' : '?';
  EXPECT_EQ(painted, ".##..##.#");
  EXPECT_LT(image.pixel(2, 2).alpha, 128);  // rounded corners
  EXPECT_LT(image.pixel(197, 97).alpha, 128);
}

TEST(Frame, TinyAndEmptyFramesPaintNothingInTheirMargin) {
  const struct {
    CGFloat width, height;
    bool drawsSomething;
  } rows[] = {{0, 0, false}, {50, 0, false}, {4, 50, false}, {6, 6, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.width << " x " << row.height);
    auto frame = PluginFrameEx::make({0, 0, row.width, row.height});
    CGBitmapContext image(8, 60);
    editor_test::renderView(image, *frame);
    int painted = 0;
    for (int y = 0; y < 60; ++y) {
      for (int x = 0; x < 8; ++x)
        painted += image.pixel(x, y).alpha > 0;
    }
    EXPECT_EQ(painted > 0, row.drawsSomething);
  }
}

}  // namespace
