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
  using Animator::_frames;
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

TEST(Animator, RunsByHandIncludingZeroFrameRuns) {
  Animator a(0.0f, 1.0f, 4);
  EventLog log;
  record(a, log);
  for (int i = 0; i < 6; ++i)
    a.animate();
  EXPECT_EQ(log.events, (Events{"anim 0", "anim 0.25", "anim 0.5", "anim 0.75", "finished 1"}));
  EXPECT_TRUE(a.isFinished());
  for (auto [src, dst, frames] :
       {std::tuple{3.0f, 3.0f, std::int64_t{10}}, std::tuple{0.0f, 1.0f, std::int64_t{-5}}}) {
    SCOPED_TRACE(frames);
    AnimatorProbe z(src, dst, frames);
    EventLog zlog;
    record(z, zlog);
    z.animate();
    EXPECT_EQ(zlog.events, (Events{"finished " + std::to_string(static_cast<int>(dst))}));
  }
}

TEST(Animator, EveryKindStepsItsOwnCurveFromTheNextStep) {
  const float b = -2.0f, c = 5.0f;
  const std::int64_t d = 7;
  for (std::int64_t raw = 0; raw <= kEasingCurveCount; ++raw) {
    SCOPED_TRACE(raw);
    const EnumEasing type = *EnumEasingFromRawValue(raw);
    Animator a(b, b + c, d, 0.009f, type);
    for (std::int64_t t = 1; t <= d; ++t) {
      a.animate();
      EXPECT_EQ(a.getValue(), Easing::curve(type)(t, b, c, d)) << "frame " << t;
    }
  }
}

TEST(Animator, LoopReverseRewindUndo) {
  {
    SCOPED_TRACE("a looped run reverses until stopped");
    Animator a(0.0f, 1.0f, 2, 0.009f, EnumEasing::EASING_easeInQuad);
    a.looped = true;
    EventLog log;
    record(a, log);
    for (int i = 0; i < 7; ++i)
      a.animate();
    EXPECT_EQ(log.events, (Events{"anim 0", "anim 0.25", "loop", "anim 1", "anim 0.75", "loop", "anim 0"}));
    a.stop();
    EXPECT_TRUE(a.isFinished());
    EXPECT_EQ(log.count("finished"), 0u);
  }
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
  fade->start();  // one timer, not two
  fade.reset();   // the timer alone keeps it alive now
  tick(0.009f, 320);
  ASSERT_EQ(values.size(), 320u);
  EXPECT_EQ(values[100], Easing::easeOutExpo(100, 0.0f, 1.0f, 320));
  EXPECT_TRUE(log.events.empty());
  tick(0.009f);
  EXPECT_EQ(log.events, Events{"finished 1"}) << "ends on the 321st firing";
  MainLoop::runUntilIdle();
  EXPECT_TRUE(watch.expired()) << "the stopped timer released the animator";
}
