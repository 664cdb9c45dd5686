// Impulse, which the product does not use: its decay as a smoke test, and the non-finite
// increments that once ran for ever. With increment a and intensity q, step k adds
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

TEST(Impulse, ABoundEqualToTheValueCountsAsReached) {
  ImpulseProbe j(0, 1.0f);
  j.setMinMax(true, -5.0f, 0.75f);
  int collisions = 0;
  j.onCollision = [&collisions](Impulse&) { ++collisions; };
  j.animate();
  EXPECT_EQ(collisions, 1);
  EXPECT_EQ(std::pair(j._value, j._amount), std::pair(0.0f, -0.75f)) << "stepped back and reversed";
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
