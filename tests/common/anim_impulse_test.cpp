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

TEST(Impulse, DecayOfAUnitPush) {
  ImpulseProbe i;
  i.setup(0, 1.0f);
  EXPECT_FALSE(i.isFinished());
  const ImpulseRun run = runToEnd(i);
  ASSERT_EQ(run.values.size(), 24u);
  for (std::size_t k = 1; k <= run.values.size(); ++k) {
    EXPECT_NEAR(run.values[k - 1], 3.0 * (1.0 - std::pow(0.75, static_cast<double>(k))), 2e-6) << k;
  }
  EXPECT_EQ(run.ticks, 25);
  EXPECT_EQ(run.finished, 1);
  EXPECT_EQ(run.valueAtFinish, run.values[23]) << "onFinished still sees the last value";
  EXPECT_EQ(std::pair(i._amount, i._value), std::pair(0.0f, 0.0f)) << "every end resets the value";
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
  SCOPED_TRACE("a bound equal to the value counts as reached");
  ImpulseProbe j(0, 1.0f);
  j.setMinMax(true, -5.0f, 0.75f);
  int collisions = 0;
  j.onCollision = [&collisions](Impulse&) { ++collisions; };
  j.animate();
  EXPECT_EQ(collisions, 1);
  EXPECT_EQ(j._value, 0.0f);
  EXPECT_EQ(j._amount, -0.75f);
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
    tick(0.009f, 24);
    EXPECT_EQ(steps, 24);
    EXPECT_EQ(finished, 0);
    tick(0.009f);
    EXPECT_EQ(finished, 1);
    MainLoop::runUntilIdle();
    EXPECT_TRUE(watch.expired());
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
