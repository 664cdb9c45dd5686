// The panel's inbound half: values from the audio unit and contrast.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "EditorTestSupport.h"
#include "Foundation/TextForms.h"
#include "KOVCompressorView.h"
#include "StdoutCapture.h"

namespace {

using editor_test::RecordingDelegate;

// The fields setParameter writes, as one comparable line: the six knobs, the mode label, then
// bypass and audition as B/b and A/a.
std::string shown(const KOVCompressorViewBase& b) {
  std::string text;
  for (const CGFloat v :
       {b.valueAttack, b.valueRelease, b.valueThreshold, b.valueRatio, b.valueGain, b.valueMix}) {
    text += describe(v) + " ";
  }
  return text + b.valueMode + " " + (b.isBypassSelected ? "B" : "b") + (b.isAuditioSelected ? "A" : "a");
}

TEST(PanelDisplay, EachAddressSetsItsFieldPrintsAndRedraws) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Knobs take the value as it comes; the mode its whole part 0, 1 or 2; the switches are on only
  // for exactly 1.0; addresses 9 and up, and negative ones, change nothing.
  const struct {
    int address;
    float value;
    const char* printed;  // the value as printed
    const char* shown;    // starting from the initial state each time
  } rows[] = {
      {0, 0.25f, "0.25", "0.25 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {1, 0.1f, "0.1", "0.5 0.10000000149011612 0.5 0.5 0.5 0.5 dual ba"},
      {4, 1.5f, "1.5", "0.5 0.5 0.5 0.5 1.5 0.5 dual ba"},
      {6, 1.0f, "1.0", "0.5 0.5 0.5 0.5 0.5 0.5 linked ba"},
      {6, nan, "nan", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {7, 1.0f, "1.0", "0.5 0.5 0.5 0.5 0.5 0.5 dual Ba"},
      {7, 0.99f, "0.99", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {8, 2.0f, "2.0", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {14, 0.5f, "0.5", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {-3, 0.5f, "0.5", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
  };
  for (const auto& row : rows) {
    const std::string printed =
        "editor received parameter : address: " + std::to_string(row.address) + ", value: " + row.printed;
    SCOPED_TRACE(printed);
    auto panel = KOVCompressorView::make({0, 0, 512, 340});
    auto delegate = std::make_shared<RecordingDelegate>();
    panel->setDelegate(delegate);
    panel->clearNeedsDisplay();
    stdout_capture::beginCapture();
    panel->setParameter(row.address, row.value);
    EXPECT_EQ(stdout_capture::endCapture(), printed + "\n");
    EXPECT_EQ(shown(panel->baseClass()), row.shown);
    EXPECT_TRUE(panel->needsDisplay());
    EXPECT_TRUE(delegate->parameters.empty());
  }
}

TEST(PanelDisplay, ContrastTurnsIntoOpaqueGreysStoredAsComputedAndDrawnClamped) {
  // The outline's left edge: stroked 3 wide on canvas x 16.5, so pixel column 16 lies inside it.
  const CGPoint outline{16.5, 170.5};
  for (const auto& [contrast, shade] : {std::pair{1.5, 0}, std::pair{-0.5, 255}, std::pair{0.3, 179}}) {
    SCOPED_TRACE(contrast);
    auto panel = KOVCompressorView::make({0, 0, 512, 340});
    panel->clearNeedsDisplay();
    panel->setContrast(contrast);
    EXPECT_TRUE(panel->needsDisplay());
    const KOVCompressorViewBase& base = panel->baseClass();
    EXPECT_EQ(base.colorContrast, UIColor(1 - contrast, 1 - contrast, 1 - contrast, 1));
    EXPECT_EQ(base.colorContrastInverted, UIColor(contrast, contrast, contrast, 1));
    EXPECT_EQ(base.colorMain, base.colorContrast);
    CGBitmapContext image(512, 340);
    editor_test::renderView(image, *panel);
    const CGPixel p = image.pixelAt(outline);
    EXPECT_EQ(p, (CGPixel{p.red, p.red, p.red, 255}));
    EXPECT_NEAR(p.red, shade, 1);
  }
}

}  // namespace
