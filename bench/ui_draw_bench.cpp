// Costs of the drawing layer on a 1024 x 680 pixel image (the 512 x 340 panel at scale 2), each
// beside the baseline of one plain cairo_paint of the same surface in the same run:
// - a frame of a few hundred path operations (rings, pointers, dots, rounded rects, dashed
//   curves, lines) through UIBezierPath and CGContext, as the editor's drawers issue them;
// - one centred, word-wrapped text box: measured, then drawn under a clip (the drawers' pattern),
//   and the measurement alone; each with the layout cache warm (a label redrawn) and cold (new
//   text every time).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <numbers>

#include "CoreGraphics/CGBitmapContext.h"
#include "paint_baseline.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/internal/TextLayoutCache.h"

namespace {

constexpr CGFloat kWidth = 512, kHeight = 340, kScale = 2;

void BM_PaintBaseline(benchmark::State& state) {
  paintBaseline(state, kWidth, kHeight, kScale);
}
BENCHMARK(BM_PaintBaseline)->Unit(benchmark::kMicrosecond);

// One knob: ring, rotated pointer and two end dots (four path operations).
void drawKnob(CGContext& cg, CGPoint centre, CGFloat value) {
  cg.saveGState();
  cg.translateBy(centre.x - 45, centre.y - 45);
  UIBezierPath ring = UIBezierPath::ovalIn(CGRect(21, 19.5, 50, 50));
  ring.lineWidth = 3;
  ring.stroke();
  cg.saveGState();
  cg.translateBy(46, 45.5);
  cg.rotate((2 * value - 1) * 145 * std::numbers::pi / 180);
  UIBezierPath pointer;
  pointer.move({0, -18});
  pointer.addLine({0, 0});
  pointer.lineWidth = 4;
  pointer.lineCapStyle = CGLineCap::round;
  pointer.lineJoinStyle = CGLineJoin::round;
  pointer.stroke();
  cg.restoreGState();
  UIBezierPath::ovalIn(CGRect(23.5, 71, 5, 5)).fill();
  UIBezierPath::ovalIn(CGRect(63.5, 71, 5, 5)).fill();
  cg.restoreGState();
}

// A dashed dome of three cubic curves and a base line (two path operations).
void drawDome(CGContext& cg, CGPoint origin) {
  cg.saveGState();
  cg.translateBy(origin.x, origin.y);
  UIBezierPath dome;
  dome.move({198.5, 103});
  dome.addLine({9, 103});
  dome.addCurve({72.55, 8.55}, {9, 59.31}, {35.55, 22.16});
  dome.addCurve({103.75, 3}, {82.32, 4.95}, {92.82, 3});
  dome.addCurve({198.5, 103}, {156.08, 3}, {198.5, 47.77});
  dome.close();
  dome.lineWidth = 2;
  cg.saveGState();
  cg.setLineDash(0, {2, 3});
  dome.stroke();
  cg.restoreGState();
  UIBezierPath base;
  base.move({3, 103});
  base.addLine({203, 103});
  base.lineWidth = 3;
  base.lineCapStyle = CGLineCap::round;
  base.lineJoinStyle = CGLineJoin::bevel;
  base.stroke();
  cg.restoreGState();
}

// 60 knobs (240), 4 domes (8) and 60 rounded rectangles filled and stroked (120): 368 paths.
int drawPathFrame(CGContext& cg) {
  int paths = 0;
  UIColor(0.753, 0.753, 0.753, 1).setStroke();
  UIColor(0.76, 0.29, 0.29, 1).setFill();
  for (int i = 0; i < 60; ++i) {
    drawKnob(cg, {40 + CGFloat(i % 10) * 48, 40 + CGFloat(i / 10) * 48}, CGFloat(i) / 59);
    paths += 4;
  }
  for (int i = 0; i < 4; ++i) {
    drawDome(cg, {CGFloat(i % 2) * 250, 120 + CGFloat(i / 2) * 110});
    paths += 2;
  }
  for (int i = 0; i < 60; ++i) {
    const UIBezierPath button =
        UIBezierPath::roundedRect(CGRect(6 + (i % 10) * 50, 290 + (i / 10) * 7, 44, 6), 3);
    button.fill();
    button.stroke();
    paths += 2;
  }
  return paths;
}

void BM_PathFrame(benchmark::State& state) {
  CGBitmapContext image(kWidth, kHeight, kScale);
  UIGraphicsContextScope scope(&image.context());
  int paths = 0;
  for (auto _ : state) {
    image.fill(CGColor{0.15, 0.15, 0.15, 1});
    paths = drawPathFrame(image.context());
    cairo_surface_flush(image.surface());
  }
  state.counters["paths"] = paths;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PathFrame)->Unit(benchmark::kMicrosecond);

const std::string kLabel = "a long knob label that wraps";
const CGRect kBox(9, 0, 73, 30);

NSStringAttributes centredAttributes() {
  NSParagraphStyle style;
  style.alignment = NSTextAlignment::center;
  return NSStringAttributes{UIFont::systemFont(10), UIColor(0.753, 0.753, 0.753, 1), style};
}

void BM_TextBoxMeasure(benchmark::State& state) {
  const bool cold = state.range(0) != 0;
  const NSStringAttributes attributes = centredAttributes();
  for (auto _ : state) {
    if (cold)
      TextLayoutCache::shared().clear();
    const CGRect r =
        NSString(kLabel).boundingRect({kBox.width(), INFINITY}, usesLineFragmentOrigin, attributes);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextBoxMeasure)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TextBoxCentred(benchmark::State& state) {
  CGBitmapContext image(kWidth, kHeight, kScale);
  CGContext& cg = image.context();
  UIGraphicsContextScope scope(&cg);
  const bool cold = state.range(0) != 0;
  for (auto _ : state) {
    if (cold)
      TextLayoutCache::shared().clear();
    // Made anew each time, as the drawers do.
    const NSStringAttributes attributes = centredAttributes();
    const NSString text(kLabel);
    const CGFloat h =
        text.boundingRect({kBox.width(), INFINITY}, usesLineFragmentOrigin, attributes).height();
    cg.saveGState();
    cg.clip(kBox);
    text.draw(CGRect(kBox.minX(), kBox.minY() + (kBox.height() - h) / 2, kBox.width(), h), attributes);
    cg.restoreGState();
  }
  cairo_surface_flush(image.surface());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextBoxCentred)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
