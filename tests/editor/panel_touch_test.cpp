// The panel's touch handling: hotspot search, touch-down actions, knob drags, touch-up, cancel.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "EditorTestSupport.h"
#include "KOVCompressorView.h"
#include "StdoutCapture.h"
#include "UIKit/UITouch.h"
#include "UIKit/testing/UIKitTesting.h"

namespace {

using editor_test::RecordingController;
using editor_test::RecordingDelegate;
using Sent = std::vector<std::pair<int, float>>;

// A panel of the given size, drawn once (which records its scale and hotspots), with a recording
// controller and delegate.
struct Rig {
  explicit Rig(CGFloat width, CGFloat height, bool draw = true)
      : panel(KOVCompressorView::make({0, 0, width, height})) {
    panel->setViewController(controller);
    panel->setDelegate(delegate);
    if (draw) {
      CGBitmapContext image(width, height);
      editor_test::renderView(image, *panel);
    }
  }

  // One finger: down at `from`, then moved to each point, then lifted at the last (view points).
  void touchDown(CGPoint at) {
    touch = std::make_shared<UITouch>(std::weak_ptr<UIWindow>(), at, 0.0);
    panel->touchesBegan(UITouchSet({touch}), nullptr);
  }
  void moveTo(CGPoint at) {
    touch->update(at, UITouchPhase::moved, 0.0);
    panel->touchesMoved(UITouchSet({touch}), nullptr);
  }
  void liftAt(CGPoint at) {
    touch->update(at, UITouchPhase::ended, 0.0);
    panel->touchesEnded(UITouchSet({touch}), nullptr);
  }
  // Down at `down` and lifted at `up` (a tap where both are the same point).
  void tap(CGPoint down, CGPoint up) {
    touchDown(down);
    liftAt(up);
  }
  void tap(CGPoint at) { tap(at, at); }
  void cancel() {
    touch->update(touch->windowLocation(), UITouchPhase::cancelled, 0.0);
    panel->touchesCancelled(UITouchSet({touch}), nullptr);
  }
  std::uint64_t sent(UIControlEvents event) const { return UIControlTesting::sentCount(*panel, event); }

  std::shared_ptr<RecordingController> controller = std::make_shared<RecordingController>();
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::shared_ptr<KOVCompressorView> panel;
  std::shared_ptr<UITouch> touch;
};

TEST(PanelTouch, HotspotSearchTakesTheFirstRectangleThatHoldsThePoint) {
  Rig rig(512, 340);
  const struct {
    CGPoint canvas;
    const char* name;
  } rows[] = {
      {{84, 93}, "attack"},     {{133, 93}, ""},          {{39, 44}, "attack"},    {{129, 142}, "attack"},
      {{137, 44}, "release"},   {{227, 60}, "release"},   {{228, 60}, "mode"},     {{283, 98}, "mode"},
      {{284, 60}, "threshold"}, {{400, 100}, "ratio"},    {{60, 200}, "gain"},     {{400, 250}, "mix"},
      {{100, 280}, "bypass"},   {{420, 280}, "audition"}, {{250, 280}, "caption"}, {{250, 200}, "meter"},
      {{256, 120}, ""},         {{500, 330}, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    stdout_capture::beginCapture();
    rig.panel->setHotspotMode(row.canvas);
    EXPECT_EQ(stdout_capture::endCapture(), std::string(row.name) + "\n");
    EXPECT_EQ(rig.panel->hotspotMode(), row.name);
  }
}

TEST(PanelTouch, KnobDragsFollowTheDistanceFromTouchDown) {
  // Attack's hotspot holds canvas (84, 93); both axes count half, up and right raise the value.
  const struct {
    const char* what;
    CGFloat scale;
    CGFloat startValue;
    CGPoint move;  // in view points
    float sent;
  } rows[] = {
      {"up 100 at scale 1", 1, 0.5, {0, -100}, 1.0f},
      {"right 100 at scale 1", 1, 0.5, {100, 0}, 1.0f},
      {"up-right 100 and 100: the step is clamped to 1, the value to 1", 1, 0.5, {100, -100}, 1.0f},
      {"down 100 from 0.2: clamped to 0", 1, 0.2, {0, 100}, 0.0f},
      {"up 40 at scale 1", 1, 0.5, {0, -40}, 0.7f},
      {"up 100 at scale 2: a quarter of the distance", 2, 0.5, {0, -100}, 0.625f},
      {"left 20 at scale 0.5: four times the distance", 0.5, 0.9, {-20, 0}, 0.5f},
      {"200 points sweep the range at scale 1", 1, 0, {100, -100}, 1.0f},
      {"800 points sweep the range at scale 2", 2, 0, {400, -400}, 1.0f},
      {"800 points minus one fall short at scale 2", 2, 0, {400, -399}, 0.99875f},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Rig rig(512 * row.scale, 340 * row.scale);
    rig.panel->baseClass().valueAttack = row.startValue;
    const CGPoint down{84 * row.scale, 93 * row.scale};
    stdout_capture::beginCapture();
    rig.touchDown(down);
    rig.moveTo({down.x + row.move.x, down.y + row.move.y});
    EXPECT_EQ(stdout_capture::endCapture(), "attack\n");
    ASSERT_EQ(rig.delegate->parameters.size(), 1u);
    EXPECT_EQ(rig.delegate->parameters[0].first, 0);
    EXPECT_NEAR(rig.delegate->parameters[0].second, row.sent, 1e-6);
    EXPECT_NEAR(rig.panel->baseClass().valueAttack, row.sent, 1e-6);
    EXPECT_TRUE(rig.panel->baseClass().isAttackActive);
    EXPECT_TRUE(rig.controller->locked);
  }
}

TEST(PanelTouch, TouchUpReplaysTheEndPointAndReleasesTheControl) {
  Rig rig(512, 340);
  stdout_capture::beginCapture();
  rig.touchDown({329, 94});  // threshold
  rig.moveTo({329, 44});
  rig.liftAt({329, 44});
  // The threshold prints every value it is dragged to.
  EXPECT_EQ(stdout_capture::endCapture(), "threshold\n0.75\n0.75\n");
  EXPECT_EQ(rig.delegate->parameters, (Sent{{2, 0.75f}, {2, 0.75f}}));
  EXPECT_FALSE(rig.panel->baseClass().isThresholdActive);
  EXPECT_EQ(rig.panel->hotspotMode(), "");
  EXPECT_EQ(rig.controller->lockHistory, (std::vector<bool>{true, false}));
  EXPECT_EQ(rig.sent(UIControlEvents::touchDown), 1u);
  EXPECT_EQ(rig.sent(UIControlEvents::valueChanged), 2u);
  EXPECT_EQ(rig.sent(UIControlEvents::touchUpInside), 1u);
  EXPECT_EQ(rig.sent(UIControlEvents::touchUpOutside), 0u);
  EXPECT_TRUE(rig.delegate->options.empty());

  // A touch and release without moving sends the unchanged value once.
  rig.delegate->parameters.clear();
  stdout_capture::beginCapture();
  rig.tap({428, 94});  // ratio
  stdout_capture::endCapture();
  EXPECT_EQ(rig.delegate->parameters, (Sent{{3, 0.5f}}));
}

TEST(PanelTouch, TouchUpInsideOrOutsideByTheEndPointInViewPoints) {
  // At scale 0.5 the ratio knob's canvas point (428, 94) lies beyond the panel's 256-point
  // width, yet the touch is well inside the panel.
  Rig rig(256, 170);
  stdout_capture::beginCapture();
  rig.tap({214, 47});
  rig.tap({214, 47}, {300, 47});
  rig.tap({214, 47}, {256, 47});  // the right edge is outside, as a view's bounds are half-open
  stdout_capture::endCapture();
  EXPECT_EQ(rig.delegate->parameters.front().first, 3);
  EXPECT_EQ(rig.sent(UIControlEvents::touchUpInside), 1u);
  EXPECT_EQ(rig.sent(UIControlEvents::touchUpOutside), 2u);
}

TEST(PanelTouch, ButtonsFlipAndTheModeSteps) {
  Rig rig(512, 340);
  stdout_capture::beginCapture();
  for (int i = 0; i < 2; ++i) {
    rig.touchDown({100, 280});  // bypass
    EXPECT_TRUE(rig.panel->baseClass().isBypassActive);
    rig.moveTo({150, 200});  // moves on a button send nothing
    rig.liftAt({150, 200});
  }
  rig.tap({420, 280});  // audition
  for (int i = 0; i < 4; ++i) {
    rig.tap({256, 75});  // mode
  }
  stdout_capture::endCapture();
  EXPECT_EQ(rig.delegate->parameters,
            (Sent{{7, 1.0f}, {7, 0.0f}, {8, 1.0f}, {6, 1.0f}, {6, 2.0f}, {6, 0.0f}, {6, 1.0f}}));
  const KOVCompressorViewBase& base = rig.panel->baseClass();
  EXPECT_FALSE(base.isBypassSelected);
  EXPECT_TRUE(base.isAuditioSelected);
  EXPECT_EQ(base.valueMode, "linked");
  EXPECT_FALSE(base.isBypassActive || base.isAuditionActive || base.isModeActive);
  // Every move while a hotspot is held, the replays at touch-up included: 2 x 2 bypass, 1 audition,
  // 4 mode.
  EXPECT_EQ(rig.sent(UIControlEvents::valueChanged), 9u);

  // A label the cycle does not know stays and sends nothing.
  rig.panel->baseClass().valueMode = "mid-side";
  rig.delegate->parameters.clear();
  stdout_capture::beginCapture();
  rig.touchDown({256, 75});
  stdout_capture::endCapture();
  EXPECT_EQ(base.valueMode, "mid-side");
  EXPECT_TRUE(rig.delegate->parameters.empty());
}

TEST(PanelTouch, MissesPassiveAreasAndCancels) {
  Rig rig(512, 340);
  {
    SCOPED_TRACE("no hotspot: unlocked, no redraw, no event until the touch-up");
    rig.panel->clearNeedsDisplay();
    stdout_capture::beginCapture();
    rig.touchDown({133, 93});
    rig.moveTo({133, 50});
    EXPECT_EQ(stdout_capture::endCapture(), "\n");
    EXPECT_FALSE(rig.panel->needsDisplay());
    EXPECT_EQ(rig.controller->lockHistory, (std::vector<bool>{false}));
    EXPECT_EQ(rig.sent(UIControlEvents::touchDown) + rig.sent(UIControlEvents::valueChanged), 0u);
    rig.liftAt({133, 50});
    EXPECT_TRUE(rig.panel->needsDisplay());
    EXPECT_EQ(rig.sent(UIControlEvents::touchUpInside), 1u);
  }
  {
    SCOPED_TRACE("caption: locks while held, sends no value");
    stdout_capture::beginCapture();
    rig.touchDown({250, 280});
    EXPECT_TRUE(rig.controller->locked);
    rig.moveTo({250, 250});
    rig.liftAt({250, 250});
    EXPECT_EQ(stdout_capture::endCapture(), "caption\n");
    EXPECT_FALSE(rig.controller->locked);
  }
  {
    SCOPED_TRACE("cancel keeps the last moved value and sends none");
    stdout_capture::beginCapture();
    rig.touchDown({60, 200});  // gain
    rig.moveTo({60, 180});
    rig.cancel();
    stdout_capture::endCapture();
    EXPECT_NEAR(rig.panel->baseClass().valueGain, 0.6, 1e-6);
    EXPECT_FALSE(rig.panel->baseClass().isGainActive);
    EXPECT_FALSE(rig.controller->locked);
    EXPECT_EQ(rig.sent(UIControlEvents::touchCancel), 1u);
    EXPECT_TRUE(rig.delegate->parameters.size() == 1 && rig.delegate->parameters[0].first == 4);
  }
}

TEST(PanelTouch, WithoutControllerOrDelegateOrDrawing) {
  {
    SCOPED_TRACE("no controller: nothing at all");
    Rig rig(512, 340);
    rig.panel->setViewController(nullptr);
    stdout_capture::beginCapture();
    rig.touchDown({84, 93});
    rig.moveTo({84, 50});
    rig.liftAt({84, 50});
    rig.cancel();
    EXPECT_EQ(stdout_capture::endCapture(), "");
    EXPECT_TRUE(rig.delegate->parameters.empty());
    EXPECT_EQ(rig.sent(UIControlEvents::allEvents), 0u);
  }
  {
    SCOPED_TRACE("no delegate: the touch-up still unlocks and sends its event");
    Rig rig(512, 340);
    rig.panel->setDelegate(nullptr);
    stdout_capture::beginCapture();
    rig.tap({84, 93}, {84, 50});
    EXPECT_EQ(stdout_capture::endCapture(), "");
    EXPECT_EQ(rig.controller->lockHistory, (std::vector<bool>{false}));
    EXPECT_EQ(rig.sent(UIControlEvents::touchUpInside), 1u);
    EXPECT_EQ(rig.panel->baseClass().valueAttack, 0.5);
  }
  {
    SCOPED_TRACE("before the first drawing pass no touch hits anything");
    Rig rig(512, 340, /*draw=*/false);
    stdout_capture::beginCapture();
    rig.touchDown({84, 93});
    EXPECT_EQ(stdout_capture::endCapture(), "\n");
    EXPECT_FALSE(rig.controller->locked);
  }
  {
    SCOPED_TRACE("a host value outside 0...1 is clamped by the first drag");
    Rig rig(512, 340);
    rig.panel->baseClass().valueMix = 1.5;
    stdout_capture::beginCapture();
    rig.touchDown({400, 250});
    rig.moveTo({400, 249});
    stdout_capture::endCapture();
    EXPECT_EQ(rig.delegate->parameters, (Sent{{5, 1.0f}}));
  }
  {
    SCOPED_TRACE("a NaN from the host becomes 0 at the first drag");
    Rig rig(512, 340);
    rig.panel->baseClass().valueRatio = std::numeric_limits<CGFloat>::quiet_NaN();
    stdout_capture::beginCapture();
    rig.touchDown({400, 100});
    rig.moveTo({400, 90});
    stdout_capture::endCapture();
    EXPECT_EQ(rig.delegate->parameters, (Sent{{3, 0.0f}}));
  }
}

}  // namespace
