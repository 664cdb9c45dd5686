// The knob symbol of the compressor panel's drawing object.
#include "EditorDrawing.h"
#include "KOVCompressorViewBase.h"
#include "KOVValueTexts.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGSize kKnobCanvas{90, 90};
// The pointer turns 145° either way from straight up: a 290° travel between the two end dots.
constexpr CGFloat kKnobTravel = 145;

}  // namespace

void KOVCompressorViewBase::drawSymbolKnob(CGRect frame, ResizingBehavior resizing, CGFloat valueKnob,
                                           const std::string& labelKnob, bool isSelected) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  const UIColor knobColor = isSelected ? colorSelected1 : colorMain;
  const CGFloat turn = (2 * valueKnob - 1) * kKnobTravel;
  const std::string valueText = knobValueText(valueKnob);

  context->saveGState();
  mapCanvas(*context, resizing.apply({{0, 0}, kKnobCanvas}, frame), kKnobCanvas);

  // Ring centred on (46, 44.5), radius 25.
  UIBezierPath ring = UIBezierPath::ovalIn({21, 19.5, 50, 50});
  knobColor.setStroke();
  ring.lineWidth = 3;
  ring.stroke();

  // Pointer, 18 long, pivoting one unit below the ring's centre.
  context->saveGState();
  context->translateBy(46, 45.5);
  context->rotate(radians(turn));
  UIBezierPath pointer;
  pointer.move({0, -18});
  pointer.addLine({0, 0});
  strokeLine(pointer, knobColor, 4);
  context->restoreGState();

  // The ends of the pointer's travel.
  knobColor.setFill();
  UIBezierPath::ovalIn({23.5, 71, 5, 5}).fill();
  knobColor.setFill();
  UIBezierPath::ovalIn({63.5, 71, 5, 5}).fill();

  const UIFont font = UIFont::systemFont(10);
  drawCentredText(labelKnob, {9, 0, 73, 9}, font, knobColor);
  drawCentredText(valueText, {9, 76, 73, 9}, font, colorMain);

  context->restoreGState();
}
