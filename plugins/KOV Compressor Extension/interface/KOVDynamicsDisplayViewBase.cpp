#include "KOVDynamicsDisplayViewBase.h"

#include <algorithm>
#include <cmath>

#include "EditorDrawing.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGSize kMeterCanvas{206, 106};
// The meter symbol stands on (153, 242) of the main canvas, like the panel's meter symbol.
constexpr CGPoint kMeterAnchor{153, 242};
constexpr CGRect kMeterSymbol{0, -106, 206, 106};
constexpr CGFloat kMarkTravel = 90;
constexpr CGFloat kMarkAlpha = 0.6;

// One mark: a straight segment drawn pointing up from its pivot, turned by its value.
void drawMark(CGContext& context, CGFloat value, CGPoint pivot, CGPoint from, CGPoint to,
              const UIColor& color, CGFloat lineWidth) {
  context.saveGState();
  context.translateBy(pivot.x, pivot.y);
  context.rotate(radians((2 * value - 1) * kMarkTravel));
  UIBezierPath mark;
  mark.move(from);
  mark.addLine(to);
  strokeLine(mark, color, lineWidth);
  context.restoreGState();
}

}  // namespace

void KOVDynamicsDisplayViewBase::drawMain(CGRect frame, ResizingBehavior0 resizing) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  context->saveGState();
  mapCanvas(*context, resizing.apply(kCanvas, frame, *this), kCanvas.size);

  context->saveGState();
  context->translateBy(kMeterAnchor.x, kMeterAnchor.y);
  context->saveGState();
  context->clip(kMeterSymbol);
  context->translateBy(kMeterSymbol.origin.x, kMeterSymbol.origin.y);
  drawSymbolMeter({{0, 0}, kMeterCanvas}, ResizingBehavior::stretch, value1, value2, value3, value4,
                  valueThreshold);
  context->restoreGState();
  context->restoreGState();

  context->restoreGState();
}

namespace {

// A rectangle of the main canvas in view points, where drawMain places the canvas in `frame`.
CGRect canvasToView(CGRect canvasRect, CGRect frame, ResizingBehavior0 resizing) {
  const CGRect& canvas = KOVDynamicsDisplayViewBase::kCanvas;
  const CGRect placed = ResizingBehavior(resizing.value()).apply(canvas, frame);
  const CGFloat sx = placed.width() / canvas.size.width, sy = placed.height() / canvas.size.height;
  return CGRect(placed.minX() + canvasRect.minX() * sx, placed.minY() + canvasRect.minY() * sy,
                canvasRect.width() * sx, canvasRect.height() * sy);
}

}  // namespace

CGRect KOVDynamicsDisplayViewBase::marksRect(CGRect frame, ResizingBehavior0 resizing) {
  const CGRect symbol(kMeterAnchor.x + kMeterSymbol.origin.x, kMeterAnchor.y + kMeterSymbol.origin.y,
                      kMeterSymbol.size.width, kMeterSymbol.size.height);
  const CGRect r = canvasToView(symbol, frame, resizing);
  return CGRect(r.minX() - 1, r.minY() - 1, r.width() + 2, r.height() + 2);
}

CGRect KOVDynamicsDisplayViewBase::markRect(CGRect frame, int mark, CGFloat value,
                                            ResizingBehavior0 resizing) {
  struct Geometry {
    CGPoint pivot, from, to;
    CGFloat lineWidth;
  };
  // As drawSymbolMeter draws them, on the meter canvas.
  static constexpr Geometry marks[4] = {{{103.5, 97.5}, {0, -80}, {0, 0}, 4},
                                        {{103.5, 97.5}, {0, -80}, {0, 0}, 4},
                                        {{103, 97.01}, {0.5, -87.51}, {0.5, -86.51}, 5},
                                        {{103, 97.02}, {0.5, -87.52}, {0.5, -86.52}, 5}};
  const Geometry& g = marks[std::clamp(mark, 1, 4) - 1];
  const CGFloat angle = radians((2 * value - 1) * kMarkTravel);
  const CGFloat c = std::cos(angle), s = std::sin(angle);
  const auto turned = [&](CGPoint p) {
    return CGPoint{g.pivot.x + p.x * c - p.y * s, g.pivot.y + p.x * s + p.y * c};
  };
  const CGPoint a = turned(g.from), b = turned(g.to);
  const CGFloat grow = g.lineWidth / 2 + 1;
  // The meter canvas lies at (153, 136) of the main canvas, unscaled.
  const CGFloat x0 = kMeterAnchor.x + std::min(a.x, b.x) - grow,
                x1 = kMeterAnchor.x + std::max(a.x, b.x) + grow;
  const CGFloat y0 = kMeterAnchor.y + kMeterSymbol.origin.y + std::min(a.y, b.y) - grow;
  const CGFloat y1 = kMeterAnchor.y + kMeterSymbol.origin.y + std::max(a.y, b.y) + grow;
  const CGRect r = canvasToView(CGRect(x0, y0, x1 - x0, y1 - y0), frame, resizing);
  if (!std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) || !std::isfinite(r.size.width) ||
      !std::isfinite(r.size.height))
    return r;
  return r.intersection(marksRect(frame, resizing));
}

void KOVDynamicsDisplayViewBase::drawSymbolMeter(CGRect frame, ResizingBehavior resizing, CGFloat valueMeter1,
                                                 CGFloat valueMeter2, CGFloat valueMeter3,
                                                 CGFloat valueMeter4, CGFloat /*valueKnob*/) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  context->saveGState();
  mapCanvas(*context, resizing.apply({{0, 0}, kMeterCanvas}, frame), kMeterCanvas);

  const UIColor mark1 = colorSelected1.withAlphaComponent(kMarkAlpha);
  const UIColor mark2 = colorSelected2.withAlphaComponent(kMarkAlpha);
  // Dots are 1-unit segments with round caps, 87 units out: short blobs about 5 across. Needle 1
  // is drawn last, on top.
  drawMark(*context, valueMeter4, {103, 97.02}, {0.5, -87.52}, {0.5, -86.52}, mark2, 5);
  drawMark(*context, valueMeter3, {103, 97.01}, {0.5, -87.51}, {0.5, -86.51}, mark1, 5);
  drawMark(*context, valueMeter2, {103.5, 97.5}, {0, -80}, {0, 0}, mark2, 4);
  drawMark(*context, valueMeter1, {103.5, 97.5}, {0, -80}, {0, 0}, mark1, 4);

  context->restoreGState();
}
