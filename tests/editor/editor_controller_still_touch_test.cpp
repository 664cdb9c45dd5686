// Touches on the panel's controls that do not move on screen, driven by injected input in a
// headless 1000 x 500 window with the effect unit bound: a double tap puts the panel back and does
// to the parameters exactly what two separate presses do, wherever the panel was moved or zoomed
// to and at either screen scale; a press held still before its drag belongs to the control.
#include <gtest/gtest.h>

#include <array>

#include "EditorControllerTestSupport.h"
#include "KOVPanelControls.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

using namespace editor_controller_test;
using UITestSupport::TouchInjector;
using Values = std::vector<float>;

// Where the user left the panel before touching a control: a pan from the margin by `pan`, after
// a touch-pad pinch to `zoom` (1: none). Every control stays in the window.
struct Placement {
  const char* name;
  CGFloat zoom;
  CGPoint pan;
};

constexpr std::array<Placement, 4> kPlacements{{
    {"fitted", 1, {0, 0}},
    {"dragged 80 points down", 1, {0, 80}},
    {"zoomed out and moved", 0.55, {-90, 60}},
    {"zoomed in and moved", 1.3, {-60, 0}},
}};

class EditorStillTouchTest : public EditorControllerTest {
 protected:
  void SetUp() override {
    EditorControllerTest::SetUp();
    controller = std::make_shared<AudioUnitViewController>();
    std::shared_ptr<NSError> error;
    ASSERT_NE(controller->createAudioUnitWithComponentDescription(kEffectDescription, &error), nullptr);
    window = showInWindow(controller, {0, 0, 1000, 500});
    fingers = std::make_unique<TouchInjector>(*window);
    settle();
  }
  void TearDown() override {
    fingers.reset();
    window.reset();
    controller.reset();
    EditorControllerTest::TearDown();
  }

  // Edits reach the unit, the panel redraws (recording the scale the touches map with), and the
  // next touch is no second tap of the last one.
  void settle() {
    MainLoop::runUntilIdle();
    UITestSupport::display(*window);
    TestClock::advance(1);
  }
  Values values() const {
    Values all;
    for (const auto& parameter : controller->audioUnit()->parameterTree()->allParameters())
      all.push_back(parameter->value());
    return all;
  }
  void setValues(const Values& all) {
    const auto parameters = controller->audioUnit()->parameterTree()->allParameters();
    for (std::size_t i = 0; i < parameters.size(); ++i)
      parameters[i]->setValue(all[i]);
    settle();
  }
  CGRect panelFrame() const { return controller->pluginView->frame(); }
  void place(const Placement& placement) {
    if (placement.zoom != 1) {
      fingers->pinchBegan({500, 250});
      fingers->pinchChanged(placement.zoom);
      fingers->pinchEnded();
      settle();
    }
    if (placement.pan.x != 0 || placement.pan.y != 0) {
      const CGPoint from{960, 250};  // right of the fitted panel, clear of the side controls
      fingers->drag(from, {from.x + placement.pan.x, from.y + placement.pan.y});
      settle();
    }
  }
  // The centre of a control's hit rectangle in the window, if the panel is hit there.
  std::optional<CGPoint> windowPoint(const KOVPanelControl& control) const {
    const CGSize scale = controller->mainView->baseClass().viewScale;
    const CGPoint inPanel{(control.hotspot.minX() + control.hotspot.width() / 2) * scale.width,
                          (control.hotspot.minY() + control.hotspot.height() / 2) * scale.height};
    const CGPoint at = controller->mainView->convert(inPanel, nullptr);
    if (window->hitTest(at, nullptr) != controller->mainView)
      return std::nullopt;
    return at;
  }
  bool sideControlsShown() const { return !controller->contrastButton->isHidden(); }

  std::shared_ptr<AudioUnitViewController> controller;
  std::shared_ptr<UIWindow> window;
  std::unique_ptr<TouchInjector> fingers;
};

TEST_F(EditorStillTouchTest, ADoubleTapOnAControlDoesWhatTwoPressesDoWhereverThePanelIs) {
  for (const CGFloat screenScale : {1.0, 2.0}) {
    window->setScreenScale(screenScale);
    for (const Placement& placement : kPlacements) {
      for (const KOVPanelControl& control : kov_panel::controls) {
        SCOPED_TRACE(testing::Message() << "screen scale " << screenScale << ", " << placement.name << ", "
                                        << control.name);
        // What two separate presses do, on the panel in its fitted place.
        const Values before = values();
        const auto fittedPoint = windowPoint(control);
        ASSERT_TRUE(fittedPoint);
        fingers->tap(*fittedPoint);
        settle();
        fingers->tap(*fittedPoint);
        settle();
        const Values twoPresses = values();
        setValues(before);

        place(placement);
        const auto at = windowPoint(control);
        ASSERT_TRUE(at);
        fingers->tap(*at);
        fingers->tap(*at);
        settle();
        EXPECT_EQ(panelFrame(), kFittedIn1000x500);
        EXPECT_EQ(values(), twoPresses);
        if (control.kind == KOVPanelControlKind::knob) {
          EXPECT_EQ(values(), before);
        }
        setValues(before);
      }
    }
  }
}

TEST_F(EditorStillTouchTest, APressHeldStillOnAControlBelongsToTheControl) {
  for (const Placement& placement : {kPlacements[0], kPlacements[2]}) {
    for (const KOVPanelControl& control : kov_panel::controls) {
      if (control.address == KOVPanelControl::kNone)
        continue;
      SCOPED_TRACE(testing::Message() << placement.name << ", " << control.name);
      const Values before = values();
      place(placement);
      const auto at = windowPoint(control);
      ASSERT_TRUE(at);
      const CGPoint to{at->x + 10, at->y - 50};
      // The same drag without the pause, as the reference.
      fingers->drag(*at, to);
      settle();
      const Values dragged = values();
      setValues(before);
      ASSERT_EQ(windowPoint(control), at);

      fingers->down(0, *at);
      TestClock::advance(0.6);  // past the long press's half second
      for (int i = 1; i <= 4; ++i)
        fingers->move(0, {at->x + (to.x - at->x) * i / 4, at->y + (to.y - at->y) * i / 4});
      fingers->up(0, to);
      settle();
      EXPECT_TRUE(sideControlsShown());
      EXPECT_EQ(values(), dragged);
      EXPECT_FALSE(controller->touchesLocked());
      setValues(before);
      fingers->tap({20, 450});  // a double tap in the margin puts the panel back
      fingers->tap({20, 450});
      settle();
    }
  }
  {
    SCOPED_TRACE("on the gauge, which edits nothing, a long press still shows and hides them");
    const auto at = windowPoint(kov_panel::controls[kov_panel::meter]);
    ASSERT_TRUE(at);
    fingers->down(0, *at);
    TestClock::advance(0.6);
    fingers->up(0, *at);
    EXPECT_FALSE(sideControlsShown());
  }
}

}  // namespace
