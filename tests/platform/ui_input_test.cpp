// Touch delivery through the window's routing: hit testing, locations in the view's own
// coordinates, the responder chain, one touch per view unless multiple touches are on; and the
// controls' events: target-action, touch-up inside and outside, cancel, the slider's value.
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UISlider.h"
#include "UIKit/testing/UIKitTesting.h"
#include "ui_view_support.h"

using namespace ui_view_test;

namespace {

class UIInput : public HeadlessWindowTest {};

TEST_F(UIInput, TouchesGoToTheHitViewInItsOwnCoordinates) {
  auto panel = ProbeView::make("panel", CGRect(20, 20, 40, 40), &journal);
  window->addSubview(panel);
  UITestSupport::TouchInjector fingers(*window);
  fingers.drag(CGPoint{30, 30}, CGPoint{90, 90}, 2);
  EXPECT_EQ(take(journal), (std::vector<std::string>{"panel.began(10,10)", "panel.moved(40,40)",
                                                     "panel.moved(70,70)", "panel.ended(70,70)"}));
  {
    SCOPED_TRACE("scaled by 2 about its centre: window (30, 30) is the panel's (15, 15)");
    panel->setTransform(CGAffineTransform::identity().scaledBy(2, 2));
    fingers.tap(CGPoint{30, 30});
    EXPECT_EQ(take(journal), (std::vector<std::string>{"panel.began(15,15)", "panel.ended(15,15)"}));
  }
  {
    SCOPED_TRACE("unhandled touches rise to the superview");
    panel->setTransform(CGAffineTransform::identity());
    auto plain = UIView::make(CGRect(0, 0, 10, 10));
    panel->addSubview(plain);
    fingers.tap(CGPoint{25, 25});
    EXPECT_EQ(take(journal), (std::vector<std::string>{"panel.began(5,5)", "panel.ended(5,5)"}));
  }
  {
    SCOPED_TRACE("one touch at a time unless multiple touches are on");
    fingers.down(1, CGPoint{30, 30});
    fingers.down(2, CGPoint{50, 50});
    fingers.up(2, CGPoint{50, 50});
    fingers.up(1, CGPoint{30, 30});
    EXPECT_EQ(take(journal), (std::vector<std::string>{"panel.began(10,10)", "panel.ended(10,10)"}));
    panel->setMultipleTouchEnabled(true);
    fingers.down(1, CGPoint{30, 30});
    fingers.down(2, CGPoint{50, 50});
    fingers.cancel(2);
    fingers.up(1, CGPoint{30, 30});
    EXPECT_EQ(take(journal), (std::vector<std::string>{"panel.began(10,10)", "panel.began(30,30)",
                                                       "panel.cancelled(30,30)", "panel.ended(10,10)"}));
  }
  {
    SCOPED_TRACE("a view taken out while touched gets its touch cancelled");
    fingers.down(1, CGPoint{30, 30});
    panel->removeFromSuperview();
    fingers.up(1, CGPoint{30, 30});
    EXPECT_EQ(take(journal), (std::vector<std::string>{"panel.began(10,10)", "panel.cancelled(10,10)"}));
  }
}

TEST_F(UIInput, ControlEventsAndTargetActionInOrder) {
  auto control = UIControl::make(CGRect(0, 0, 10, 10));
  std::vector<std::string> calls;
  control->addTarget([&](UIControl&) { calls.push_back("first touchDown"); }, UIControlEvents::touchDown);
  control->addTarget([&](UIControl&) { calls.push_back("changed or cancelled"); },
                     UIControlEvents::valueChanged | UIControlEvents::touchCancel);
  control->addTarget([&](UIControl&) { calls.push_back("second touchDown"); }, UIControlEvents::touchDown);
  control->sendActions(UIControlEvents::touchDown);
  control->sendActions(UIControlEvents::valueChanged);
  control->sendActions(UIControlEvents::touchUpInside);  // no target: nothing
  EXPECT_EQ(calls, (std::vector<std::string>{"first touchDown", "second touchDown", "changed or cancelled"}));
  EXPECT_EQ(UIControlTesting::sentCount(*control, UIControlEvents::touchDown), 1u);
  EXPECT_EQ(UIControlTesting::sentCount(*control, UIControlEvents::touchUpInside), 1u);
  EXPECT_EQ(std::uint64_t(UIControlEvents::touchUpOutside), 128u);
  EXPECT_EQ(std::uint64_t(UIControlEvents::touchCancel), 256u);
  EXPECT_EQ(std::uint64_t(UIControlEvents::valueChanged), 4096u);

  // A member function as the action, with the sender's own type.
  struct Controller {
    void onButton(UIButton& sender) { pressed.push_back(sender.title()); }
    std::vector<std::string> pressed;
  };
  auto controller = std::make_shared<Controller>();
  auto button = UIButton::make(UIButtonType::system, CGRect(10, 10, 40, 20));
  button->setTitle("Play");
  button->addTarget(controller, &Controller::onButton, UIControlEvents::touchUpInside);
  window->addSubview(button);
  UITestSupport::TouchInjector fingers(*window);
  {
    SCOPED_TRACE("a press and a lift on it: touch down, then touch up inside");
    fingers.tap(CGPoint{20, 20});
    EXPECT_EQ(controller->pressed, (std::vector<std::string>{"Play"}));
    EXPECT_EQ(UIControlTesting::sentCount(*button, UIControlEvents::touchDown), 1u);
    EXPECT_FALSE(button->isHighlighted());
  }
  {
    SCOPED_TRACE("dragged far away: touch up outside, no action; cancelled: touch cancel");
    fingers.down(0, CGPoint{20, 20});
    EXPECT_TRUE(button->isHighlighted());
    fingers.move(0, CGPoint{20, 200});
    EXPECT_FALSE(button->isHighlighted());
    fingers.up(0, CGPoint{20, 200});
    fingers.down(0, CGPoint{20, 20});
    fingers.cancel(0);
    EXPECT_EQ(controller->pressed.size(), 1u);
    EXPECT_EQ(UIControlTesting::sentCount(*button, UIControlEvents::touchUpOutside), 1u);
    EXPECT_EQ(UIControlTesting::sentCount(*button, UIControlEvents::touchCancel), 1u);
  }
  {
    SCOPED_TRACE("hidden, transparent or disabled buttons take no touches");
    button->setAlpha(0);
    fingers.tap(CGPoint{20, 20});
    button->setAlpha(0.5);
    button->setEnabled(false);
    fingers.tap(CGPoint{20, 20});
    button->setEnabled(true);
    button->setHidden(true);
    fingers.tap(CGPoint{20, 20});
    EXPECT_EQ(UIControlTesting::sentCount(*button, UIControlEvents::touchDown), 3u);
  }
}

TEST_F(UIInput, SliderFollowsTheFingerAndReportsEachChange) {
  // 124 wide: the thumb's centre runs over 100 points from x 12 to x 112 (window x 22 ... 122).
  window->setFrame(CGRect(0, 0, 200, 100));
  auto slider = UISlider::make(CGRect(10, 10, 124, 30));
  slider->setMinimumValue(0);
  slider->setMaximumValue(2);
  slider->setValue(1.5f);
  std::vector<float> values;
  slider->addTarget([&](UIControl& c) { values.push_back(static_cast<UISlider&>(c).value()); },
                    UIControlEvents::valueChanged);
  window->addSubview(slider);
  UITestSupport::TouchInjector fingers(*window);
  fingers.drag(CGPoint{47, 25}, CGPoint{300, 25}, 2);
  EXPECT_EQ(values, (std::vector<float>{0.5f, 2.0f}));  // (47 - 22) / 100 * 2; beyond the end: clamped
  {
    SCOPED_TRACE("not continuous: one event on lift");
    values.clear();
    slider->setContinuous(false);
    fingers.drag(CGPoint{72, 25}, CGPoint{22, 25}, 3);
    EXPECT_EQ(values, (std::vector<float>{0.0f}));
  }
  {
    SCOPED_TRACE("a set value is clamped and sends nothing");
    slider->setValue(7);
    EXPECT_EQ(slider->value(), 2.0f);
    slider->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(slider->value(), 0.0f);
    EXPECT_EQ(values.size(), 1u);
  }
  {
    SCOPED_TRACE("the thumb is drawn where the value says");
    slider->setValue(1);
    auto image = UITestSupport::render(*slider);
    EXPECT_EQ(image->pixel(62, 15), kWhite) << "thumb centre at 12 + 50";
    EXPECT_GT(image->pixel(40, 15).blue, 200) << "tinted track left of the thumb";
  }
}

TEST_F(UIInput, ButtonsAndLabelsDrawLegibly) {
  auto label = UILabel::make(CGRect(0, 0, 100, 30));
  label->setText("Compressor");
  label->setTextAlignment(NSTextAlignment::center);
  auto image = UITestSupport::render(*label);
  int inked = 0, left = 100, right = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) {
      if (image->pixel(x, y).alpha > 128) {
        ++inked;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  EXPECT_GT(inked, 50) << "the text is drawn";
  EXPECT_NEAR((left + right) / 2.0, 50, 3) << "and centred";
  {
    SCOPED_TRACE("a button with a drawn symbol shows the symbol, not the title");
    auto button = UIButton::make(UIButtonType::custom, CGRect(0, 0, 20, 20));
    button->setTitle("x");
    button->setSymbol([](CGContext& cg, const CGRect& r, const UIColor& ink) {
      cg.setFillColor(ink.cgColor());
      cg.fill(r);
    });
    button->setTitleColor(UIColor::red());
    auto picture = UITestSupport::render(*button);
    EXPECT_EQ(picture->pixel(10, 10), kRed);
    EXPECT_EQ(picture->pixel(2, 2).alpha, 0) << "inset by 4";
  }
}

}  // namespace
