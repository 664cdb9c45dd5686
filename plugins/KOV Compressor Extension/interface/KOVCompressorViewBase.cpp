// The compressor panel's main layout: outline, the ten controls, the title and the hotspots.
#include "KOVCompressorViewBase.h"

#include "EditorDrawing.h"
#include "UIKit/UIGraphics.h"

namespace {

// Elements are drawn slightly enlarged at rest and clearly enlarged while touched.
constexpr CGFloat kRestScale = 1.1;
constexpr CGFloat kActiveScale = 1.5;

// Symbol rectangles relative to their element's anchor: centred for knobs and buttons, standing
// on the anchor for the meter.
constexpr CGRect kKnobSymbol{-45, -45, 90, 90};
constexpr CGRect kModeSymbol{-27, -13, 54, 26};
constexpr CGRect kMeterSymbol{0, -106, 206, 106};
// The push buttons' 86 x 38 canvas is stretched into 80 x 32.
constexpr CGRect kButtonSymbol{-39, -16, 80, 32};

constexpr CGRect kTitleBox{153, 267, 206, 30};

CGFloat elementScale(bool active) {
  return active ? kActiveScale : kRestScale;
}

// Draws one element: moved to its anchor, scaled about it, clipped to its symbol rectangle, with
// the symbol drawer given the rectangle's size at the origin.
template <typename Draw>
void drawElement(CGContext& context, CGPoint anchor, CGFloat scale, const CGRect& symbol, Draw draw) {
  context.saveGState();
  context.translateBy(anchor.x, anchor.y);
  context.scaleBy(scale, scale);
  context.saveGState();
  context.clip(symbol);
  context.translateBy(symbol.origin.x, symbol.origin.y);
  draw(CGRect(0, 0, symbol.size.width, symbol.size.height));
  context.restoreGState();
  context.restoreGState();
}

}  // namespace

void KOVCompressorViewBase::drawMain(CGRect frame, ResizingBehavior0 resizing) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  context->saveGState();
  mapCanvas(*context, resizing.apply(kCanvas, frame, *this), kCanvas.size);

  UIBezierPath outline = UIBezierPath::roundedRect({16.5, 19.5, 480, 300}, 10);
  strokeLine(outline, colorMain, 3);

  // Each active flag is read right before its element is drawn.
  const ResizingBehavior stretch = ResizingBehavior::stretch;
  drawElement(*context, {83, 94}, elementScale(isAttackActive), kKnobSymbol,
              [&](CGRect f) { drawSymbolKnob(f, stretch, valueAttack, "attack", isAttackSelected); });
  drawElement(*context, {182, 94}, elementScale(isReleaseActive), kKnobSymbol,
              [&](CGRect f) { drawSymbolKnob(f, stretch, valueRelease, "release", isReleaseSelected); });
  drawElement(*context, {256.7, 74.7}, elementScale(isModeActive), kModeSymbol,
              [&](CGRect f) { drawSymbolButton2(f, stretch, valueMode); });
  drawElement(*context, {329, 94}, elementScale(isThresholdActive), kKnobSymbol, [&](CGRect f) {
    drawSymbolKnob(f, stretch, valueThreshold, "threshold", isThresholdSelected);
  });
  drawElement(*context, {428, 94}, elementScale(isRatioActive), kKnobSymbol,
              [&](CGRect f) { drawSymbolKnob(f, stretch, valueRatio, "ratio", isRatioSelected); });
  drawElement(*context, {153, 242}, 1, kMeterSymbol,
              [&](CGRect f) { drawSymbolMeter(f, stretch, value1, value2, valueThreshold); });
  drawElement(*context, {83.5, 201.5}, elementScale(isGainActive), kKnobSymbol,
              [&](CGRect f) { drawSymbolKnob(f, stretch, valueGain, "gain", isGainSelected); });
  drawElement(*context, {428.5, 201.5}, elementScale(isMixActive), kKnobSymbol,
              [&](CGRect f) { drawSymbolKnob(f, stretch, valueMix, "mix", isMixSelected); });
  drawElement(*context, {87.9, 283.86}, elementScale(isBypassActive), kButtonSymbol,
              [&](CGRect f) { drawSymbolButton(f, stretch, isBypassSelected, "bypass"); });
  drawElement(*context, {423.9, 281.86}, elementScale(isAuditionActive), kButtonSymbol,
              [&](CGRect f) { drawSymbolButton(f, stretch, isAuditioSelected, "audition"); });

  drawCentredText("KOV COMPRESSOR", kTitleBox, UIFont("HelveticaNeue-CondensedBold", 22), colorMain);

  // Fixed rectangles in canvas units: they follow neither the element scale nor the frame.
  hotspotAttackPath = UIBezierPath(CGRect{39, 44, 90, 98});
  hotspotReleasePath = UIBezierPath(CGRect{137, 44, 90, 98});
  hotspotThresholdPath = UIBezierPath(CGRect{284, 45, 90, 98});
  hotspotRatioPath = UIBezierPath(CGRect{384, 45, 90, 98});
  hotspotGainPath = UIBezierPath(CGRect{39, 153, 90, 98});
  hotspotMixPath = UIBezierPath(CGRect{384, 158, 90, 98});
  hotspotBypassPath = UIBezierPath(CGRect{44, 266, 90, 36});
  hotspotAuditionPath = UIBezierPath(CGRect{380, 264, 90, 36});
  hotspotCaptionPath = UIBezierPath(CGRect{166, 264, 180, 36});
  hotspotModePath = UIBezierPath(CGRect{227, 54, 57, 45});
  hotspotMeterPath = UIBezierPath(CGRect{166, 151, 180, 90});

  context->restoreGState();
}
