// The compressor panel's main layout: outline, the ten controls, the title and the hotspots.
#include "KOVCompressorViewBase.h"

#include <string>

#include "EditorDrawing.h"
#include "KOVPanelControls.h"
#include "UIKit/UIGraphics.h"

namespace {

using kov_panel::Kind;

// Elements are drawn slightly enlarged at rest and clearly enlarged while touched.
constexpr CGFloat kRestScale = 1.1;
constexpr CGFloat kActiveScale = 1.5;

constexpr CGRect kTitleBox{153, 267, 206, 30};

// The element scale; an element without an active flag (the meter) is not scaled.
CGFloat elementScale(const KOVCompressorViewBase& base, const KOVPanelControl& control) {
  if (control.active == nullptr)
    return 1;
  return base.*control.active ? kActiveScale : kRestScale;
}

// The control's symbol drawer, given its fields, into `frame`.
void drawSymbol(KOVCompressorViewBase& base, const KOVPanelControl& control, CGRect frame) {
  const KOVCompressorViewBase::ResizingBehavior stretch = KOVCompressorViewBase::ResizingBehavior::stretch;
  switch (control.kind) {
    case Kind::knob:
      base.drawSymbolKnob(frame, stretch, base.*control.value, std::string(control.name),
                          base.*control.selected);
      break;
    case Kind::button:
      base.drawSymbolButton(frame, stretch, base.*control.selected, std::string(control.name));
      break;
    case Kind::mode:
      base.drawSymbolButton2(frame, stretch, base.*control.label);
      break;
    case Kind::meter:
      base.drawSymbolMeter(frame, stretch, base.value1, base.value2, base.*control.value);
      break;
    case Kind::caption:
      break;
  }
}

// Draws one element: moved to its anchor, scaled about it, clipped to its symbol rectangle, with
// the symbol drawer given the rectangle's size at the origin. The active flag is read right
// before the element is drawn.
void drawElement(CGContext& context, KOVCompressorViewBase& base, const KOVPanelControl& control) {
  const CGFloat scale = elementScale(base, control);
  const CGRect& symbol = control.symbol;
  context.saveGState();
  context.translateBy(control.anchor.x, control.anchor.y);
  context.scaleBy(scale, scale);
  context.saveGState();
  context.clip(symbol);
  context.translateBy(symbol.origin.x, symbol.origin.y);
  drawSymbol(base, control, CGRect(0, 0, symbol.size.width, symbol.size.height));
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

  for (const kov_panel::Index index : kov_panel::drawingOrder)
    drawElement(*context, *this, kov_panel::controls[index]);

  drawCentredText("KOV COMPRESSOR", kTitleBox, UIFont("HelveticaNeue-CondensedBold", 22), colorMain);

  // Fixed rectangles in canvas units: they follow neither the element scale nor the frame.
  for (const KOVPanelControl& control : kov_panel::controls)
    this->*control.path = UIBezierPath(control.hotspot);

  context->restoreGState();
}
