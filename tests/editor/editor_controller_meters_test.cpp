// The meter timer: one tick every 0.04 s on the test clock, feeding the gauge the unit's four
// meters only when there is a unit, the host has not bypassed it, the panel can be seen and
// parameter 7 is exactly 0.
#include <gtest/gtest.h>

#include <functional>

#include "EditorControllerTestSupport.h"
#include "KOVParameterAddresses.h"
#include "UIKit/testing/UIKitTesting.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

using namespace editor_controller_test;

// A gauge that records what the timer hands it, in order.
class RecordingGauge : public KOVDynamicsDisplayView {
 public:
  static std::shared_ptr<RecordingGauge> make() {
    return std::shared_ptr<RecordingGauge>(new RecordingGauge);
  }
  void setCompressionValues(float value1, float value2) override { calls.push_back({'C', value1, value2}); }
  void setOutputValues(float value3, float value4) override { calls.push_back({'O', value3, value4}); }
  struct Call {
    char kind;
    float a, b;
  };
  std::vector<Call> calls;

 private:
  RecordingGauge() : KOVDynamicsDisplayView(CGRect()) {}
};

// A controller of `unit` as the root of a visible window of the editor's size, laid out.
std::pair<std::shared_ptr<AudioUnitViewController>, std::shared_ptr<UIWindow>> showEditorOf(
    const std::shared_ptr<KOV_Compressor_Extension_AudioUnit>& unit) {
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->setAudioUnit(unit);
  return {controller, showInWindow(controller, {0, 0, 1024, 680})};
}

TEST_F(EditorControllerTest, MeterTicksFeedTheGaugeOnlyWhenTheEffectCanBeSeenWorking) {
  const auto unit = quietUnit();
  const auto [controller, window] = showEditorOf(unit);
  auto gauge = RecordingGauge::make();
  controller->displayView = gauge;

  {
    SCOPED_TRACE("one tick per 0.04 s: dynamics pair, then peak pair, as the unit reads them");
    TestClock::advance(0.04 * 3);
    ASSERT_EQ(gauge->calls.size(), 6u);
    for (std::size_t i = 0; i < 6; i += 2) {
      EXPECT_EQ(gauge->calls[i].kind, 'C');
      EXPECT_EQ(gauge->calls[i].a, unit->getDynamicsValue1());
      EXPECT_EQ(gauge->calls[i].b, unit->getDynamicsValue2());
      EXPECT_EQ(gauge->calls[i + 1].kind, 'O');
      EXPECT_EQ(gauge->calls[i + 1].a, unit->getPeakValue1());
      EXPECT_EQ(gauge->calls[i + 1].b, unit->getPeakValue2());
    }
  }

  const CGRect fitted = controller->pluginView->frame();
  struct Gate {
    const char* name;
    std::function<void()> close, open;
    bool fed;  // whether a tick still feeds the gauge while closed
  };
  const Gate gates[] = {
      {"host bypass", [&] { unit->setShouldBypassEffect(true); }, [&] { unit->setShouldBypassEffect(false); },
       false},
      {"panel bypass on", [&] { unit->setParameter(kov_address::bypass, 1.0f); },
       [&] { unit->setParameter(kov_address::bypass, 0.0f); }, false},
      {"panel bypass half on (only exactly 0 passes)", [&] { unit->setParameter(kov_address::bypass, 0.5f); },
       [&] { unit->setParameter(kov_address::bypass, 0.0f); }, false},
      {"container hidden", [&] { controller->pluginView->setHidden(true); },
       [&] { controller->pluginView->setHidden(false); }, false},
      {"panel hidden", [&] { controller->mainView->setHidden(true); },
       [&] { controller->mainView->setHidden(false); }, false},
      {"container moved wholly outside the view",
       [&] {
         controller->pluginView->setFrame({1024, 0, 512, 340});
       },
       [&] { controller->pluginView->setFrame(fitted); }, false},
      {"container overlapping the view's edge",
       [&] {
         controller->pluginView->setFrame({1000, 600, 512, 340});
       },
       [&] { controller->pluginView->setFrame(fitted); }, true},
      {"the top-most view (the window) hidden is not looked at", [&] { window->setHidden(true); },
       [&] { window->setHidden(false); }, true},
      {"panel out of the window", [&] { controller->view()->removeFromSuperview(); },
       [&] { window->setRootViewController(controller); }, false},
  };
  for (const Gate& gate : gates) {
    SCOPED_TRACE(gate.name);
    gate.close();
    gauge->calls.clear();
    TestClock::advance(0.04);
    EXPECT_EQ(gauge->calls.size(), gate.fed ? 2u : 0u);
    gate.open();
    gauge->calls.clear();
    TestClock::advance(0.04);
    EXPECT_EQ(gauge->calls.size(), 2u);
  }
  {
    SCOPED_TRACE("no unit: a warning on every tick and nothing fed");
    controller->setAudioUnit(nullptr);
    MainLoop::runUntilIdle();
    gauge->calls.clear();
    stdout_capture::beginCapture();
    TestClock::advance(0.04 * 2);
    EXPECT_EQ(endCapture(), (Lines{"WARNING: The Audio unit is not initialized.",
                                   "WARNING: The Audio unit is not initialized."}));
    EXPECT_TRUE(gauge->calls.empty());
  }
}

TEST_F(EditorControllerTest, GaugeRedrawsOnlyWhenAMeterMoves) {
  const auto unit = quietUnit();
  const auto [controller, window] = showEditorOf(unit);
  TestClock::advance(0.04);
  UITestSupport::display(*window);
  const auto draws = UIViewTesting::drawCount(*controller->displayView);
  TestClock::advance(0.04 * 10);  // a still signal: the same four values every tick
  UITestSupport::display(*window);
  EXPECT_EQ(UIViewTesting::drawCount(*controller->displayView), draws);
}

TEST_F(EditorControllerTest, MeterTicksThatChangeNothingMakeNoDisplayPass) {
  const auto unit = quietUnit();
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->setAudioUnit(unit);
  auto window = UIWindow::make({0, 0, 1024, 680});
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  TestClock::advance(0.04);  // the first tick hands the gauge the unit's values
  MainLoop::runUntilIdle();
  const auto passes = window->displayPassCount();
  {
    SCOPED_TRACE("equal values");
    TestClock::advance(0.04 * 5);
    MainLoop::runUntilIdle();
    EXPECT_EQ(window->displayPassCount(), passes);
  }
  const auto gauge = controller->displayView;
  KOVDynamicsDisplayViewBase& base = gauge->baseClass();
  {
    SCOPED_TRACE("gated: bypassed by the panel, the gauge is not fed");
    unit->setParameter(kov_address::bypass, 1.0f);
    MainLoop::runUntilIdle();  // the panel shows the switch
    const auto gated = window->displayPassCount();
    base.value1 = 0.123;  // differs from the unit's, but no tick passes it on
    TestClock::advance(0.04 * 5);
    MainLoop::runUntilIdle();
    EXPECT_EQ(window->displayPassCount(), gated);
    EXPECT_FALSE(gauge->needsDisplay());
  }
  {
    SCOPED_TRACE("a changed value: one pass, composited over the marks' part only");
    unit->setParameter(kov_address::bypass, 0.0f);
    MainLoop::runUntilIdle();  // the panel shows the switch
    const auto before = window->displayPassCount();
    TestClock::advance(0.04);
    MainLoop::runUntilIdle();
    EXPECT_EQ(window->displayPassCount(), before + 1);
    const CGRect marks = gauge->convert(gauge->marksRect(), window.get());
    const CGRect damage = window->lastDamage();
    EXPECT_FALSE(damage.isEmpty());
    EXPECT_EQ(damage.united(marks.insetBy(-1, -1)), marks.insetBy(-1, -1)) << "within the marks' part";
    EXPECT_LT(damage.size.width * damage.size.height, 0.2 * 1024 * 680);
  }
  window.reset();
  MainLoop::runUntilIdle();
}

}  // namespace
