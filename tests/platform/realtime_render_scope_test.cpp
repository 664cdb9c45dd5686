// The render scope: subnormals flushed inside, the caller's floating-point mode back after,
// nesting keeps one mark; the generic hand-over with an object that is not a block.
#include <gtest/gtest.h>

#include <cfloat>
#include <memory>
#include <thread>

#include "RealTime/FloatingPointMode.h"
#include "RealTime/HandOver.h"
#include "RealTime/PublishedValue.h"
#include "RealTime/RenderScope.h"
#include "RealTime/RetiredObjects.h"

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

TEST(RetiredObjects, KeepsRetiredObjectsUntilNoReaderHoldsThemAndRefusesWhenFull) {
  RetiredObjects<std::shared_ptr<const int>, 2> objects;
  auto one = std::make_shared<const int>(1);
  auto two = std::make_shared<const int>(2);
  std::weak_ptr<const int> watchOne = one, watchTwo = two;
  const int first = objects.hold(one);
  const int second = objects.hold(two);
  {
    SCOPED_TRACE("held objects are moved in and readable by place");
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(one, nullptr);
    EXPECT_EQ(*objects.object(first), 1);
    EXPECT_EQ(objects.object(-1), nullptr);
  }
  {
    SCOPED_TRACE("full: the owner stays with the caller");
    auto three = std::make_shared<const int>(3);
    EXPECT_EQ(objects.hold(three), -1);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(*three, 3);
  }
  {
    SCOPED_TRACE("a retired object stays while the test says it is read");
    objects.retire(first, 7);
    EXPECT_EQ(objects.retiredCount(), 1);
    std::uint64_t seenStamp = 0;
    objects.collect([&](int, std::uint64_t stamp) {
      seenStamp = stamp;
      return true;
    });
    EXPECT_EQ(seenStamp, 7u);
    EXPECT_FALSE(watchOne.expired());
    objects.collect([](int, std::uint64_t) { return false; });
    EXPECT_TRUE(watchOne.expired());
    EXPECT_EQ(objects.retiredCount(), 0);
    EXPECT_FALSE(watchTwo.expired()) << "a held object is never collected";
  }
  {
    SCOPED_TRACE("the freed place takes a new object");
    auto four = std::make_shared<const int>(4);
    EXPECT_EQ(objects.hold(four), first);
  }
}

TEST(PublishedValue, FreesReplacedCopiesOnceNoReaderIsInsideAndKeepsThemForOneThatIs) {
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  PublishedValue<std::shared_ptr<int>> value(token);
  token.reset();
  {
    SCOPED_TRACE("a write inside a read keeps the copy the reader uses");
    value.read([&](const std::shared_ptr<int>& seen) {
      value.update([](std::shared_ptr<int>& v) { v.reset(); });
      EXPECT_FALSE(watch.expired());
      EXPECT_EQ(seen.get(), watch.lock().get());
      return 0;
    });
  }
  {
    SCOPED_TRACE("the next write without a reader frees it");
    value.update([](std::shared_ptr<int>& v) { v = std::make_shared<int>(2); });
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(value.read([](const std::shared_ptr<int>& v) { return *v; }), 2);
  }
  {
    SCOPED_TRACE("more writes than places inside one read");
    value.read([&](const std::shared_ptr<int>&) {
      for (int k = 0; k < 4; ++k)
        value.update([k](std::shared_ptr<int>& v) { v = std::make_shared<int>(10 + k); });
      return 0;
    });
    EXPECT_EQ(value.read([](const std::shared_ptr<int>& v) { return *v; }), 13);
  }
}
