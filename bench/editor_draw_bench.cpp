// Editor drawing cost: a full redraw of frame + panel + gauge at the design size (512 x 340) and
// at twice that, and a gauge-only redraw (the 25 Hz meter path: its backing surface cleared and
// the four marks drawn), each beside a plain fill of the same surface in the same run. The full
// redraw runs again with Cairo's fast antialiasing, which the compositor sets for every view (the
// drawing context strokes dashed paths with the default antialiasing even then). Goals: under
// 2 ms for the full editor at 1024 x 680, under 0.5 ms for the gauge alone.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <memory>

#include "CoreGraphics/CGBitmapContext.h"
#include "KOVCompressorView.h"
#include "KOVDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "UIKit/UIGraphics.h"

namespace {

struct Editor {
  explicit Editor(CGFloat scale)
      : bounds(0, 0, 512 * scale, 340 * scale),
        image(bounds.width(), bounds.height()),
        frame(PluginFrameEx::make(bounds)),
        panel(KOVCompressorView::make(bounds)),
        gauge(KOVDynamicsDisplayView::make(bounds)) {
    gauge->setCompressionValues(0.8f, 0.65f);
    gauge->setOutputValues(0.7f, 0.75f);
  }
  CGRect bounds;
  CGBitmapContext image;
  std::shared_ptr<PluginFrameEx> frame;
  std::shared_ptr<KOVCompressorView> panel;
  std::shared_ptr<KOVDynamicsDisplayView> gauge;
};

void PlainFill(benchmark::State& state) {
  Editor editor(CGFloat(state.range(0)) / 100);
  for (auto _ : state) {
    editor.image.fill({0.1, 0.1, 0.1, 1});
    benchmark::DoNotOptimize(editor.image.surface());
  }
}

// Clears the image and draws frame, panel and gauge over the whole editor, once an iteration.
void redrawEveryIteration(benchmark::State& state, Editor& editor) {
  for (auto _ : state) {
    editor.image.fill({0.1, 0.1, 0.1, 1});
    editor.frame->draw(editor.bounds);
    editor.panel->draw(editor.bounds);
    editor.gauge->draw(editor.bounds);
    benchmark::DoNotOptimize(editor.image.surface());
  }
}

void FullRedraw(benchmark::State& state) {
  Editor editor(CGFloat(state.range(0)) / 100);
  UIGraphicsContextScope scope(&editor.image.context());
  redrawEveryIteration(state, editor);
}

// The full redraw into a Cairo context set up as the compositor sets up a view's.
void FullRedrawFastAntialias(benchmark::State& state) {
  Editor editor(CGFloat(state.range(0)) / 100);
  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(editor.image.surface()), cairo_destroy);
  cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_FAST);
  CGContext context(cr.get());
  UIGraphicsContextScope scope(&context);
  redrawEveryIteration(state, editor);
}

void GaugeRedraw(benchmark::State& state) {
  Editor editor(CGFloat(state.range(0)) / 100);
  UIGraphicsContextScope scope(&editor.image.context());
  float value = 0;
  for (auto _ : state) {
    // A moving meter: different values on every frame.
    value = value > 1 ? 0 : value + 0.01f;
    editor.gauge->setCompressionValues(value, 1 - value);
    editor.image.fill({0, 0, 0, 0});
    editor.gauge->draw(editor.bounds);
    benchmark::DoNotOptimize(editor.image.surface());
  }
}

// The argument is the scale in percent: 100 for 512 x 340, 200 for 1024 x 680.
BENCHMARK(PlainFill)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(FullRedraw)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(FullRedrawFastAntialias)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(GaugeRedraw)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
