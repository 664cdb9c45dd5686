// The whole editor picture (frame, panel, gauge stacked as the editor shows them), rendered at
// the design size and at twice that, saved as PNG files in the tests' output folder of the build
// tree for a reviewer, and probed where the design fixes a colour.
#include <gtest/gtest.h>

#include <string>

#include "EditorTestSupport.h"
#include "KOVCompressorView.h"
#include "KOVDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "TestOutput.h"

namespace {

TEST(EditorPicture, FramePanelAndGaugeAtOneAndTwoTimesTheDesignSize) {
  for (const CGFloat scale : {1.0, 2.0}) {
    SCOPED_TRACE(scale);
    const CGRect bounds{0, 0, 512 * scale, 340 * scale};
    auto frame = PluginFrameEx::make(bounds);
    auto panel = KOVCompressorView::make(bounds);
    auto gauge = KOVDynamicsDisplayView::make(bounds);
    gauge->setCompressionValues(0.8f, 0.65f);
    gauge->setOutputValues(0.7f, 0.75f);
    panel->baseClass().isBypassSelected = true;
    panel->baseClass().isGainActive = true;

    CGBitmapContext image(bounds.width(), bounds.height());
    image.fill({0, 0, 0, 1});
    editor_test::renderView(image, *frame);
    editor_test::renderView(image, *panel);
    editor_test::renderView(image, *gauge);
    const std::string name = test_support::outputFile("editor_" + std::to_string(int(bounds.width())) + "x" +
                                                      std::to_string(int(bounds.height())) + ".png");
    EXPECT_TRUE(image.writePNG(name)) << name;

    // The plate's grey between the frame's margin and the panel's outline.
    EXPECT_EQ(image.pixelAt({8 * scale, 170 * scale}), (CGPixel{38, 38, 38, 255}));
    // The margin shows what was under the frame.
    EXPECT_EQ(image.pixelAt({0.5, 170 * scale}), (CGPixel{0, 0, 0, 255}));
    // The outline in the main colour (0.753 grey) on the plate.
    EXPECT_NEAR(image.pixelAt({16.5 * scale, 170 * scale}).red, 0.753 * 255, 1);
    EXPECT_EQ(panel->baseClass().viewScale, (CGSize{scale, scale}));
    EXPECT_EQ(gauge->baseClass().viewScale, (CGSize{scale, scale}));
  }
}

}  // namespace
