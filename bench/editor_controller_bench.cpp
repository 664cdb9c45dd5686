// Editor controller cost, the whole editor in a headless 1024 x 680 window: one meter tick (four
// meter reads from the unit, the gauge's setters with moving values, the display pass that
// redraws the gauge and composites it) and one panel drag step (touch routed through the
// recognisers to the panel, canvas mapping, new value, delegate call into the unit, the tree's
// observer round trip back to the panel, and the display pass). Beside them in the same run: the
// gauge-only draw into an image of the same size, the baseline the meter path adds to. Goal:
// meters at 25 Hz under 2 % of one core, i.e. a tick under 0.8 ms.
//
// Standard output goes to /dev/null while a benchmark runs: the panel and the kernel print a
// line per edit, and the terminal's cost is not the editor's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "AudioUnitViewController.h"
#include "CoreGraphics/CGBitmapContext.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/Timer.h"
#include "Dispatch/testing/TestClock.h"
#include "KOV_Compressor_Extension_AudioUnit.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
  }

 private:
  int saved_;
};

class BenchController : public AudioUnitViewController {
 public:
  using AudioUnitViewController::onTimer;
};

struct EditorWindow {
  EditorWindow() {
    UIWindow::useBackend(UIWindowBackendKind::headless);
    TestClock::enable();  // the meter timer stays still; the benchmark calls the tick itself
    controller = std::make_shared<BenchController>();
    controller->createAudioUnit({0x61756D66, 0x6B766331, 0x51464C44, 2, 0});
    window = UIWindow::make({0, 0, 1024, 680});
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    MainLoop::runUntilIdle();
    UITestSupport::display(*window);
  }
  ~EditorWindow() {
    window.reset();
    controller.reset();
    MainLoop::runUntilIdle();
    TestClock::disable();
  }
  std::shared_ptr<BenchController> controller;
  std::shared_ptr<UIWindow> window;
};

void GaugeOnlyDraw(benchmark::State& state) {
  const CGRect bounds(0, 0, 1024, 680);
  CGBitmapContext image(bounds.width(), bounds.height());
  auto gauge = KOVDynamicsDisplayView::make(bounds);
  UIGraphicsContextScope scope(&image.context());
  float value = 0;
  for (auto _ : state) {
    value = value > 1 ? 0 : value + 0.01f;
    gauge->setCompressionValues(value, 1 - value);
    image.fill({0, 0, 0, 0});
    gauge->draw(bounds);
    benchmark::DoNotOptimize(image.surface());
  }
}

void MeterTick(benchmark::State& state) {
  QuietStdout quiet;
  EditorWindow editor;
  auto& controller = *editor.controller;
  auto& timer = *controller.timer;
  float value = 0;
  for (auto _ : state) {
    // A moving signal: the gauge holds another value than the unit's meters before every tick,
    // so each tick's setters change it and the gauge is redrawn.
    value = value > 1 ? 0 : value + 0.01f;
    controller.displayView->baseClass().value1 = value;
    controller.onTimer(timer);
    UITestSupport::display(*editor.window);
  }
  state.counters["core_percent_at_25Hz"] =
      // (seconds per tick) x 25 ticks x 100 %: the inverted rate of 1/2500 per iteration.
      benchmark::Counter(1.0 / 2500,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// What a playing loop mostly does to the gauge: the compression needles rest, the two output dots
// move a little (a few points) every tick, so each pass redraws and composites a small part.
void MeterTickSmallMoves(benchmark::State& state) {
  QuietStdout quiet;
  EditorWindow editor;
  auto& gauge = *editor.controller->displayView;
  gauge.setCompressionValues(1, 1);
  UITestSupport::display(*editor.window);
  int step = 0;
  for (auto _ : state) {
    step = (step + 1) % 8;
    const float level = 0.93f + 0.004f * float(step);
    gauge.setOutputValues(level, level - 0.002f);
    UITestSupport::display(*editor.window);
  }
}

void PanelDragStep(benchmark::State& state) {
  QuietStdout quiet;
  EditorWindow editor;
  UITestSupport::TouchInjector fingers(*editor.window);
  // A finger held on the mix knob (window 857, 402 with the panel at scale 2), moving up and down
  // by 20 points each step (the mix knob prints nothing of its own, unlike threshold).
  const CGPoint knob{857, 402};
  fingers.down(0, knob);
  bool up = false;
  for (auto _ : state) {
    up = !up;
    fingers.move(0, {knob.x, knob.y + (up ? -20 : 0)});
    MainLoop::runUntilIdle();  // the observer's block, back to the panel
    UITestSupport::display(*editor.window);
  }
  fingers.up(0, knob);
}

}  // namespace

BENCHMARK(GaugeOnlyDraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(MeterTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(MeterTickSmallMoves)->Unit(benchmark::kMicrosecond);
BENCHMARK(PanelDragStep)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
