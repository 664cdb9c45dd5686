// Animator stepped by hand and by its timer on the test clock.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Animator.h"
#include "Easing.h"
#include "anim_test_support.h"

namespace {

// Exposes the toolkit-internal state to the tests.
struct AnimatorProbe : Animator {
  using Animator::_frameCount;
  using Animator::_frames;
  using Animator::_timer;
  using Animator::Animator;
  // Source -> destination, value, frames, step, interval, raw easing kind.
  std::string state() {
    char text[160];
    std::snprintf(text, sizeof text, "%g->%g value %g frames %lld step %lld every %g kind %lld",
                  getSourceValue(), getDestinationValue(), getValue(), static_cast<long long>(_frames),
                  static_cast<long long>(_step), static_cast<double>(_interval),
                  static_cast<long long>(rawValue(type())));
    return text;
  }
};

// Records every callback of an animator; the finish line shows the state seen from inside.
void record(Animator& a, EventLog& log) {
  a.onAnimation = [&log](Animator&, float v) { log.add("anim", v); };
  a.onFinished = [&log](Animator& self, float v) {
    log.add(self.isFinished() ? "finished" : "finished early", v);
    EXPECT_EQ(self.getValue(), v);
  };
  a.onLoop = [&log](Animator&) { log.add("loop"); };
}

}  // namespace

TEST(Animator, NewAnimatorsAndTheirCount) {
  const std::int64_t before = Animator::classCount.load();
  {
    AnimatorProbe a;
    EXPECT_EQ(Animator::classCount.load(), before + 1);
    EXPECT_TRUE(a.isFinished());
    EXPECT_EQ(a.state(), "0->0 value 0 frames -1 step 0 every 0.005 kind 0");
    auto b = std::make_shared<AnimatorProbe>(1.0f, 2.0f, 3);
    EXPECT_EQ(Animator::classCount.load(), before + 2);
    EXPECT_FALSE(b->isFinished());
    EXPECT_EQ(b->state(), "1->2 value 1 frames 3 step 0 every 0.009 kind 0");
  }
  EXPECT_EQ(Animator::classCount.load(), before);
}

TEST(Animator, RunOfFourFramesByHand) {
  Animator a(0.0f, 1.0f, 4);
  EventLog log;
  record(a, log);
  for (int i = 0; i < 4; ++i)
    a.animate();
  EXPECT_EQ(a.getValue(), 1.0f) << "frame 4 is computed but not reported";
  EXPECT_FALSE(a.isFinished());
  a.animate();
  EXPECT_EQ(log.events, (Events{"anim 0", "anim 0.25", "anim 0.5", "anim 0.75", "finished 1"}));
  EXPECT_TRUE(a.isFinished());
  a.animate();
  EXPECT_EQ(log.events.size(), 5u) << "a sixth step does nothing";
}

TEST(Animator, ZeroFrameRuns) {
  for (auto [src, dst, frames] :
       {std::tuple{3.0f, 3.0f, std::int64_t{10}}, std::tuple{0.0f, 1.0f, std::int64_t{-5}},
        std::tuple{0.0f, 1.0f, std::int64_t{0}}}) {
    SCOPED_TRACE(frames);
    AnimatorProbe a(src, dst, frames);
    EventLog log;
    record(a, log);
    EXPECT_EQ(a._frames, 0);
    EXPECT_EQ(a._frameCount, frames);
    a.animate();
    EXPECT_EQ(log.events, (Events{"finished " + std::to_string(static_cast<int>(dst))}));
    EXPECT_TRUE(a.isFinished());
  }
}

TEST(Animator, EveryKindStepsItsOwnCurveFromTheNextStep) {
  const float b = -2.0f, c = 5.0f;
  const std::int64_t d = 7;
  for (std::int64_t raw = 0; raw <= kEasingCurveCount; ++raw) {
    SCOPED_TRACE(raw);
    const EnumEasing type = *EnumEasingFromRawValue(raw);
    Animator a(b, b + c, d, 0.009f, type);
    std::vector<float> seen;
    a.onAnimation = [&](Animator&, float v) { seen.push_back(v); };
    for (std::int64_t t = 1; t <= d; ++t) {
      a.animate();
      EXPECT_EQ(a.getValue(), Easing::curve(type)(t, b, c, d)) << "frame " << t;
    }
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(d));
    EXPECT_EQ(seen.front(), b);
  }
  SCOPED_TRACE("setType() in the middle of a run");
  Animator a(0.0f, 1.0f, 4);
  a.animate();
  EXPECT_EQ(a.getValue(), 0.25f);
  a.setType(EnumEasing::EASING_easeInQuad);
  a.animate();
  EXPECT_EQ(a.getValue(), Easing::easeInQuad(2, 0.0f, 1.0f, 4));
  a.setType(EnumEasing::EASING_easeLast);
  a.animate();
  EXPECT_EQ(a.getValue(), 0.75f);
}

TEST(Animator, LoopedRunReversesUntilStopped) {
  auto a = std::make_shared<Animator>(0.0f, 1.0f, 2, 0.009f, EnumEasing::EASING_easeInQuad);
  a->looped = true;
  EventLog log;
  record(*a, log);
  for (int i = 0; i < 7; ++i)
    a->animate();
  // Out: 0, f(1) = 0.25; back: 1, 1 - 0.25; out again: 0.
  EXPECT_EQ(log.events, (Events{"anim 0", "anim 0.25", "loop", "anim 1", "anim 0.75", "loop", "anim 0"}));
  EXPECT_EQ(a->getSourceValue(), 0.0f);
  EXPECT_EQ(a->getDestinationValue(), 1.0f);
  EXPECT_EQ(a->type(), EnumEasing::EASING_easeInQuad);
  a->stop();
  EXPECT_FALSE(a->looped);
  EXPECT_TRUE(a->isFinished());
  EXPECT_EQ(log.count("finished"), 0u);
}

TEST(Animator, ReverseRewindUndo) {
  {
    SCOPED_TRACE("reverse() in the middle of a run");
    AnimatorProbe a(0.0f, 10.0f, 5, 0.02f, EnumEasing::EASING_easeOutCubic);
    a.animate();
    a.animate();
    a.reverse();
    EXPECT_EQ(a.state(), "10->0 value 10 frames 5 step 0 every 0.02 kind 6");
  }
  {
    SCOPED_TRACE("rewind() keeps the frame count handed to setup, not the clamped one");
    AnimatorProbe a;
    a.setup(0.0f, 1.0f, -3);
    a.rewind();
    EXPECT_EQ(a._frameCount, -3);
    EXPECT_EQ(a._frames, 0);
    a.setup(4.0f, 8.0f, 6, 0.02f, EnumEasing::EASING_easeInBack);
    a.animate();
    a.rewind();
    EXPECT_EQ(a.state(), "4->8 value 4 frames 6 step 0 every 0.009 kind 0");
  }
  {
    SCOPED_TRACE("undo() in the middle of a run completes it at once");
    AnimatorProbe a(2.0f, 5.0f, 10, 0.02f, EnumEasing::EASING_easeInOutSine);
    for (int i = 0; i < 4; ++i)
      a.animate();
    EventLog log;
    record(a, log);
    a.undo();
    EXPECT_EQ(log.events, (Events{"anim 2", "finished 5"}));
    EXPECT_EQ(a.state(), "2->5 value 5 frames -1 step 0 every 0.009 kind 0");
  }
}

TEST(Animator, CallbacksMayReplaceThemselves) {
  Animator a(0.0f, 1.0f, 3);
  EventLog log;
  a.onAnimation = [&log](Animator& self, float v) {
    log.add("first", v);
    self.onAnimation = [&log](Animator&, float w) { log.add("second", w); };
  };
  a.onFinished = [&log](Animator& self, float v) {
    self.onFinished = nullptr;
    log.add("finished", v);
  };
  for (int i = 0; i < 5; ++i)
    a.animate();
  EXPECT_EQ(log.events, (Events{"first 0", "second 0.333333", "second 0.666667", "finished 1"}));
  EXPECT_FALSE(a.onFinished);
}

namespace {
// Overrides reach the run: a curve of its own and a counted stop().
struct CustomAnimator : Animator {
  int stops = 0;
  float easeInQuad(std::int64_t currentFrame, float, float, std::int64_t) override {
    return 100.0f + static_cast<float>(currentFrame);
  }
  void stop() override {
    ++stops;
    Animator::stop();
  }
};
}  // namespace

TEST(Animator, OverridesAreReachedThroughTheObject) {
  CustomAnimator a;
  a.setup(0.0f, 1.0f, 2, 0.009f, EnumEasing::EASING_easeInQuad);
  a.animate();
  EXPECT_EQ(a.getValue(), 101.0f);
  a.animate();
  a.animate();
  EXPECT_EQ(a.stops, 1) << "the end of the run calls stop() through the object";
  EXPECT_TRUE(a.isFinished());
}

TEST_F(AnimClock, AnimatorFadeInOnItsTimer) {
  // The editor's fade-in: 320 frames every 9 ms on the exponential curve.
  auto fade = std::make_shared<Animator>(0.0f, 1.0f, 320, 0.009f, EnumEasing::EASING_easeOutExpo);
  std::vector<float> values;
  EventLog log;
  record(*fade, log);
  fade->onAnimation = [&](Animator&, float v) { values.push_back(v); };
  std::weak_ptr<Animator> watch = fade;
  fade->start();
  fade.reset();  // the timer alone keeps it alive now
  EXPECT_TRUE(values.empty()) << "nothing before the first interval";
  tick(0.009f);
  EXPECT_EQ(values, std::vector<float>{0.0f});
  tick(0.009f, 319);
  ASSERT_EQ(values.size(), 320u);
  EXPECT_EQ(values[100], Easing::easeOutExpo(100, 0.0f, 1.0f, 320));
  EXPECT_TRUE(log.events.empty());
  EXPECT_FALSE(watch.expired());
  tick(0.009f);
  EXPECT_EQ(log.events, Events{"finished 1"}) << "ends on the 321st firing";
  MainLoop::runUntilIdle();
  EXPECT_TRUE(watch.expired()) << "the stopped timer released the animator";
  tick(0.009f, 3);
  EXPECT_EQ(values.size(), 320u);
}

TEST_F(AnimClock, AnimatorStartStopAndInterval) {
  auto a = std::make_shared<AnimatorProbe>(0.0f, 100.0f, 100, 0.01f);
  int steps = 0;
  a->onAnimation = [&](Animator&, float) { ++steps; };
  a->start();
  a->start();
  a->setInterval(0.04f);
  tick(0.01f, 4);
  EXPECT_EQ(steps, 4) << "two start() calls keep one timer, which keeps its period";
  a->start();
  tick(0.01f, 4);
  EXPECT_EQ(steps, 5) << "the next start() uses the new period";
  a->stop();
  EXPECT_EQ(a->_timer, nullptr);
  tick(0.04f, 3);
  EXPECT_EQ(steps, 5);
}

TEST_F(AnimClock, AnimatorStartWithoutRunDoesNothing) {
  auto a = std::make_shared<Animator>();
  int calls = 0;
  a->onAnimation = [&](Animator&, float) { ++calls; };
  a->onFinished = [&](Animator&, float) { ++calls; };
  a->start();
  tick(0.005f, 3);
  EXPECT_EQ(calls, 0);
  a->setup(0.0f, 1.0f, 1);
  tick(0.005f, 2);
  EXPECT_EQ(calls, 2) << "the running timer steps the run set up later";
}
