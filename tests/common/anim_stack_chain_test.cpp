// AnimatorStack and AnimatorChain, which the product does not use: a smoke test of each, and the
// faults they once had (a list changed during a tick, an index past the list).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Animator.h"
#include "AnimatorChain.h"
#include "AnimatorStack.h"
#include "anim_test_support.h"

namespace {

struct ChainProbe : AnimatorChain {
  using AnimatorChain::_currentIndex;
};

// A chain whose getCount() reports more items than its list holds.
struct MiscountingChain : ChainProbe {
  std::int64_t getCount() override { return AnimatorChain::getCount() + 3; }
};

}  // namespace

TEST(AnimatorStack, TwoItemsOfTwoAndFourFrames) {
  auto stack = std::make_shared<AnimatorStack>();
  stack->add(nullptr);  // ignored
  EventLog log;
  auto a = item(2, &log, "a");
  auto b = item(4, &log, "b");
  stack->add(a);
  stack->add(b);
  int visitsA = 0, visitsB = 0;
  stack->onAnimation = [&](AnimatorStack&, const std::shared_ptr<Animator>& i) {
    ++(i == a ? visitsA : visitsB);
  };
  stack->onRemovedItem = [&](AnimatorStack& s, const std::shared_ptr<Animator>& i) {
    log.add(std::string(i == a ? "a" : "b") + " removed, left", static_cast<double>(s.getCount()));
  };
  stack->onFinished = [&](AnimatorStack& s) {
    log.add("stack finished, count", static_cast<double>(s.getCount()));
  };
  for (int t = 1; t <= 6; ++t) {
    log.add("tick", t);
    stack->animate();
  }
  EXPECT_EQ(log.events,
            (Events{"tick 1", "tick 2", "tick 3", "a done", "a removed, left 1", "tick 4", "tick 5", "b done",
                    "b removed, left 0", "tick 6", "stack finished, count 0"}));
  EXPECT_EQ(visitsA, 3);
  EXPECT_EQ(visitsB, 5);
}

TEST(AnimatorStack, CallbackEmptiesStackDuringTick) {
  AnimatorStack s;
  auto a = item(1), b = item(1);
  s.add(a);
  s.add(b);
  int removed = 0;
  s.onRemovedItem = [&](AnimatorStack&, const std::shared_ptr<Animator>&) { ++removed; };
  s.onAnimation = [&](AnimatorStack& st, const std::shared_ptr<Animator>& i) {
    if (i == b && !b->isFinished() && b->getValue() == 1.0f)
      st.stop();
  };
  s.animate();
  s.animate();  // a ends and is removed; the callback stops the stack before b ends
  EXPECT_TRUE(b->isFinished());
  EXPECT_EQ(removed, 1) << "b, no longer in the list, is not reported";
  EXPECT_EQ(s.getCount(), 0);
}

TEST(AnimatorChain, ForwardsOneAndTwoFrames) {
  AnimatorChain c;
  EventLog log;
  auto a = item(1, &log, "a");
  auto b = item(2, &log, "b");
  c.add(a);
  c.add(b);
  c.onAnimation = [&](AnimatorChain& ch, const std::shared_ptr<Animator>& i) {
    log.add(std::string(i == a ? "a" : "b") + " at", static_cast<double>(ch.getCurrentIndex()));
  };
  c.onFinished = [&](AnimatorChain& ch) {
    log.add("chain finished at", static_cast<double>(ch.getCurrentIndex()));
  };
  for (int t = 1; t <= 5; ++t)
    c.animate();
  EXPECT_EQ(log.events, (Events{"a at 0", "a at 0", "a done", "b at 1", "b at 1", "b at 1", "b done",
                                "chain finished at 2"}));
  EXPECT_EQ(c.getCurrentIndex(), 0);
}

TEST(AnimatorChain, IndexStaysInsideTheList) {
  {
    SCOPED_TRACE("the last item removed while the index points at it");
    AnimatorChain c;
    auto a = item(1), b = item(3), d = item(3);
    for (const auto& i : {a, b, d})
      c.add(i);
    for (int t = 0; t < 6; ++t)
      c.animate();  // a: 2 ticks, b: 4 ticks; index now 2
    ASSERT_EQ(c.getCurrentIndex(), 2);
    c.remove(d);
    std::shared_ptr<Animator> worked;
    c.onAnimation = [&](AnimatorChain&, const std::shared_ptr<Animator>& i) { worked = i; };
    c.animate();
    EXPECT_EQ(worked, b);
    EXPECT_EQ(c.getCurrentIndex(), 0) << "b was finished: the index moved to 2 = count, the end";
  }
  {
    SCOPED_TRACE("whatever getCount() says");
    MiscountingChain c;
    auto a = item(1), b = item(1);
    c.add(a);
    c.add(b);
    EventLog log;
    c.onFinished = [&](AnimatorChain& chain) { log.add("finished at", double(chain.getCurrentIndex())); };
    for (int t = 0; t < 4; ++t)
      c.animate();  // two items of one frame: two ticks each
    EXPECT_EQ(log.events, Events{"finished at 2"}) << "the run ends when the index leaves the list itself";
    c._currentIndex = 2;
    EXPECT_EQ(c.getCurrentItem(), nullptr);
  }
}
