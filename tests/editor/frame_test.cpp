// The background frame: a plate of the contrast's grey, 2 points inside the bounds, corners of
// radius 4, probed on rendered images.
#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "PluginFrameEx.h"

namespace {

using editor_test::isTransparent;

TEST(Frame, PlateOfTheContrastGreyWithATwoPointMargin) {
  auto frame = PluginFrameEx::make({0, 0, 200, 100});
  CGBitmapContext image(200, 100);
  editor_test::renderView(image, *frame);
  EXPECT_EQ(image.pixel(100, 50), (CGPixel{38, 38, 38, 255}));  // 0.15 of 255
  {
    SCOPED_TRACE("the plate spans (2, 2) to (198, 98)");
    EXPECT_TRUE(isTransparent(image.pixel(1, 50)));
    EXPECT_EQ(image.pixel(2, 50).alpha, 255);
    EXPECT_EQ(image.pixel(197, 50).alpha, 255);
    EXPECT_TRUE(isTransparent(image.pixel(198, 50)));
    EXPECT_TRUE(isTransparent(image.pixel(100, 1)));
    EXPECT_EQ(image.pixel(100, 2).alpha, 255);
    EXPECT_EQ(image.pixel(100, 97).alpha, 255);
    EXPECT_TRUE(isTransparent(image.pixel(100, 98)));
  }
  {
    SCOPED_TRACE("rounded corners");
    EXPECT_LT(image.pixel(2, 2).alpha, 128);
    EXPECT_EQ(image.pixel(6, 6).alpha, 255);
    EXPECT_LT(image.pixel(197, 97).alpha, 128);
  }
}

TEST(Frame, ContrastIsTheGreyLevelClampedWhenDrawn) {
  const struct {
    float contrast;
    std::uint8_t shade;
  } rows[] = {{0.0f, 0}, {1.0f, 255}, {0.5f, 128}, {1.5f, 255}, {-0.3f, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.contrast);
    auto frame = PluginFrameEx::make({0, 0, 40, 40});
    frame->contrast = row.contrast;
    CGBitmapContext image(40, 40);
    editor_test::renderView(image, *frame);
    EXPECT_EQ(image.pixel(20, 20), (CGPixel{row.shade, row.shade, row.shade, 255}));
  }
}

TEST(Frame, DrawsIntoItsBoundsWhateverRectangleIsRedrawn) {
  auto frame = PluginFrameEx::make({0, 0, 200, 100});
  CGBitmapContext image(200, 100);
  editor_test::render(image, [&] { frame->draw({50, 50, 10, 10}); });
  EXPECT_EQ(image.pixel(3, 50).alpha, 255);
  EXPECT_EQ(image.pixel(150, 90).alpha, 255);
  EXPECT_TRUE(isTransparent(image.pixel(100, 99)));
}

TEST(Frame, TinyAndEmptyFrames) {
  const struct {
    CGFloat width, height;
    bool drawsSomething;
  } rows[] = {{0, 0, false}, {0, 50, false}, {50, 0, false}, {3, 50, false}, {4, 50, false}, {6, 6, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.width) + " x " + std::to_string(row.height));
    auto frame = PluginFrameEx::make({0, 0, row.width, row.height});
    CGBitmapContext image(8, 60);
    editor_test::renderView(image, *frame);
    int painted = 0;
    for (int y = 0; y < 60; ++y) {
      for (int x = 0; x < 8; ++x)
        painted += image.pixel(x, y).alpha > 0;
    }
    EXPECT_EQ(painted > 0, row.drawsSomething);
    // Nothing ever lands in the margin or beyond the frame.
    for (int x = 0; x < 8; ++x)
      EXPECT_TRUE(isTransparent(image.pixel(x, 1)));
  }
}

TEST(Frame, DrawingObjectAlwaysRecordsScaleOne) {
  PluginFrameBaseEx base;
  CGBitmapContext image(300, 200);
  for (const CGRect& frame : {CGRect{0, 0, 300, 200}, CGRect{10, 20, 100, 50}}) {
    for (const auto behaviour : {ResizingBehavior::aspectFit, ResizingBehavior::aspectFill,
                                 ResizingBehavior::stretch, ResizingBehavior::center}) {
      base.viewScale = {7, 7};
      editor_test::render(image, [&] { base.draw(frame, behaviour); });
      EXPECT_EQ(base.viewScale, (CGSize{1, 1}));
    }
  }
  // The offset frame's plate starts 2 inside it.
  CGBitmapContext offset(300, 200);
  editor_test::render(offset, [&] { base.draw({10, 20, 100, 50}, ResizingBehavior::center); });
  EXPECT_EQ(offset.pixel(12, 40).alpha, 255);
  EXPECT_TRUE(isTransparent(offset.pixel(11, 40)));
  EXPECT_TRUE(isTransparent(offset.pixel(60, 21)));
}

}  // namespace
