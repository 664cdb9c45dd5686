// Gesture recognisers fed through the window's routing: each one's state sequence for injected
// touches and pinch input, timers on the test clock, exclusion, waiting for another to fail, and
// simultaneous recognition with the touched view keeping its own touches.
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "ui_view_support.h"

using namespace ui_view_test;

namespace {

using States = std::vector<int>;

// Writes the state of every action call.
template <class R>
std::shared_ptr<R> watched(States& states) {
  auto r = R::make();
  r->addTarget([&states](UIGestureRecognizer& g) { states.push_back(int(g.state())); });
  return r;
}

class Simultaneous : public UIGestureRecognizerDelegate {
 public:
  bool gestureRecognizerShouldRecognizeSimultaneously(UIGestureRecognizer&, UIGestureRecognizer&) override {
    return true;
  }
};

class UIRecognizer : public HeadlessWindowTest {
 protected:
  void SetUp() override {
    HeadlessWindowTest::SetUp();
    container = UIView::make(CGRect(0, 0, 100, 100));
    panel = ProbeView::make("panel", CGRect(20, 20, 60, 60), &journal);
    container->addSubview(panel);
    window->addSubview(container);
  }
  std::shared_ptr<UIView> container;
  std::shared_ptr<ProbeView> panel;
  States states;
};

TEST_F(UIRecognizer, PanBeginsPastTheThresholdAndMeasuresFromTouchDown) {
  auto pan = watched<UIPanGestureRecognizer>(states);
  container->addGestureRecognizer(pan);
  EXPECT_EQ(pan->view(), container);
  UITestSupport::TouchInjector fingers(*window);
  fingers.down(0, CGPoint{30, 30});
  fingers.move(0, CGPoint{36, 36});  // 8.5 points: not yet
  EXPECT_EQ(pan->state(), UIGestureRecognizerState::possible);
  fingers.move(0, CGPoint{40, 30});  // 10 points: not yet either
  EXPECT_EQ(pan->state(), UIGestureRecognizerState::possible);
  fingers.move(0, CGPoint{41, 30});
  EXPECT_EQ(pan->state(), UIGestureRecognizerState::began);
  fingers.move(0, CGPoint{60, 10});
  EXPECT_EQ(pan->translation(container.get()), (CGPoint{30, -20}));
  {
    SCOPED_TRACE("measured in a view scaled by 2, the same finger travel is half as far");
    panel->setTransform(CGAffineTransform::identity().scaledBy(2, 2));
    EXPECT_EQ(pan->translation(panel.get()), (CGPoint{15, -10}));
    panel->setTransform(CGAffineTransform::identity());
  }
  {
    SCOPED_TRACE("a second finger does not make the translation jump");
    fingers.down(1, CGPoint{80, 80});
    EXPECT_EQ(pan->translation(nullptr), (CGPoint{30, -20}));
    fingers.move(1, CGPoint{90, 80});  // the centre moves by 5
    EXPECT_EQ(pan->translation(nullptr), (CGPoint{35, -20}));
    fingers.up(1, CGPoint{90, 80});
    EXPECT_EQ(pan->translation(nullptr), (CGPoint{35, -20}));
  }
  fingers.up(0, CGPoint{60, 10});
  EXPECT_EQ(states, (States{1, 2, 2, 3}));
  EXPECT_EQ(pan->state(), UIGestureRecognizerState::possible) << "back to possible once the touches are up";
  {
    SCOPED_TRACE("a tap is no pan: it fails without calling the actions");
    states.clear();
    fingers.tap(CGPoint{30, 30});
    EXPECT_TRUE(states.empty());
  }
  {
    SCOPED_TRACE("by default the view's touches are cancelled when the pan begins");
    take(journal);
    fingers.drag(CGPoint{30, 30}, CGPoint{70, 30}, 2);
    EXPECT_EQ(take(journal), (std::vector<std::string>{"panel.began(10,10)", "panel.cancelled(30,10)"}));
  }
}

TEST_F(UIRecognizer, TheTouchedViewKeepsItsTouchesWhileAnAncestorsPanRuns) {
  // The panel tracks a knob drag itself; a pan on its container may run at the same time only
  // when it does not cancel touches in the view.
  auto pan = watched<UIPanGestureRecognizer>(states);
  pan->setCancelsTouchesInView(false);
  container->addGestureRecognizer(pan);
  std::vector<std::string> order;
  pan->addTarget([&](UIGestureRecognizer& g) { journal.push_back("pan." + std::to_string(int(g.state()))); });
  UITestSupport::TouchInjector fingers(*window);
  fingers.drag(CGPoint{30, 30}, CGPoint{70, 30}, 2);
  EXPECT_EQ(take(journal),
            (std::vector<std::string>{"panel.began(10,10)", "pan.1", "panel.moved(30,10)", "pan.2",
                                      "panel.moved(50,10)", "pan.3", "panel.ended(50,10)"}));
  {
    SCOPED_TRACE("a long press on the panel and the pan above: the first to begin wins unless simultaneous");
    States press;
    auto hold = watched<UILongPressGestureRecognizer>(press);
    panel->addGestureRecognizer(hold);
    states.clear();
    fingers.down(0, CGPoint{30, 30});
    TestClock::advance(0.5);
    fingers.move(0, CGPoint{70, 30});
    fingers.up(0, CGPoint{70, 30});
    EXPECT_EQ(press, (States{1, 2, 3}));
    EXPECT_TRUE(states.empty());
    Simultaneous both;
    pan->setDelegate(&both);
    press.clear();
    fingers.down(0, CGPoint{30, 30});
    TestClock::advance(0.5);
    fingers.move(0, CGPoint{70, 30});
    fingers.up(0, CGPoint{70, 30});
    EXPECT_EQ(press, (States{1, 2, 3}));
    EXPECT_EQ(states, (States{1, 3}));
    pan->setDelegate(nullptr);
  }
}

TEST_F(UIRecognizer, PinchScaleIsRelativeToTheStart) {
  auto pinch = watched<UIPinchGestureRecognizer>(states);
  container->addGestureRecognizer(pinch);
  UITestSupport::TouchInjector fingers(*window);
  {
    SCOPED_TRACE("two fingers 20 apart, then 20.5 (under 3 %), then 40 and 10");
    fingers.down(0, CGPoint{40, 50});
    fingers.down(1, CGPoint{60, 50});
    fingers.move(0, CGPoint{39.5, 50});
    EXPECT_EQ(pinch->state(), UIGestureRecognizerState::possible);
    fingers.move(1, CGPoint{79.5, 50});
    EXPECT_DOUBLE_EQ(pinch->scale(), 2.0);
    fingers.move(1, CGPoint{49.5, 50});
    EXPECT_DOUBLE_EQ(pinch->scale(), 0.5);
    fingers.up(1, CGPoint{49.5, 50});
    fingers.up(0, CGPoint{39.5, 50});
    EXPECT_EQ(states, (States{1, 2, 3}));
  }
  {
    SCOPED_TRACE("pinch input from a touch-pad or Ctrl+wheel");
    states.clear();
    fingers.pinchBegan(CGPoint{50, 50});
    EXPECT_DOUBLE_EQ(pinch->scale(), 1.0);
    fingers.pinchChanged(1.25);
    EXPECT_DOUBLE_EQ(pinch->scale(), 1.25);
    EXPECT_EQ(pinch->location(panel.get()), (CGPoint{30, 30}));
    fingers.pinchChanged(0.8);
    fingers.pinchEnded();
    EXPECT_EQ(states, (States{1, 2, 2, 3}));
    EXPECT_EQ(pinch->state(), UIGestureRecognizerState::possible);
  }
  {
    SCOPED_TRACE("pinch input outside any view with a pinch recogniser goes nowhere");
    states.clear();
    auto outside = UIView::make(CGRect(0, 0, 100, 100));
    window->addSubview(outside);
    fingers.pinchBegan(CGPoint{50, 50});
    fingers.pinchChanged(2);
    fingers.pinchEnded();
    EXPECT_TRUE(states.empty());
  }
}

TEST_F(UIRecognizer, PanAndPinchOnOneViewExcludeEachOtherUnlessAllowed) {
  States pans;
  auto pan = watched<UIPanGestureRecognizer>(pans);
  auto pinch = watched<UIPinchGestureRecognizer>(states);
  container->addGestureRecognizer(pan);
  container->addGestureRecognizer(pinch);
  UITestSupport::TouchInjector fingers(*window);
  // Two fingers spreading from 20 to 60 apart about a fixed centre.
  fingers.down(0, CGPoint{40, 50});
  fingers.down(1, CGPoint{60, 50});
  fingers.move(1, CGPoint{70, 50});
  fingers.move(0, CGPoint{30, 50});
  fingers.move(1, CGPoint{80, 50});
  fingers.move(0, CGPoint{20, 50});
  fingers.up(1, CGPoint{80, 50});
  fingers.up(0, CGPoint{20, 50});
  EXPECT_EQ(states, (States{1, 2, 2, 2, 3}));
  EXPECT_TRUE(pans.empty()) << "the pan failed once the pinch began";
  {
    SCOPED_TRACE("allowed together, the pan runs too once the centre has moved far enough");
    Simultaneous both;
    pinch->setDelegate(&both);
    states.clear();
    fingers.down(0, CGPoint{40, 50});
    fingers.down(1, CGPoint{60, 50});
    fingers.move(1, CGPoint{90, 50});  // centre moves by 15: the pan begins; distance 50: the pinch
    fingers.up(1, CGPoint{90, 50});
    fingers.up(0, CGPoint{40, 50});
    EXPECT_EQ(states, (States{1, 3}));
    EXPECT_EQ(pans, (States{1, 3}));
    pinch->setDelegate(nullptr);
  }
  {
    SCOPED_TRACE("a translation set to zero when the pan begins counts from there");
    container->removeGestureRecognizer(pinch);
    EXPECT_EQ(pinch->view(), nullptr);
    pan->addTarget([&](UIGestureRecognizer& g) {
      if (g.state() == UIGestureRecognizerState::began)
        static_cast<UIPanGestureRecognizer&>(g).setTranslation(CGPoint{0, 0}, panel.get());
    });
    fingers.down(0, CGPoint{50, 50});
    fingers.move(0, CGPoint{70, 50});
    fingers.move(0, CGPoint{75, 50});
    EXPECT_EQ(pan->translation(container.get()), (CGPoint{5, 0}));
    fingers.up(0, CGPoint{75, 50});
  }
}

TEST_F(UIRecognizer, SingleTapWaitsForTheDoubleTapToFail) {
  States single, twice;
  auto tap = watched<UITapGestureRecognizer>(single);
  auto doubleTap = watched<UITapGestureRecognizer>(twice);
  doubleTap->setNumberOfTapsRequired(2);
  tap->require(doubleTap);
  container->addGestureRecognizer(tap);
  container->addGestureRecognizer(doubleTap);
  UITestSupport::TouchInjector fingers(*window);
  {
    SCOPED_TRACE("one tap: recognised once the double tap has timed out");
    fingers.tap(CGPoint{30, 30});
    EXPECT_TRUE(single.empty());
    TestClock::advance(UITapGestureRecognizer::maximumTapInterval + 0.01);
    EXPECT_EQ(single, (States{3}));
    EXPECT_TRUE(twice.empty());
  }
  {
    SCOPED_TRACE("two quick taps: the double tap, and no single tap");
    single.clear();
    fingers.tap(CGPoint{30, 30});
    TestClock::advance(0.2);
    fingers.tap(CGPoint{32, 31});
    TestClock::advance(1);
    EXPECT_EQ(twice, (States{3}));
    EXPECT_TRUE(single.empty());
  }
  {
    SCOPED_TRACE("taps too far apart in time or place are two single taps");
    twice.clear();
    fingers.tap(CGPoint{30, 30});
    TestClock::advance(0.5);
    fingers.tap(CGPoint{30, 30});
    TestClock::advance(0.5);
    fingers.tap(CGPoint{30, 30});
    TestClock::advance(0.2);
    fingers.tap(CGPoint{90, 90});
    TestClock::advance(1);
    EXPECT_EQ(single, (States{3, 3, 3, 3}));
    EXPECT_TRUE(twice.empty());
  }
  {
    SCOPED_TRACE("a finger held too long or moved is no tap");
    single.clear();
    fingers.down(0, CGPoint{30, 30});
    TestClock::advance(1);
    fingers.up(0, CGPoint{30, 30});
    fingers.drag(CGPoint{30, 30}, CGPoint{50, 30}, 1);
    TestClock::advance(1);
    EXPECT_TRUE(single.empty());
  }
}

TEST_F(UIRecognizer, LongPressBeginsAfterItsDurationOnTheMainLoopTimers) {
  auto press = watched<UILongPressGestureRecognizer>(states);
  press->setMinimumPressDuration(0.5);
  container->addGestureRecognizer(press);
  UITestSupport::TouchInjector fingers(*window);
  fingers.down(0, CGPoint{30, 30});
  TestClock::advance(0.49);
  EXPECT_EQ(press->state(), UIGestureRecognizerState::possible);
  TestClock::advance(0.01);
  EXPECT_EQ(press->state(), UIGestureRecognizerState::began);
  fingers.move(0, CGPoint{60, 60});
  fingers.up(0, CGPoint{60, 60});
  EXPECT_EQ(states, (States{1, 2, 3}));
  {
    SCOPED_TRACE("lifted early, or moved beyond the allowance first: failed, no action");
    states.clear();
    fingers.down(0, CGPoint{30, 30});
    TestClock::advance(0.3);
    fingers.up(0, CGPoint{30, 30});
    fingers.down(0, CGPoint{30, 30});
    fingers.move(0, CGPoint{30, 41});
    TestClock::advance(1);
    fingers.up(0, CGPoint{30, 41});
    EXPECT_TRUE(states.empty());
  }
  {
    SCOPED_TRACE("a disabled recogniser sees nothing; disabling a running one cancels it");
    press->setEnabled(false);
    fingers.down(0, CGPoint{30, 30});
    TestClock::advance(1);
    fingers.up(0, CGPoint{30, 30});
    EXPECT_TRUE(states.empty());
    press->setEnabled(true);
    fingers.down(0, CGPoint{30, 30});
    TestClock::advance(1);
    press->setEnabled(false);
    fingers.up(0, CGPoint{30, 30});
    EXPECT_EQ(states, (States{1, 4}));
  }
}

}  // namespace
