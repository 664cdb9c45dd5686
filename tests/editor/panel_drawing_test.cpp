// The panel's picture: hotspots and scale of a drawing pass, the knob and meter symbols probed on
// rendered images.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EditorTestSupport.h"
#include "KOVCompressorViewBase.h"

namespace {

constexpr CGFloat kPi = 3.14159265358979323846;

// The point at `distance` from `pivot` on a mark turned `degrees` clockwise from straight up.
CGPoint along(CGPoint pivot, CGFloat degrees, CGFloat distance) {
  const CGFloat a = degrees * kPi / 180;
  return {pivot.x + distance * std::sin(a), pivot.y - distance * std::cos(a)};
}

TEST(PanelDrawing, PassPublishesTheHotspotsInCanvasUnitsAndRecordsItsScale) {
  const struct {
    const char* name;
    UIBezierPath KOVCompressorViewBase::*path;
    CGRect rect;
  } hotspots[] = {
      {"attack", &KOVCompressorViewBase::hotspotAttackPath, {39, 44, 90, 98}},
      {"release", &KOVCompressorViewBase::hotspotReleasePath, {137, 44, 90, 98}},
      {"threshold", &KOVCompressorViewBase::hotspotThresholdPath, {284, 45, 90, 98}},
      {"ratio", &KOVCompressorViewBase::hotspotRatioPath, {384, 45, 90, 98}},
      {"gain", &KOVCompressorViewBase::hotspotGainPath, {39, 153, 90, 98}},
      {"mix", &KOVCompressorViewBase::hotspotMixPath, {384, 158, 90, 98}},
      {"bypass", &KOVCompressorViewBase::hotspotBypassPath, {44, 266, 90, 36}},
      {"audition", &KOVCompressorViewBase::hotspotAuditionPath, {380, 264, 90, 36}},
      {"caption", &KOVCompressorViewBase::hotspotCaptionPath, {166, 264, 180, 36}},
      {"mode", &KOVCompressorViewBase::hotspotModePath, {227, 54, 57, 45}},
      {"meter", &KOVCompressorViewBase::hotspotMeterPath, {166, 151, 180, 90}},
  };
  KOVCompressorViewBase base;
  for (const auto& h : hotspots)
    EXPECT_TRUE((base.*h.path).isEmpty()) << h.name;

  for (const CGFloat scale : {1.0, 2.0, 0.5}) {
    SCOPED_TRACE(scale);
    base.isGainActive = scale == 2;  // the element scale does not move a hotspot
    CGBitmapContext image(512 * scale, 340 * scale);
    editor_test::render(image, [&] { base.drawMain({0, 0, 512 * scale, 340 * scale}); });
    EXPECT_EQ(base.viewScale, (CGSize{scale, scale}));
    for (const auto& h : hotspots)
      EXPECT_EQ((base.*h.path).bounds(), h.rect) << h.name;
  }
}

TEST(PanelDrawing, ValuesBeyondAnyRangeDrawWithoutTrapping) {
  KOVCompressorViewBase base;
  base.valueAttack = std::numeric_limits<CGFloat>::quiet_NaN();
  base.valueRelease = std::numeric_limits<CGFloat>::infinity();
  base.valueThreshold = -std::numeric_limits<CGFloat>::infinity();
  base.valueGain = 1e300;
  base.valueMode = "a mode label far too long for its little button";
  base.colorMain = UIColor(2, -1, 0.5, 1);
  CGBitmapContext image(512, 340);
  editor_test::render(image, [&] { base.drawMain(); });
  EXPECT_EQ(image.context().gStateDepth(), 0);
  EXPECT_EQ(base.hotspotMeterPath.bounds(), (CGRect{166, 151, 180, 90}));
  // The outline in the clamped main colour.
  EXPECT_EQ(image.pixelAt({16.5, 170.5}), (CGPixel{255, 0, 128, 255}));
}

TEST(KnobSymbol, PointerTurnsByTwoVMinusOneTimes145Degrees) {
  // Drawn selected (red) and without a label, at 4 pixels per unit; the pointer pivots at
  // (46, 45.5) and is 18 long, so a point 12 out lies on it.
  constexpr CGPoint kPivot{46, 45.5};
  for (const CGFloat value : {0.0, 0.25, 0.5, 1.2}) {
    SCOPED_TRACE(value);
    const CGFloat turn = (2 * value - 1) * 145;
    KOVCompressorViewBase base;
    CGBitmapContext image(90, 90, 4);
    editor_test::render(image, [&] {
      base.drawSymbolKnob({0, 0, 90, 90}, ResizingBehavior::aspectFit, value, "", true);
    });
    const CGPixel on = image.pixelAt(along(kPivot, turn, 12));
    EXPECT_EQ(on.alpha, 255);
    EXPECT_NEAR(on.red, 0.76 * 255, 1);
    EXPECT_NEAR(on.green, 0.29 * 255, 1);
    // Nothing where the pointer would be turned the other way (or, at 0.5, pointing down).
    const CGFloat mirror = turn == 0 ? 180 : -turn;
    EXPECT_TRUE(editor_test::isTransparent(image.pixelAt(along(kPivot, mirror, 12))));
  }
}

}  // namespace
