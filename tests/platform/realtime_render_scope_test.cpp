// The render scope: subnormals flushed inside, the caller's floating-point mode back after,
// nesting keeps one mark; the generic hand-over with an object that is not a block.
#include <gtest/gtest.h>

#include <cfloat>
#include <memory>
#include <thread>

#include "RealTime/FloatingPointMode.h"
#include "RealTime/HandOver.h"
#include "RealTime/RenderScope.h"

namespace {
// Through volatile, so that the compiler cannot fold the arithmetic at build time.
float halve(float value) {
  volatile float v = value;
  return v * 0.5f;
}
float plusZero(float value) {
  volatile float v = value;
  return v + 0.0f;
}
}  // namespace

TEST(RenderScope, FlushesSubnormalsInsideAndRestoresTheCallersMode) {
  if (FloatingPointMode::kFlushBits == 0)
    GTEST_SKIP() << "no subnormal mode on this processor";
  const float subnormal = FLT_MIN / 4.0f;
  const std::uint64_t entriesBefore = RenderScope::entries();
  ASSERT_FALSE(FloatingPointMode::flushesSubnormals());
  EXPECT_EQ(halve(FLT_MIN), FLT_MIN / 2.0f) << "outside: a subnormal result stays";
  EXPECT_FALSE(RenderScope::isRenderThread());
  {
    const RenderScope outer;
    EXPECT_TRUE(RenderScope::isRenderThread());
    EXPECT_EQ(halve(FLT_MIN), 0.0f) << "flush-to-zero";
    EXPECT_EQ(plusZero(subnormal), 0.0f) << "denormals-are-zero";
    EXPECT_EQ(halve(1.0f), 0.5f) << "normal numbers as before";
    {
      const RenderScope inner;
      EXPECT_TRUE(RenderScope::isRenderThread());
    }
    EXPECT_TRUE(RenderScope::isRenderThread()) << "the outer scope still marks the thread";
    EXPECT_EQ(halve(FLT_MIN), 0.0f);
    std::thread other([] { EXPECT_FALSE(RenderScope::isRenderThread()) << "the mark is per thread"; });
    other.join();
  }
  EXPECT_FALSE(RenderScope::isRenderThread());
  EXPECT_FALSE(FloatingPointMode::flushesSubnormals());
  EXPECT_EQ(halve(FLT_MIN), FLT_MIN / 2.0f);
  EXPECT_EQ(RenderScope::entries() - entriesBefore, 1u) << "nested scopes count as one entry";

  SCOPED_TRACE("a caller that flushes already keeps flushing after the scope");
  const FloatingPointMode::Word original = FloatingPointMode::enterFlushToZero();
  { const RenderScope scope; }
  EXPECT_TRUE(FloatingPointMode::flushesSubnormals());
  FloatingPointMode::restore(original);
  EXPECT_FALSE(FloatingPointMode::flushesSubnormals());
}

TEST(HandOver, HandsOverAnyObjectAndReleasesReplacedOnesOnCollect) {
  HandOver<int, 2> handOver;
  auto one = std::make_shared<const int>(1);
  std::weak_ptr<const int> watchOne = one;
  EXPECT_EQ(handOver.acquire(), nullptr);
  ASSERT_TRUE(handOver.set(one));
  one.reset();
  ASSERT_NE(handOver.acquire(), nullptr);
  EXPECT_EQ(*handOver.acquire(), 1) << "a zero or non-block object is still an object";
  ASSERT_TRUE(handOver.set(std::make_shared<const int>(0)));
  handOver.collect();
  EXPECT_FALSE(watchOne.expired()) << "the render thread still marks it";
  EXPECT_EQ(*handOver.acquire(), 0);
  handOver.collect();
  EXPECT_TRUE(watchOne.expired());
  ASSERT_TRUE(handOver.set(nullptr));
  EXPECT_EQ(handOver.acquire(), nullptr);
  EXPECT_EQ(handOver.current(), nullptr);
}
