// The panel's picture: hotspots and scale of a drawing pass, the knob and meter symbols probed on
// rendered images.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EditorTestSupport.h"
#include "KOVCompressorViewBase.h"
#include "UIKit/NSStringDrawing.h"

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
    for (const auto& h : hotspots) {
      SCOPED_TRACE(h.name);
      const UIBezierPath& path = base.*h.path;
      EXPECT_EQ(path.bounds(), h.rect);
      // Closed on every edge, open just beyond.
      EXPECT_TRUE(path.contains({h.rect.minX(), h.rect.minY()}));
      EXPECT_TRUE(path.contains({h.rect.maxX(), h.rect.maxY()}));
      EXPECT_FALSE(path.contains({h.rect.maxX() + 0.01, h.rect.midY()}));
      EXPECT_FALSE(path.contains({h.rect.midX(), h.rect.minY() - 0.01}));
    }
  }
}

TEST(PanelDrawing, EveryTextFitsItsBoxOnOneLine) {
  // With the platform's stand-ins for the design's fonts no text of the panel wraps or is cut
  // at the sides of its box.
  const struct {
    const char* text;
    UIFont font;
    CGFloat boxWidth;
  } rows[] = {
      {"attack", UIFont::systemFont(10), 73},
      {"release", UIFont::systemFont(10), 73},
      {"threshold", UIFont::systemFont(10), 73},
      {"ratio", UIFont::systemFont(10), 73},
      {"gain", UIFont::systemFont(10), 73},
      {"mix", UIFont::systemFont(10), 73},
      {"100", UIFont::systemFont(10), 73},
      {"bypass", UIFont("HelveticaNeue", 12), 80},
      {"audition", UIFont("HelveticaNeue", 12), 80},
      {"dual", UIFont("HelveticaNeue-CondensedBold", 10), 47.5},
      {"linked", UIFont("HelveticaNeue-CondensedBold", 10), 47.5},
      {"m/s", UIFont("HelveticaNeue-CondensedBold", 10), 47.5},
      {"KOV COMPRESSOR", UIFont("HelveticaNeue-CondensedBold", 22), 206},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const NSStringAttributes attributes{row.font, UIColor::white(), std::nullopt};
    EXPECT_LT(NSString(row.text).size(attributes).width, row.boxWidth);
    const CGFloat oneLine =
        NSString("X").boundingRect({1000, 1000}, usesLineFragmentOrigin, attributes).height();
    EXPECT_EQ(
        NSString(row.text).boundingRect({row.boxWidth, 1000}, usesLineFragmentOrigin, attributes).height(),
        oneLine);
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

TEST(PanelDrawing, WithoutAContextNothingChanges) {
  KOVCompressorViewBase base;
  base.drawMain({0, 0, 1024, 680});
  EXPECT_EQ(base.viewScale, (CGSize{0, 0}));
  EXPECT_TRUE(base.hotspotAttackPath.isEmpty());
}

TEST(KnobSymbol, PointerTurnsByTwoVMinusOneTimes145Degrees) {
  // Drawn selected (red) and without a label, at 4 pixels per unit; the pointer pivots at
  // (46, 45.5) and is 18 long, so a point 12 out lies on it.
  constexpr CGPoint kPivot{46, 45.5};
  for (const CGFloat value : {0.0, 0.25, 0.5, 0.9, 1.0, 1.2}) {
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

TEST(KnobSymbol, ValueTextInTheMainColourWhateverTheSelection) {
  KOVCompressorViewBase base;
  base.colorMain = UIColor(0, 1, 0, 1);
  CGBitmapContext image(90, 90, 4);
  editor_test::render(image, [&] {
    base.drawSymbolKnob({0, 0, 90, 90}, ResizingBehavior::aspectFit, 0.5, "", true);
  });
  // Somewhere in the value box (9, 76, 73, 9) a fully covered glyph pixel is pure green; nothing
  // of the text spills above the box's clip (between the two end dots).
  int green = 0;
  for (int y = 76 * 4; y < 85 * 4; ++y) {
    for (int x = 9 * 4; x < 82 * 4; ++x) {
      const CGPixel p = image.pixel(x, y);
      if (p.alpha == 255 && p.green == 255 && p.red == 0)
        ++green;
    }
  }
  EXPECT_GT(green, 10);
  for (int x = 30 * 4; x < 62 * 4; ++x)
    EXPECT_TRUE(editor_test::isTransparent(image.pixel(x, 76 * 4 - 1))) << x;
}

TEST(KnobSymbol, StretchTurnsTheRingIntoAnEllipse) {
  KOVCompressorViewBase base;
  CGBitmapContext image(180, 90);
  editor_test::render(image, [&] {
    base.drawSymbolKnob({0, 0, 180, 90}, ResizingBehavior::stretch, 0.5, "", false);
  });
  // The ring's left and right edges at twice their canvas x (21 and 71), at the centre height.
  EXPECT_EQ(image.pixelAt({42.5, 44.5}).alpha, 255);
  EXPECT_EQ(image.pixelAt({141.5, 44.5}).alpha, 255);
  EXPECT_TRUE(editor_test::isTransparent(image.pixelAt({21.5, 44.5})));
  // Fitted instead, the knob stays round and is centred: its ring starts at 45 + 21.
  CGBitmapContext fitted(180, 90);
  editor_test::render(fitted, [&] {
    base.drawSymbolKnob({0, 0, 180, 90}, ResizingBehavior::aspectFit, 0.5, "", false);
  });
  EXPECT_EQ(fitted.pixelAt({66.5, 44.5}).alpha, 255);
  EXPECT_TRUE(editor_test::isTransparent(fitted.pixelAt({42.5, 44.5})));
}

TEST(MeterSymbol, FaintNeedleTurnsByTwoVMinusOneTimes90Degrees) {
  constexpr CGPoint kPivot{103.5, 97.5};
  for (const CGFloat value : {0.0, 0.25, 0.5, 0.8, 1.0}) {
    SCOPED_TRACE(value);
    const CGFloat turn = (2 * value - 1) * 90;
    KOVCompressorViewBase base;
    base.colorMain = UIColor(0, 0, 1, 1);
    CGBitmapContext image(206, 106, 2);
    editor_test::render(image, [&] {
      base.drawSymbolMeter({0, 0, 206, 106}, ResizingBehavior::stretch, 0, 0, value);
    });
    // The needle is the main colour at alpha 0.2.
    const CGPixel on = image.pixelAt(along(kPivot, turn, 60));
    EXPECT_NEAR(on.alpha, 0.2 * 255, 1);
    EXPECT_EQ(on.blue, 255);
    const CGFloat mirror = turn == 0 ? 90 : -turn;
    EXPECT_TRUE(editor_test::isTransparent(image.pixelAt(along(kPivot, mirror, 60))));
  }
}

}  // namespace
