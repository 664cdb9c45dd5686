// AnimatorStack and AnimatorChain, tick by tick.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Animator.h"
#include "AnimatorChain.h"
#include "AnimatorStack.h"
#include "StdoutCapture.h"
#include "anim_test_support.h"

namespace {

struct ChainProbe : AnimatorChain {
  using AnimatorChain::_currentIndex;
  std::string state() {
    return "count " + std::to_string(getCount()) + " index " + std::to_string(_currentIndex) + " direction " +
           std::to_string(_direction) + (_timer ? " timer" : " no timer");
  }
};
struct StackProbe : AnimatorStack {
  std::string state() { return "count " + std::to_string(getCount()) + (_timer ? " timer" : " no timer"); }
};

// A chain whose getCount() reports more items than its list holds.
struct MiscountingChain : ChainProbe {
  std::int64_t getCount() override { return AnimatorChain::getCount() + 3; }
};

// Adds `items` to the chain in this order, then animates it `ticks` times.
void addAndTick(AnimatorChain& c, std::initializer_list<std::shared_ptr<Animator>> items, int ticks) {
  for (const auto& i : items)
    c.add(i);
  for (int t = 0; t < ticks; ++t)
    c.animate();
}

}  // namespace

TEST(AnimatorStack, TwoItemsOfTwoAndFourFrames) {
  auto stack = std::make_shared<StackProbe>();
  EXPECT_EQ(stack->state(), "count 0 no timer");
  stack->add(nullptr);
  EXPECT_EQ(stack->getCount(), 0) << "an absent item is ignored";
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

TEST(AnimatorStack, FinishedDuplicateAndLateItems) {
  {
    SCOPED_TRACE("an item finished when added is never stepped and goes when the stack stops");
    AnimatorStack s;
    auto idle = std::make_shared<Animator>();
    auto running = item(1);
    s.add(idle);
    s.add(running);
    int removed = 0, visits = 0;
    s.onRemovedItem = [&](AnimatorStack&, const std::shared_ptr<Animator>&) { ++removed; };
    s.onAnimation = [&](AnimatorStack&, const std::shared_ptr<Animator>& i) {
      visits += i == idle ? 100 : 1;
    };
    s.animate();
    s.animate();
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(visits, 2);
    EXPECT_EQ(s.getItems(), Items{idle});
    s.animate();
    EXPECT_EQ(s.getCount(), 0);
  }
  {
    SCOPED_TRACE("the same animator twice is stepped twice per tick; its first entry goes when it ends");
    AnimatorStack s;
    auto twice = item(4);
    s.add(twice);
    s.add(twice);
    std::vector<std::int64_t> counts;
    s.onRemovedItem = [&](AnimatorStack& st, const std::shared_ptr<Animator>&) {
      counts.push_back(st.getCount());
    };
    s.animate();
    EXPECT_EQ(twice->getValue(), 0.5f);
    s.animate();
    s.animate();  // reaches its destination on the first visit, then skipped on the second
    EXPECT_TRUE(twice->isFinished());
    EXPECT_EQ(counts, std::vector<std::int64_t>{1});
    EXPECT_EQ(s.getCount(), 1);
  }
  SCOPED_TRACE("an item added during a tick steps from the next tick");
  AnimatorStack s;
  auto first = item(2), late = item(2);
  s.add(first);
  s.onAnimation = [&](AnimatorStack& stack, const std::shared_ptr<Animator>&) {
    if (stack.getCount() == 1)
      stack.add(late);
  };
  s.animate();
  EXPECT_EQ(s.getCount(), 2);
  EXPECT_EQ(first->getValue(), 0.5f);
  EXPECT_EQ(late->getValue(), 0.0f) << "not stepped in the tick that added it";
  s.animate();
  EXPECT_EQ(first->getValue(), 1.0f);
  EXPECT_EQ(late->getValue(), 0.5f);
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

TEST_F(AnimClock, AnimatorStackOnItsTimer) {
  {
    SCOPED_TRACE("an empty stack ends on its first tick");
    auto s = std::make_shared<StackProbe>();
    int finished = 0;
    s->onFinished = [&](AnimatorStack&) { ++finished; };
    s->start();
    tick(0.005f);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(s->state(), "count 0 no timer");
    tick(0.005f, 2);
    EXPECT_EQ(finished, 1);
  }
  SCOPED_TRACE("stop() in the middle: the timer stops, the list empties, the items keep their state");
  auto s = std::make_shared<StackProbe>();
  std::weak_ptr<AnimatorStack> watch = s;
  auto a = item(4);
  s->add(a);
  s->start();
  s->start();  // a second start() replaces the timer
  tick(0.005f, 2);
  EXPECT_EQ(a->getValue(), 0.5f);
  s->stop();
  EXPECT_EQ(s->state(), "count 0 no timer");
  tick(0.005f, 2);
  EXPECT_EQ(a->getValue(), 0.5f);
  EXPECT_FALSE(a->isFinished());
  s.reset();
  MainLoop::runUntilIdle();
  EXPECT_TRUE(watch.expired());
}

TEST(AnimatorChain, NewChainAndCurrentItem) {
  ChainProbe c;
  EXPECT_EQ(c.state(), "count 0 index 0 direction 1 no timer");
  EXPECT_EQ(c.getCurrentItem(), nullptr);
  auto a = item(0), b = item(0), d = item(0);
  for (const auto& i : {a, std::shared_ptr<Animator>(), b, d})
    c.add(i);
  EXPECT_EQ(c.getCount(), 3);
  for (const auto& expected : {a, b, d}) {
    EXPECT_EQ(c.getCurrentItem(), expected) << c.getCurrentIndex();
    c.animate();  // a zero-frame item ends in one tick and the index moves on
  }
  EXPECT_EQ(c.getCurrentIndex(), 0) << "ran off the end and stopped";
  c.remove(std::make_shared<Animator>());  // not in the chain: nothing
  c.remove(nullptr);
  EXPECT_EQ(c.getCount(), 3);
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

TEST(AnimatorChain, Backwards) {
  {
    SCOPED_TRACE("set backwards at rest: item 0 alone, one tick, then the end");
    AnimatorChain c;
    auto a = item(3), b = item(1);
    c.add(a);
    c.add(b);
    c.setBackwards(true);
    EventLog log;
    c.onFinished = [&](AnimatorChain& ch) {
      log.add("finished at", static_cast<double>(ch.getCurrentIndex()));
    };
    c.animate();
    EXPECT_EQ(log.events, Events{"finished at 0"}) << "index 0 counts as the end going backwards";
    EXPECT_FLOAT_EQ(a->getValue(), 1.0f / 3);
    EXPECT_EQ(b->getValue(), 0.0f);
    EXPECT_EQ(c.getCurrentIndex(), 0);
  }
  {
    SCOPED_TRACE("a finished item 0 going backwards: the index becomes -1");
    AnimatorChain c;
    c.add(item(0));
    c.setBackwards(true);
    std::int64_t finalIndex = 99;
    c.onFinished = [&](AnimatorChain& ch) { finalIndex = ch.getCurrentIndex(); };
    c.animate();
    EXPECT_EQ(finalIndex, -1);
    EXPECT_EQ(c.getCurrentIndex(), 0);
  }
  SCOPED_TRACE("turned backwards at index 2: down to 0 without visiting item 0");
  AnimatorChain c;
  auto a = item(1), b = item(1), d = item(1);
  addAndTick(c, {a, b, d}, 4);
  EXPECT_EQ(c.getCurrentIndex(), 2);
  c.setBackwards(true);
  int finished = 0;
  Items visited;
  c.onAnimation = [&](AnimatorChain&, const std::shared_ptr<Animator>& i) { visited.push_back(i); };
  c.onFinished = [&](AnimatorChain&) { ++finished; };
  c.animate();
  c.animate();
  EXPECT_EQ(c.getCurrentIndex(), 1);
  EXPECT_TRUE(d->isFinished());
  c.animate();  // b, finished already, costs one tick; the index reaches 0: the end
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(c.getCurrentIndex(), 0);
  EXPECT_EQ(visited, (Items{d, d, b}));
}

TEST(AnimatorChain, IndexStaysInsideTheList) {
  {
    SCOPED_TRACE("the last item removed while the index points at it");
    AnimatorChain c;
    auto a = item(1), b = item(3), d = item(3);
    addAndTick(c, {a, b, d}, 6);  // a: 2 ticks, b: 4 ticks; index now 2
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
    EXPECT_TRUE(b->isFinished());
    c._currentIndex = 2;
    EXPECT_EQ(c.getCurrentItem(), nullptr);
    c._currentIndex = 1;
    EXPECT_EQ(c.getCurrentItem(), b);
  }
  SCOPED_TRACE("an empty chain prints its warning on every tick");
  AnimatorChain c;
  stdout_capture::beginCapture();
  c.animate();
  c.animate();
  EXPECT_EQ(stdout_capture::endCapture(), kNoItems + kNoItems);
}

TEST_F(AnimClock, AnimatorChainOnItsTimer) {
  {
    SCOPED_TRACE("async: one item started per tick, the items run on after the chain");
    auto c = std::make_shared<AnimatorChain>();
    c->async = true;
    c->interval = 0.009f;
    EventLog log;
    auto a = item(2, &log, "a");
    auto b = item(2, &log, "b");
    c->add(a);
    c->add(b);
    c->onFinished = [&](AnimatorChain&) { log.add("chain finished"); };
    c->start();
    tick(0.009f);
    EXPECT_TRUE(log.events.empty());
    tick(0.009f);  // a takes its first step on its own timer, then the chain starts b and ends
    EXPECT_EQ(log.events, Events{"chain finished"});
    EXPECT_EQ(a->getValue(), 0.5f);
    EXPECT_EQ(b->getValue(), 0.0f);
    tick(0.009f, 3);
    EXPECT_EQ(log.events, (Events{"chain finished", "a done", "b done"}));
  }
  SCOPED_TRACE("removeAll() on a running chain stops it");
  auto c = std::make_shared<ChainProbe>();
  auto a = item(10);
  c->add(a);
  c->start();
  tick(0.005f, 3);
  EXPECT_EQ(c->state(), "count 1 index 0 direction 1 timer");
  EXPECT_EQ(a->getValue(), 0.3f);
  c->removeAll();
  EXPECT_EQ(c->state(), "count 0 index 0 direction 1 no timer");
  tick(0.005f, 2);
  EXPECT_EQ(a->getValue(), 0.3f);
}
