// The panel's inbound half: values from the audio unit, contrast, focus, the drawing pass.
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
  const float inf = std::numeric_limits<float>::infinity();
  // Knobs take the value as it comes; the mode its whole part 0, 1 or 2; the switches are on only
  // for exactly 1.0; addresses 9 and up, and negative ones, change nothing.
  const struct {
    int address;
    float value;
    const char* printed;
    const char* shown;  // starting from the initial state each time
  } rows[] = {
      {0, 0.25f, "editor received parameter : address: 0, value: 0.25", "0.25 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {1, 0.1f, "editor received parameter : address: 1, value: 0.1",
       "0.5 0.10000000149011612 0.5 0.5 0.5 0.5 dual ba"},
      {2, 1.0f, "editor received parameter : address: 2, value: 1.0", "0.5 0.5 1.0 0.5 0.5 0.5 dual ba"},
      {3, 0.0f, "editor received parameter : address: 3, value: 0.0", "0.5 0.5 0.5 0.0 0.5 0.5 dual ba"},
      {4, 1.5f, "editor received parameter : address: 4, value: 1.5", "0.5 0.5 0.5 0.5 1.5 0.5 dual ba"},
      {5, -2.0f, "editor received parameter : address: 5, value: -2.0", "0.5 0.5 0.5 0.5 0.5 -2.0 dual ba"},
      {6, 1.0f, "editor received parameter : address: 6, value: 1.0", "0.5 0.5 0.5 0.5 0.5 0.5 linked ba"},
      {6, 2.0f, "editor received parameter : address: 6, value: 2.0", "0.5 0.5 0.5 0.5 0.5 0.5 m/s ba"},
      {6, 1.9f, "editor received parameter : address: 6, value: 1.9", "0.5 0.5 0.5 0.5 0.5 0.5 linked ba"},
      {6, 3.0f, "editor received parameter : address: 6, value: 3.0", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {6, nan, "editor received parameter : address: 6, value: nan", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {6, -inf, "editor received parameter : address: 6, value: -inf", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {6, 1e30f, "editor received parameter : address: 6, value: 1e+30", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {7, 1.0f, "editor received parameter : address: 7, value: 1.0", "0.5 0.5 0.5 0.5 0.5 0.5 dual Ba"},
      {7, 0.99f, "editor received parameter : address: 7, value: 0.99", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {8, 1.0f, "editor received parameter : address: 8, value: 1.0", "0.5 0.5 0.5 0.5 0.5 0.5 dual bA"},
      {8, 2.0f, "editor received parameter : address: 8, value: 2.0", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {11, 1.0f, "editor received parameter : address: 11, value: 1.0", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {14, 0.5f, "editor received parameter : address: 14, value: 0.5", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
      {-3, 0.5f, "editor received parameter : address: -3, value: 0.5", "0.5 0.5 0.5 0.5 0.5 0.5 dual ba"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.printed);
    auto panel = KOVCompressorView::make({0, 0, 512, 340});
    auto delegate = std::make_shared<RecordingDelegate>();
    panel->setDelegate(delegate);
    panel->clearNeedsDisplay();
    stdout_capture::beginCapture();
    panel->setParameter(row.address, row.value);
    EXPECT_EQ(stdout_capture::endCapture(), std::string(row.printed) + "\n");
    EXPECT_EQ(shown(panel->baseClass()), row.shown);
    EXPECT_TRUE(panel->needsDisplay());
    EXPECT_TRUE(delegate->parameters.empty());
  }
}

TEST(PanelDisplay, ModeLabelStaysForValuesThatNameNoMode) {
  auto panel = KOVCompressorView::make({0, 0, 512, 340});
  stdout_capture::beginCapture();
  panel->setParameter(6, 2.0f);
  panel->setParameter(6, 3.0f);  // the unit's fourth mode has no label here
  EXPECT_EQ(panel->baseClass().valueMode, "m/s");
  panel->setParameter(6, -0.5f);  // truncated toward zero
  EXPECT_EQ(panel->baseClass().valueMode, "dual");
  stdout_capture::endCapture();
}

TEST(PanelDisplay, ContrastTurnsIntoOpaqueGreys) {
  auto panel = KOVCompressorView::make({0, 0, 512, 340});
  {
    SCOPED_TRACE("0.3");
    panel->clearNeedsDisplay();
    panel->setContrast(0.3);
    const KOVCompressorViewBase& base = panel->baseClass();
    EXPECT_EQ(base.colorContrast, UIColor(0.7, 0.7, 0.7, 1));
    EXPECT_EQ(base.colorContrastInverted, UIColor(0.3, 0.3, 0.3, 1));
    EXPECT_EQ(base.colorMain, base.colorContrast);
    EXPECT_EQ(base.colorSelected1, UIColor(0.76, 0.29, 0.29, 1));
    EXPECT_TRUE(panel->needsDisplay());
  }
  {
    SCOPED_TRACE("outside 0...1: stored as computed");
    panel->setContrast(1.5);
    EXPECT_EQ(panel->baseClass().colorMain, UIColor(-0.5, -0.5, -0.5, 1));
    EXPECT_EQ(panel->baseClass().colorContrastInverted, UIColor(1.5, 1.5, 1.5, 1));
  }
  {
    SCOPED_TRACE("focus only redraws");
    panel->clearNeedsDisplay();
    panel->setFocus(false);
    EXPECT_TRUE(panel->needsDisplay());
  }
}

TEST(PanelDisplay, ContrastOutsideTheRangeIsDrawnClamped) {
  // The outline's left edge: stroked 3 wide on canvas x 16.5, so pixel column 16 lies inside it.
  const CGPoint outline{16.5, 170.5};
  for (const auto& [contrast, shade] : {std::pair{1.5, 0}, std::pair{-0.5, 255}, std::pair{0.3, 179}}) {
    SCOPED_TRACE(contrast);
    auto panel = KOVCompressorView::make({0, 0, 512, 340});
    panel->setContrast(contrast);
    CGBitmapContext image(512, 340);
    editor_test::renderView(image, *panel);
    const CGPixel p = image.pixelAt(outline);
    EXPECT_EQ(p.alpha, 255);
    EXPECT_NEAR(p.red, shade, 1);
    EXPECT_EQ(p.red, p.green);
    EXPECT_EQ(p.red, p.blue);
  }
}

TEST(PanelDisplay, HiddenPanelDrawsNothingAndKeepsItsLastScale) {
  auto panel = KOVCompressorView::make({0, 0, 1024, 680});
  CGBitmapContext large(1024, 680);
  editor_test::renderView(large, *panel);
  EXPECT_EQ(panel->baseClass().viewScale, (CGSize{2, 2}));

  panel->setHidden(true);
  panel->setFrame({0, 0, 256, 170});
  CGBitmapContext small(256, 170);
  editor_test::renderView(small, *panel);
  EXPECT_EQ(panel->baseClass().viewScale, (CGSize{2, 2}));
  EXPECT_EQ(panel->baseClass().hotspotAttackPath.bounds(), (CGRect{39, 44, 90, 98}));
  for (int y = 0; y < 170; y += 5) {
    for (int x = 0; x < 256; x += 5)
      ASSERT_TRUE(editor_test::isTransparent(small.pixel(x, y))) << x << ", " << y;
  }

  panel->setHidden(false);
  editor_test::renderView(small, *panel);
  EXPECT_EQ(panel->baseClass().viewScale, (CGSize{0.5, 0.5}));
}

}  // namespace
