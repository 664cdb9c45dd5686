// The meter, history and button symbols of the compressor panel's drawing object.
#include "EditorDrawing.h"
#include "KOVCompressorViewBase.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGSize kMeterCanvas{206, 106};
constexpr CGSize kHistoryCanvas{390, 134};
constexpr CGSize kButtonCanvas{86, 38};
constexpr CGSize kButton2Canvas{54, 26};
// The needle turns 90° either way from straight up: flat left at 0, flat right at 1.
constexpr CGFloat kNeedleTravel = 90;

}  // namespace

void KOVCompressorViewBase::drawSymbolMeter(CGRect frame, ResizingBehavior resizing, CGFloat /*valueMeter1*/,
                                            CGFloat /*valueMeter2*/, CGFloat valueKnob) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  const CGFloat turn = (2 * valueKnob - 1) * kNeedleTravel;

  context->saveGState();
  mapCanvas(*context, resizing.apply({{0, 0}, kMeterCanvas}, frame), kMeterCanvas);

  // Dome: the base from right to left, then three curves over the top back to the start.
  UIBezierPath dome;
  dome.move({198.5, 103});
  dome.addLine({9, 103});
  dome.addCurve({72.55, 8.55}, {9, 59.31}, {35.55, 22.16});
  dome.addCurve({103.75, 3}, {82.32, 4.95}, {92.82, 3});
  dome.addCurve({198.5, 103}, {156.08, 3}, {198.5, 47.77});
  dome.close();
  context->saveGState();
  context->setLineDash(0, {2, 3});
  strokeLine(dome, colorMain, 2);
  context->restoreGState();

  colorMain.setFill();
  UIBezierPath::ovalIn({98, 92, 10, 10}).fill();

  UIBezierPath base;
  base.move({3, 103});
  base.addLine({203, 103});
  strokeLine(base, colorMain, 3, CGLineJoin::bevel);

  // Needle, 88 long, pivoting half a unit right of and below the dot's centre.
  context->saveGState();
  context->translateBy(103.5, 97.5);
  context->rotate(radians(turn));
  UIBezierPath needle;
  needle.move({0, -88});
  needle.addLine({0, 0});
  strokeLine(needle, colorMain.withAlphaComponent(0.2), 4);
  context->restoreGState();

  context->restoreGState();
}

void KOVCompressorViewBase::drawSymbolHistory(CGRect frame, ResizingBehavior resizing) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  context->saveGState();
  mapCanvas(*context, resizing.apply({{0, 0}, kHistoryCanvas}, frame), kHistoryCanvas);

  UIBezierPath outline = UIBezierPath::roundedRect({3.5, 3.5, 384, 128}, 3);
  strokeLine(outline, colorMain, 3);

  context->restoreGState();
}

void KOVCompressorViewBase::drawSymbolButton(CGRect frame, ResizingBehavior resizing, bool isSelected,
                                             const std::string& labelButton) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  const UIColor buttonColor = isSelected ? colorSelected1 : colorMain;

  context->saveGState();
  mapCanvas(*context, resizing.apply({{0, 0}, kButtonCanvas}, frame), kButtonCanvas);

  constexpr CGRect kBody{3, 3, 80, 32};
  UIBezierPath outline = UIBezierPath::roundedRect(kBody, 3);
  strokeLine(outline, buttonColor, 2, CGLineJoin::bevel);

  drawCentredText(labelButton, kBody, UIFont("HelveticaNeue", 12), buttonColor);

  context->restoreGState();
}

void KOVCompressorViewBase::drawSymbolButton2(CGRect frame, ResizingBehavior resizing,
                                              const std::string& labelButton) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  context->saveGState();
  mapCanvas(*context, resizing.apply({{0, 0}, kButton2Canvas}, frame), kButton2Canvas);

  constexpr CGRect kBody{3.45, 2.85, 47.5, 20.5};
  UIBezierPath body = UIBezierPath::roundedRect(kBody, 3);
  colorSelected1.withAlphaComponent(0.3).setFill();
  body.fill();
  strokeLine(body, colorMain, 1);

  drawCentredText(labelButton, kBody, UIFont("HelveticaNeue-CondensedBold", 10), colorMain);

  context->restoreGState();
}
