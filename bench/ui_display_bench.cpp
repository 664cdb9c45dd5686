// Display passes of a 1024 x 680 point window (headless, scale 1), each beside the baseline of one
// plain cairo_paint of a surface of the same size in the same run:
// - a full frame: a panel view of a few hundred path operations and a dozen centred text boxes,
//   and a small meter view over it, both marked, redrawn into their backings and composited;
// - the meter alone marked (the 25 Hz case): only it is redrawn, only its rectangle composited;
// - compositing alone: nothing redrawn, the whole window composited from the backings (what a
//   pan or zoom of the panel costs per frame);
// - the panel's own drawing alone, into a plain image with the pass's antialiasing, no compositor:
//   what the full frame costs before the pass adds anything.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <numbers>
#include <string>

#include "CoreGraphics/CGBitmapContext.h"
#include "paint_baseline.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UIKitTesting.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

constexpr CGFloat kWidth = 1024, kHeight = 680;

// Six rows of eight knobs (ring, pointer, two dots: four operations each, 192 in all), a grid of
// 64 lines, a dozen rounded boxes with a dashed curve each and a dozen centred text boxes.
class PanelView : public UIView {
 public:
  static std::shared_ptr<PanelView> make() { return std::shared_ptr<PanelView>(new PanelView()); }

  void draw(const CGRect& rect) override {
    CGContext* cg = UIGraphicsGetCurrentContext();
    UIColor(0.15, 0.15, 0.15, 1).setFill();
    UIBezierPath(rect).fill();
    UIColor(0.8, 0.8, 0.8, 1).setStroke();
    for (int i = 0; i < 64; ++i) {
      UIBezierPath line;
      line.move({0, i * 10.5});
      line.addLine({kWidth, i * 10.5 + 3});
      line.stroke();
    }
    for (int row = 0; row < 6; ++row) {
      for (int col = 0; col < 8; ++col) {
        const CGPoint c{64 + col * 120.0, 60 + row * 100.0};
        UIBezierPath ring = UIBezierPath::ovalIn(CGRect(c.x - 25, c.y - 25, 50, 50));
        ring.lineWidth = 3;
        ring.stroke();
        cg->saveGState();
        cg->translateBy(c.x, c.y);
        cg->rotate((row * 8 + col) * 0.1);
        UIBezierPath pointer;
        pointer.move({0, -18});
        pointer.addLine({0, 0});
        pointer.lineWidth = 4;
        pointer.lineCapStyle = CGLineCap::round;
        pointer.stroke();
        cg->restoreGState();
        UIBezierPath::ovalIn(CGRect(c.x - 22, c.y + 26, 5, 5)).fill();
        UIBezierPath::ovalIn(CGRect(c.x + 17, c.y + 26, 5, 5)).fill();
      }
    }
    NSStringAttributes attributes;
    attributes.font = UIFont("HelveticaNeue", 12);
    attributes.foregroundColor = UIColor::white();
    NSParagraphStyle centred;
    centred.alignment = NSTextAlignment::center;
    attributes.paragraphStyle = centred;
    for (int i = 0; i < 12; ++i) {
      const CGRect box(20 + (i % 6) * 165.0, 20 + (i / 6) * 600.0, 150, 40);
      UIBezierPath::roundedRect(box, 4).stroke();
      cg->saveGState();
      cg->setLineDash(0, {2, 3});
      UIBezierPath dome;
      dome.move({box.minX(), box.maxY()});
      dome.addCurve({box.maxX(), box.maxY()}, {box.minX() + 30, box.minY()}, {box.maxX() - 30, box.minY()});
      dome.stroke();
      cg->restoreGState();
      const NSString text(texts_[i]);
      const CGFloat h =
          text.boundingRect(CGSize{box.size.width, 1e9}, usesLineFragmentOrigin, attributes).size.height;
      cg->saveGState();
      cg->clip(box);
      text.draw(CGRect(box.minX(), box.minY() + (box.size.height - h) / 2, box.size.width, h), attributes);
      cg->restoreGState();
    }
  }

 private:
  PanelView() : UIView(CGRect(0, 0, kWidth, kHeight)) {
    for (int i = 0; i < 12; ++i)
      texts_[i] = "Threshold " + std::to_string(i) + " dB wraps on two lines";
  }
  std::string texts_[12];
};

// A level bar that changes every frame.
class MeterView : public UIView {
 public:
  static std::shared_ptr<MeterView> make() { return std::shared_ptr<MeterView>(new MeterView()); }
  void draw(const CGRect& rect) override {
    level_ = level_ > 0.95 ? 0.05 : level_ + 0.01;
    UIColor(0, 0.8, 0.2, 1).setFill();
    UIBezierPath(CGRect(rect.origin.x, rect.origin.y, rect.size.width * level_, rect.size.height)).fill();
  }

 private:
  MeterView() : UIView(CGRect(880, 600, 120, 16)) {}
  CGFloat level_ = 0.5;
};

struct Scene {
  Scene() {
    UIWindow::useBackend(UIWindowBackendKind::headless);
    window = UIWindow::make(CGRect(0, 0, kWidth, kHeight));
    window->setBackgroundColor(UIColor::black());
    panel = PanelView::make();
    meter = MeterView::make();
    window->addSubview(panel);
    panel->addSubview(meter);
    UITestSupport::display(*window);
  }
  std::shared_ptr<UIWindow> window;
  std::shared_ptr<PanelView> panel;
  std::shared_ptr<MeterView> meter;
};

void BM_PaintBaseline(benchmark::State& state) {
  paintBaseline(state, kWidth, kHeight, 1);
}
BENCHMARK(BM_PaintBaseline)->Unit(benchmark::kMicrosecond);

void BM_FullFrame(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.panel->setNeedsDisplay();
    scene.meter->setNeedsDisplay();
    UITestSupport::display(*scene.window);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMicrosecond);

void BM_PanelDrawAlone(benchmark::State& state) {
  auto panel = PanelView::make();
  CGBitmapContext image(kWidth, kHeight);
  cairo_t* cr = image.context().cairo();
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
  UIGraphicsContextScope scope(&image.context());
  for (auto _ : state) {
    image.fill({0, 0, 0, 0});
    panel->draw(panel->bounds());
    cairo_surface_flush(image.surface());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PanelDrawAlone)->Unit(benchmark::kMicrosecond);

void BM_OverlayOnly(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.meter->setNeedsDisplay();
    UITestSupport::display(*scene.window);
  }
  if (UIViewTesting::drawCount(*scene.panel) != 1)
    state.SkipWithError("the panel was redrawn");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OverlayOnly)->Unit(benchmark::kMicrosecond);

void BM_CompositeOnly(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.window->invalidateAll();
    UITestSupport::display(*scene.window);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompositeOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
