// The drawing benchmarks' baseline: one plain cairo_paint of an image of the measured size, in
// the same run, so that a frame's cost reads against the cheapest full-surface fill.
#pragma once

#include <benchmark/benchmark.h>
#include <cairo.h>

#include "CoreGraphics/CGBitmapContext.h"

inline void paintBaseline(benchmark::State& state, CGFloat width, CGFloat height, CGFloat scale) {
  CGBitmapContext image(width, height, scale);
  cairo_t* cr = image.context().cairo();
  for (auto _ : state) {
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
    cairo_paint(cr);
    cairo_surface_flush(image.surface());
  }
  state.SetItemsProcessed(state.iterations());
}
