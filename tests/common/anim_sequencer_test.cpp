// AnimationSequencer driven frame by frame by its timer on the test clock.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "AnimationSequencer.h"
#include "Animator.h"
#include "anim_test_support.h"

namespace {

struct SequencerProbe : AnimationSequencer {
  using AnimationSequencer::_animators;
  using AnimationSequencer::_maxFrames;
  using AnimationSequencer::_suspended;
  using AnimationSequencer::_timer;
};

constexpr float kTick = 0.005f;

// An item that records the sequencer's frame at each of its steps and at its end.
struct Tracked {
  std::shared_ptr<Animator> animator;
  std::vector<std::int64_t> steps;
  std::int64_t endedAt = -1;

  Tracked(AnimationSequencer& sequencer, std::int64_t frames, EventLog* log = nullptr, std::string name = "")
      : animator(std::make_shared<Animator>(0.0f, 1.0f, frames)) {
    // The sequencer by reference: a callback holding it strongly would make a cycle.
    animator->onAnimation = [this, &sequencer](Animator&, float) { steps.push_back(sequencer.getCurrentFrame()); };
    animator->onFinished = [this, &sequencer, log, name](Animator&, float) {
      endedAt = sequencer.getCurrentFrame();
      if (log) log->add(name + " done");
    };
  }
};

std::vector<std::int64_t> frames(std::int64_t from, std::int64_t to) {
  std::vector<std::int64_t> v;
  for (std::int64_t f = from; f <= to; ++f) v.push_back(f);
  return v;
}

}  // namespace

TEST(AnimationSequencer, NewSequencerAndPlacement) {
  SequencerProbe s;
  EXPECT_EQ(s.getCount(), 0);
  EXPECT_EQ(s.getCurrentCount(), 0);
  EXPECT_EQ(s.getCurrentFrame(), 0);
  EXPECT_EQ(s.getCurrentIndex(), 0);
  EXPECT_EQ(s._maxFrames, 0);
  EXPECT_EQ(s.interval, 0.005f);
  EXPECT_FALSE(s._suspended);

  auto late = std::make_shared<Animator>(0.0f, 1.0f, 4);
  auto early = std::make_shared<Animator>(0.0f, 1.0f, 10);
  s.add(late, 3);
  s.add(early, 1);
  EXPECT_EQ(s._animators, (std::vector<std::shared_ptr<Animator>>{early, late}));
  EXPECT_EQ(s._maxFrames, 11);
  {
    SCOPED_TRACE("sorted by start frame after every placement, also when an item is placed again");
    SequencerProbe t;
    auto a = std::make_shared<Animator>(), b = std::make_shared<Animator>(), c = std::make_shared<Animator>();
    t.add(a, 5);
    t.add(b, 2);
    t.add(c, 7);
    EXPECT_EQ(t._animators, (std::vector<std::shared_ptr<Animator>>{b, a, c}));
    t.add(c, 0);  // both entries of c now start at 0
    EXPECT_EQ(t._animators, (std::vector<std::shared_ptr<Animator>>{c, c, b, a}));
    EXPECT_EQ(t._maxFrames, 6) << "unset items count with frames -1: the largest end was 7 - 1";
  }
  {
    SCOPED_TRACE("the end frame never falls on removal; removeAll() sets it to 0");
    s.remove(early);
    EXPECT_EQ(s.getCount(), 1);
    EXPECT_EQ(s._maxFrames, 11);
    s.remove(std::make_shared<Animator>());  // not placed: nothing
    s.remove(nullptr);
    EXPECT_EQ(s.getCount(), 1);
    s.removeAll();
    EXPECT_EQ(s.getCount(), 0);
    EXPECT_EQ(s._maxFrames, 0);
  }
  {
    SCOPED_TRACE("an absent item is refused with a message");
    testing::internal::CaptureStdout();
    s.add(nullptr, 5);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "FEHLER: Das Animator Objekt ist ungültig.\n");
    EXPECT_EQ(s.getCount(), 0);
  }
}

TEST_F(AnimClock, SequencerTwoOverlappingItems) {
  auto s = std::make_shared<SequencerProbe>();
  EventLog log;
  Tracked a(*s, 10, &log, "A"), b(*s, 5, &log, "B");
  s->add(a.animator, 0);
  s->add(b.animator, 8);
  EXPECT_EQ(s->_maxFrames, 13);
  std::int64_t finishedAt = -1;
  s->onFinished = [&](AnimationSequencer& seq) {
    finishedAt = seq.getCurrentFrame();
    log.add("sequence finished");
  };
  int sequencerSteps = 0;
  s->onAnimation = [&](AnimationSequencer&, const std::shared_ptr<Animator>&) { ++sequencerSteps; };
  s->start();
  tick(kTick, 12);
  EXPECT_EQ(finishedAt, -1);
  tick(kTick);
  EXPECT_EQ(a.steps, frames(1, 10));
  EXPECT_EQ(a.endedAt, 11);
  EXPECT_EQ(b.steps, frames(8, 12));
  EXPECT_EQ(b.endedAt, 13);
  EXPECT_EQ(finishedAt, 13);
  EXPECT_EQ(log.events, (std::vector<std::string>{"A done", "B done", "sequence finished"}));
  EXPECT_EQ(sequencerSteps, 11 + 6);
  EXPECT_EQ(s->getCurrentFrame(), 0);
  EXPECT_EQ(s->getCurrentIndex(), 0);
  EXPECT_EQ(s->_timer, nullptr);
  EXPECT_EQ(s->getCurrentCount(), 0);
  tick(kTick, 3);
  EXPECT_EQ(log.events.size(), 3u);
}

TEST_F(AnimClock, SequencerSingleItemEndsBeforeItsEndingTick) {
  auto s = std::make_shared<AnimationSequencer>();
  Tracked a(*s, 10);
  s->add(a.animator, 0);
  int finished = 0;
  s->onFinished = [&](AnimationSequencer&) { ++finished; };
  std::weak_ptr<AnimationSequencer> watch = s;
  s->start();
  tick(kTick, 10);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(a.steps, frames(1, 10));
  EXPECT_EQ(a.endedAt, -1) << "the item's own end has not come";
  EXPECT_EQ(s->getCurrentCount(), 1);
  s.reset();
  MainLoop::runUntilIdle();
  EXPECT_TRUE(watch.expired());
}

TEST_F(AnimClock, SequencerSeek) {
  {
    SCOPED_TRACE("seek(to: 5) with items of 5 frames at 0, 5 and 9");
    auto s = std::make_shared<SequencerProbe>();
    Tracked a(*s, 5), b(*s, 5), c(*s, 5);
    s->add(a.animator, 0);
    s->add(b.animator, 5);
    s->add(c.animator, 9);
    EXPECT_EQ(s->_maxFrames, 14);
    s->seek(5);
    EXPECT_TRUE(a.animator->isFinished());
    EXPECT_FALSE(b.animator->isFinished());
    EXPECT_FALSE(c.animator->isFinished());
    EXPECT_EQ(s->getCurrentIndex(), 1);
    EXPECT_EQ(s->getCurrentFrame(), 5);
    s->start();
    tick(kTick);
    EXPECT_TRUE(a.steps.empty());
    EXPECT_EQ(b.steps, std::vector<std::int64_t>{6});
    EXPECT_TRUE(c.steps.empty());
    tick(kTick, 8);  // frame 14: the end
    EXPECT_EQ(b.endedAt, 11);
    EXPECT_EQ(c.steps, frames(9, 13));
    EXPECT_EQ(s->_timer, nullptr);
  }
  {
    SCOPED_TRACE("seek beyond the end frame stops the sequencer");
    auto s = std::make_shared<SequencerProbe>();
    Tracked a(*s, 5);
    s->add(a.animator, 0);
    s->start();
    tick(kTick, 2);
    EXPECT_EQ(s->getCurrentFrame(), 2);
    s->seek(6);
    EXPECT_EQ(s->getCurrentFrame(), 0);
    EXPECT_EQ(s->_timer, nullptr);
    EXPECT_FALSE(a.animator->isFinished()) << "the items are not touched";
  }
}

TEST_F(AnimClock, SequencerPauseSkipsFrames) {
  auto s = std::make_shared<AnimationSequencer>();
  Tracked a(*s, 20), b(*s, 5);
  s->add(a.animator, 0);
  s->add(b.animator, 12);  // end frame 20
  int finished = 0;
  s->onFinished = [&](AnimationSequencer&) { ++finished; };
  s->start();
  tick(kTick, 10);
  s->pause();
  tick(kTick, 20);
  EXPECT_EQ(s->getCurrentFrame(), 30) << "the clock runs on while paused";
  EXPECT_EQ(a.steps.size(), 10u);
  EXPECT_TRUE(b.steps.empty());
  s->continue_();
  tick(kTick);
  EXPECT_EQ(a.steps.size(), 11u);
  EXPECT_EQ(b.steps, std::vector<std::int64_t>{31});
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(s->getCurrentCount(), 2);
  EXPECT_EQ(s->getCurrentFrame(), 0);
}

TEST_F(AnimClock, SequencerPausedBeforeStartAndRewind) {
  auto s = std::make_shared<SequencerProbe>();
  Tracked a(*s, 3);
  s->add(a.animator, 0);
  s->pause();
  s->stop();
  EXPECT_TRUE(s->_suspended) << "stop() keeps the pause flag";
  s->start();
  tick(kTick, 2);
  EXPECT_TRUE(a.steps.empty());
  s->continue_();
  tick(kTick, 2);  // frames 3 and 4: 3 >= end frame 3 ends it after one step
  EXPECT_EQ(a.steps, std::vector<std::int64_t>{3});
  EXPECT_EQ(s->_timer, nullptr);
  EXPECT_FLOAT_EQ(a.animator->getValue(), 1.0f / 3);
  s->rewind();
  EXPECT_EQ(a.animator->getValue(), 0.0f);
  EXPECT_FALSE(a.animator->isFinished());
}

TEST_F(AnimClock, SequencerRemovalsWhileRunning) {
  auto s = std::make_shared<SequencerProbe>();
  Tracked a(*s, 5), b(*s, 10);
  s->add(a.animator, 0);
  s->add(b.animator, 0);
  s->start();
  tick(kTick, 2);
  s->remove(a.animator);
  tick(kTick);
  EXPECT_EQ(a.steps, frames(1, 3)) << "a removed item that runs is stepped until it ends";
  testing::internal::CaptureStdout();
  s->removeAll();
  tick(kTick, 2);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "WARNUNG: Es sind keine Animator Objekte definiert.\n"
            "WARNUNG: Es sind keine Animator Objekte definiert.\n");
  EXPECT_EQ(b.steps.size(), 3u);
  s->stop();
}

TEST_F(AnimClock, SequencerFrameLimits) {
  // Frames near the 64-bit limit saturate instead of overflowing.
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  auto s = std::make_shared<SequencerProbe>();
  Tracked a(*s, 10);
  s->add(a.animator, kMax - 3);
  EXPECT_EQ(s->_maxFrames, kMax);
  s->seek(kMax - 3);
  EXPECT_EQ(s->getCurrentFrame(), kMax - 3);
  s->start();
  tick(kTick, 3);
  EXPECT_EQ(a.steps, (std::vector<std::int64_t>{kMax - 2, kMax - 1, kMax}));
  EXPECT_EQ(s->getCurrentFrame(), 0);
  EXPECT_EQ(s->_timer, nullptr);

  int finished = 0;
  s->onFinished = [&](AnimationSequencer& seq) {
    ++finished;
    EXPECT_EQ(seq.getCurrentFrame(), kMax);
  };
  s->seek(kMax);  // stops the item placed before it
  EXPECT_TRUE(a.animator->isFinished());
  s->start();
  tick(kTick);  // the clock cannot pass the limit
  EXPECT_EQ(finished, 1);

  s->seek(-5);  // every item lies ahead: all rewound
  EXPECT_EQ(s->getCurrentIndex(), 0);
  EXPECT_FALSE(a.animator->isFinished());
}
