// Impulse stepped by hand and by its timer. With increment a and intensity q, step k adds
// a·q^k, so the value after k steps is a·q·(1 − q^k)/(1 − q) and the impulse ends on the first
// tick whose increment |a|·q^k is below the threshold 0.001.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "Impulse.h"
#include "anim_test_support.h"

namespace {

struct ImpulseProbe : Impulse {
  using Impulse::_amount;
  using Impulse::_timer;
  using Impulse::_value;
  using Impulse::Impulse;
  // Every internal field: increment, value, frames, step, intensity, threshold, interval, bounds.
  std::string state() const {
    char text[200];
    std::snprintf(text, sizeof text,
                  "amount %g value %g frames %lld step %lld q %g until %g every %g %s %g..%g",
                  double(_amount), double(_value), static_cast<long long>(_frames),
                  static_cast<long long>(_step), double(_intensity), double(_threshold), double(_interval),
                  _collision ? "bounce" : "free", double(_minVal), double(_maxVal));
    return text;
  }
};

struct ImpulseRun {
  std::vector<float> values;  // the value at each onAnimation
  int finished = 0;
  float valueAtFinish = 0;
  int ticks = 0;
};

// Steps an impulse by hand until it ends (at most 1000 ticks).
ImpulseRun runToEnd(ImpulseProbe& impulse) {
  ImpulseRun run;
  impulse.onAnimation = [&run](Impulse& i) { run.values.push_back(static_cast<ImpulseProbe&>(i)._value); };
  impulse.onFinished = [&run](Impulse& i) {
    ++run.finished;
    run.valueAtFinish = static_cast<ImpulseProbe&>(i)._value;
  };
  for (; !impulse.isFinished() && run.ticks < 1000; ++run.ticks)
    impulse.animate();
  return run;
}

}  // namespace

TEST(Impulse, InitialState) {
  ImpulseProbe i;
  EXPECT_TRUE(i.isFinished());
  EXPECT_EQ(i.getSourceValue(), 0.0f);
  EXPECT_EQ(i.state(), "amount 0 value 0 frames -1 step 0 q 0.75 until 0.001 every 0.009 free -1024..1024");
  ImpulseProbe negative(-7, 1.0f, 0.02f, 0.5f);
  EXPECT_FALSE(negative.isFinished());
  EXPECT_EQ(negative.getSourceValue(), 1.0f);
  EXPECT_EQ(negative.state(),
            "amount 1 value 0 frames 0 step 0 q 0.5 until 0.001 every 0.02 free -1024..1024")
      << "a negative frame count is raised to 0";
}

TEST(Impulse, DecayOfAUnitPush) {
  ImpulseProbe i;
  i.setup(0, 1.0f);
  EXPECT_FALSE(i.isFinished());
  const ImpulseRun run = runToEnd(i);
  ASSERT_EQ(run.values.size(), 24u);
  EXPECT_EQ(run.values[0], 0.75f);
  EXPECT_EQ(run.values[1], 0.75f + 0.5625f);
  EXPECT_EQ(run.values[2], 0.75f + 0.5625f + 0.421875f);
  for (std::size_t k = 1; k <= run.values.size(); ++k) {
    EXPECT_NEAR(run.values[k - 1], 3.0 * (1.0 - std::pow(0.75, static_cast<double>(k))), 2e-6) << k;
  }
  EXPECT_NEAR(run.values[23] - run.values[22], 0.0010034, 1e-6);
  EXPECT_NEAR(run.values[23], 2.99699, 1e-5);
  EXPECT_EQ(run.ticks, 25);
  EXPECT_EQ(run.finished, 1);
  EXPECT_EQ(run.valueAtFinish, run.values[23]) << "onFinished still sees the last value";
  EXPECT_TRUE(i.isFinished());
  EXPECT_EQ(i.state(), "amount 0 value 0 frames -1 step 0 q 0.75 until 0.001 every 0.009 free -1024..1024")
      << "every end resets the value";
}

TEST(Impulse, StepCountsFollowFromIncrement) {
  struct Case {
    float amount;
    std::size_t steps;
  };
  // steps = ceil(ln(0.001/|a|) / ln 0.75) − 1
  for (Case c : {Case{10.0f, 32}, Case{100.0f, 40}, Case{0.5f, 21}, Case{0.001f, 0}, Case{0.0f, 0}}) {
    SCOPED_TRACE(c.amount);
    ImpulseProbe up(0, c.amount), down(0, -c.amount);
    const ImpulseRun a = runToEnd(up), b = runToEnd(down);
    EXPECT_EQ(a.values.size(), c.steps);
    EXPECT_EQ(a.ticks, static_cast<int>(c.steps) + 1);
    EXPECT_EQ(a.finished, 1);
    ASSERT_EQ(b.values.size(), a.values.size());
    for (std::size_t k = 0; k < a.values.size(); ++k)
      EXPECT_EQ(b.values[k], -a.values[k]) << "mirrored";
  }
}

TEST(Impulse, BouncesOffTheBounds) {
  ImpulseProbe i(0, 1.0f);
  i.setMinMax(true, -1.0f, 1.0f);
  EventLog log;
  i.onAnimation = [&log](Impulse& s) { log.add("anim", static_cast<ImpulseProbe&>(s)._value); };
  i.onCollision = [&log](Impulse& s) { log.add("collision", static_cast<ImpulseProbe&>(s)._amount); };
  for (int t = 0; t < 3; ++t)
    i.animate();
  EXPECT_EQ(log.events,
            (std::vector<std::string>{"anim 0.75", "collision -0.5625", "anim 0.75", "anim 0.328125"}));
  {
    SCOPED_TRACE("a value between the bounds never reaches one, and the run still ends");
    const ImpulseRun run = runToEnd(i);
    EXPECT_EQ(run.finished, 1);
    for (float v : run.values) {
      EXPECT_GT(v, -1.0f);
      EXPECT_LT(v, 1.0f);
    }
  }
  SCOPED_TRACE("a bound equal to the value counts as reached");
  ImpulseProbe j(0, 1.0f);
  j.setMinMax(true, -5.0f, 0.75f);
  int collisions = 0;
  j.onCollision = [&collisions](Impulse&) { ++collisions; };
  j.animate();
  EXPECT_EQ(collisions, 1);
  EXPECT_EQ(j._value, 0.0f);
  EXPECT_EQ(j._amount, -0.75f);
  ImpulseProbe k(0, -1.0f);
  k.setMinMax(true, -0.75f, 5.0f);
  k.onCollision = [&collisions](Impulse&) { ++collisions; };
  k.animate();
  EXPECT_EQ(collisions, 2) << "the lower bound as well";
  EXPECT_EQ(k._value, 0.0f);
  EXPECT_EQ(k._amount, 0.75f);
}

TEST(Impulse, NonFiniteIncrementsEnd) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::pair<float, float> amountAndIntensity[] = {
      {nan, 0.75f}, {-inf, 0.75f}, {1.0f, nan}, {1.0f, 2.0f}};
  for (auto [amount, intensity] : amountAndIntensity) {
    SCOPED_TRACE(testing::Message() << "increment " << amount << ", intensity " << intensity);
    ImpulseProbe i(0, amount, 0.009f, intensity);
    const ImpulseRun run = runToEnd(i);
    EXPECT_EQ(run.finished, 1);
    EXPECT_LT(run.ticks, 200) << "ends instead of running for ever";
    EXPECT_TRUE(i.isFinished());
  }
}

TEST_F(AnimClock, ImpulseOnItsTimer) {
  {
    SCOPED_TRACE("a started impulse kept nowhere else runs to its end and is released");
    auto impulse = std::make_shared<ImpulseProbe>(0, 1.0f);
    int steps = 0, finished = 0;
    impulse->onAnimation = [&steps](Impulse&) { ++steps; };
    impulse->onFinished = [&finished](Impulse&) { ++finished; };
    std::weak_ptr<Impulse> watch = impulse;
    impulse->start();
    impulse->start();  // the earlier timer is replaced, not orphaned
    impulse.reset();
    tick(0.009f);
    EXPECT_EQ(steps, 1);
    tick(0.009f, 23);
    EXPECT_EQ(steps, 24);
    EXPECT_EQ(finished, 0);
    tick(0.009f);
    EXPECT_EQ(finished, 1);
    MainLoop::runUntilIdle();
    EXPECT_TRUE(watch.expired());
  }
  {
    SCOPED_TRACE("never set up: the first tick ends it");
    auto impulse = std::make_shared<ImpulseProbe>();
    int finished = 0;
    impulse->onFinished = [&finished](Impulse&) { ++finished; };
    impulse->start();
    tick(0.009f, 2);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(impulse->_timer, nullptr);
  }
  SCOPED_TRACE("setup while running keeps the value and the timer's period");
  auto impulse = std::make_shared<ImpulseProbe>(0, 1.0f);
  impulse->start();
  tick(0.009f, 2);
  EXPECT_EQ(impulse->_value, 1.3125f);
  impulse->setup(0, 4.0f, 0.5f, 0.5f);
  tick(0.009f);
  EXPECT_EQ(impulse->_value, 3.3125f);
  impulse->stop();
  EXPECT_EQ(impulse->_value, 0.0f);
  EXPECT_EQ(impulse->_timer, nullptr);
}
