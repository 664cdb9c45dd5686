// AnimationSequencer driven frame by frame by hand and by its timer on the test clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "AnimationSequencer.h"
#include "Animator.h"
#include "StdoutCapture.h"
#include "anim_test_support.h"

namespace {

using Frames = std::vector<std::int64_t>;
constexpr float kTick = 0.005f;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

struct SequencerProbe : AnimationSequencer {
  using AnimationSequencer::_animators;
  using AnimationSequencer::_suspended;
  // Placed and started items, clock, search index, end frame, timer.
  std::string state() {
    return "placed " + std::to_string(getCount()) + " running " + std::to_string(getCurrentCount()) +
           " frame " + std::to_string(getCurrentFrame()) + " index " + std::to_string(getCurrentIndex()) +
           " end " + std::to_string(_maxFrames) + (_timer ? " timer" : " no timer");
  }
  // The start frame is the sequencer's own record in the animator.
  struct StartFrame : Animator {
    static std::int64_t of(const Animator& a) {
      constexpr std::int64_t Animator::*field = &StartFrame::_startFrame;  // names the base's field
      return a.*field;
    }
  };
  Frames startFrames() const {
    Frames frames;
    for (const auto& item : _animators)
      frames.push_back(StartFrame::of(*item));
    return frames;
  }
};

// A subclass whose getCount() reports more items than its list holds.
struct MiscountingSequencer : AnimationSequencer {
  std::int64_t getCount() override { return AnimationSequencer::getCount() + 3; }
};

// An item that records the sequencer's frame at each of its steps and at its end.
struct Tracked {
  std::shared_ptr<Animator> animator;
  Frames steps;
  std::int64_t endedAt = -1;

  Tracked(AnimationSequencer& sequencer, std::int64_t frames, EventLog* log = nullptr, std::string name = "")
      : animator(std::make_shared<Animator>(0.0f, 1.0f, frames)) {
    // The sequencer by reference: a callback holding it strongly would make a cycle.
    animator->onAnimation = [this, &sequencer](Animator&, float) {
      steps.push_back(sequencer.getCurrentFrame());
    };
    animator->onFinished = [this, &sequencer, log, name](Animator&, float) {
      endedAt = sequencer.getCurrentFrame();
      if (log)
        log->add(name + " done");
    };
  }
};

Frames frames(std::int64_t from, std::int64_t to) {
  Frames v;
  for (std::int64_t f = from; f <= to; ++f)
    v.push_back(f);
  return v;
}

}  // namespace

TEST(AnimationSequencer, PlacementsStaySortedAndStable) {
  SequencerProbe s;
  Items items;
  std::uint32_t seed = 12345;
  for (int n = 0; n < 60; ++n) {
    seed = seed * 1664525u + 1013904223u;  // a fixed pseudo-random order of start frames 0..15
    items.push_back(item(3));
    s.add(items.back(), static_cast<std::int64_t>((seed >> 16) % 16));
    const Frames placed = s.startFrames();
    ASSERT_EQ(placed.size(), items.size());
    ASSERT_TRUE(std::is_sorted(placed.begin(), placed.end())) << "after placement " << n;
  }
  SCOPED_TRACE("every item placed once, and items of equal start frame in the order they were placed");
  for (std::int64_t start = 0; start < 16; ++start) {
    Items placed, kept;
    for (const auto& i : items)
      if (SequencerProbe::StartFrame::of(*i) == start)
        placed.push_back(i);
    for (const auto& i : s._animators)
      if (SequencerProbe::StartFrame::of(*i) == start)
        kept.push_back(i);
    EXPECT_EQ(kept, placed) << "start frame " << start;
  }
}

TEST(AnimationSequencer, EndFrameAndRefusedItems) {
  SequencerProbe s;
  EXPECT_EQ(s.state(), "placed 0 running 0 frame 0 index 0 end 0 no timer");
  auto late = item(4), early = item(10);
  s.add(late, 3);
  s.add(early, 1);
  EXPECT_EQ(s.state(), "placed 2 running 0 frame 0 index 0 end 11 no timer");
  {
    SCOPED_TRACE("an item placed again moves its other entry too");
    SequencerProbe t;
    auto a = std::make_shared<Animator>(), b = std::make_shared<Animator>(), c = std::make_shared<Animator>();
    t.add(a, 5);
    t.add(b, 2);
    t.add(c, 7);
    t.add(c, 0);  // both entries of c now start at 0
    EXPECT_EQ(t._animators, (Items{c, c, b, a}));
    EXPECT_EQ(t.state(), "placed 4 running 0 frame 0 index 0 end 6 no timer")
        << "unset items count with frames -1: the largest end was 7 - 1";
  }
  {
    SCOPED_TRACE("the end frame never falls on removal; removeAll() sets it to 0");
    s.remove(early);
    s.remove(std::make_shared<Animator>());  // not placed: nothing
    s.remove(nullptr);
    EXPECT_EQ(s.state(), "placed 1 running 0 frame 0 index 0 end 11 no timer");
    s.removeAll();
    EXPECT_EQ(s.state(), "placed 0 running 0 frame 0 index 0 end 0 no timer");
  }
  SCOPED_TRACE("an absent item is refused with a message");
  stdout_capture::beginCapture();
  s.add(nullptr, 5);
  EXPECT_EQ(stdout_capture::endCapture(), "FEHLER: Das Animator Objekt ist ungültig.\n");
  EXPECT_EQ(s.getCount(), 0);
}

TEST(AnimationSequencer, SearchStaysInsideTheList) {
  {
    SCOPED_TRACE("an index past the list after a seek and removals");
    SequencerProbe s;
    auto a = item(5), b = item(5), c = item(5);
    s.add(a, 0);
    s.add(b, 1);
    s.add(c, 2);
    s.seek(5);  // every item started before frame 5: all stopped
    EXPECT_EQ(s.getCurrentIndex(), 3);
    s.remove(a);
    s.remove(b);
    int steps = 0;
    s.onAnimation = [&steps](AnimationSequencer&, const std::shared_ptr<Animator>&) { ++steps; };
    s.animate();  // the search starts beyond the one placed item and finds nothing
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(s.state(), "placed 1 running 0 frame 5 index 3 end 7 no timer");
    s.seek(2);  // c starts at 2, not before: rewound, and found again from index 0
    s.animate();
    EXPECT_EQ(steps, 1);
    EXPECT_FLOAT_EQ(c->getValue(), 0.2f);
  }
  SCOPED_TRACE("whatever getCount() says");
  MiscountingSequencer s;
  auto a = item(3);
  s.add(a, 0);
  ASSERT_EQ(s.getCount(), 4);
  s.animate();
  s.animate();
  EXPECT_EQ(s.getCurrentCount(), 1);
  EXPECT_FLOAT_EQ(a->getValue(), 2.0f / 3);
}

TEST_F(AnimClock, SequencerTwoOverlappingItems) {
  auto s = std::make_shared<SequencerProbe>();
  EventLog log;
  Tracked a(*s, 10, &log, "A"), b(*s, 5, &log, "B");
  s->add(a.animator, 0);
  s->add(b.animator, 8);
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
  EXPECT_EQ(log.events, (Events{"A done", "B done", "sequence finished"}));
  EXPECT_EQ(sequencerSteps, 11 + 6);
  EXPECT_EQ(s->state(), "placed 2 running 0 frame 0 index 0 end 13 no timer");
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
    s->seek(5);
    EXPECT_TRUE(a.animator->isFinished());
    EXPECT_FALSE(b.animator->isFinished());
    EXPECT_FALSE(c.animator->isFinished());
    EXPECT_EQ(s->state(), "placed 3 running 0 frame 5 index 1 end 14 no timer");
    s->start();
    tick(kTick);
    EXPECT_TRUE(a.steps.empty());
    EXPECT_EQ(b.steps, Frames{6});
    EXPECT_TRUE(c.steps.empty());
    tick(kTick, 8);  // frame 14: the end
    EXPECT_EQ(b.endedAt, 11);
    EXPECT_EQ(c.steps, frames(9, 13));
    EXPECT_EQ(s->state(), "placed 3 running 0 frame 0 index 0 end 14 no timer");
  }
  SCOPED_TRACE("seek beyond the end frame stops the sequencer");
  auto s = std::make_shared<SequencerProbe>();
  Tracked a(*s, 5);
  s->add(a.animator, 0);
  s->start();
  tick(kTick, 2);
  EXPECT_EQ(s->state(), "placed 1 running 1 frame 2 index 0 end 5 timer");
  s->seek(6);
  EXPECT_EQ(s->state(), "placed 1 running 1 frame 0 index 0 end 5 no timer");
  EXPECT_FALSE(a.animator->isFinished()) << "the items are not touched";
}

TEST_F(AnimClock, SequencerPauseSkipsFrames) {
  auto s = std::make_shared<SequencerProbe>();
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
  EXPECT_EQ(b.steps, Frames{31});
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(s->state(), "placed 2 running 2 frame 0 index 0 end 20 no timer");
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
  EXPECT_EQ(a.steps, Frames{3});
  EXPECT_EQ(s->state(), "placed 1 running 1 frame 0 index 0 end 3 no timer");
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
  stdout_capture::beginCapture();
  s->removeAll();
  tick(kTick, 2);
  s->add(nullptr, 5);
  EXPECT_EQ(stdout_capture::endCapture(),
            kNoItems + kNoItems + "FEHLER: Das Animator Objekt ist ungültig.\n");
  EXPECT_EQ(b.steps.size(), 3u);
  s->stop();
}

TEST_F(AnimClock, SequencerFrameLimits) {
  // Frames near the 64-bit limit saturate instead of overflowing.
  auto s = std::make_shared<SequencerProbe>();
  Tracked a(*s, 10);
  s->add(a.animator, kMax - 3);
  s->seek(kMax - 3);
  EXPECT_EQ(s->state(), "placed 1 running 0 frame " + std::to_string(kMax - 3) + " index 0 end " +
                            std::to_string(kMax) + " no timer");
  s->start();
  tick(kTick, 3);
  EXPECT_EQ(a.steps, (Frames{kMax - 2, kMax - 1, kMax}));
  EXPECT_EQ(s->state(), "placed 1 running 1 frame 0 index 0 end " + std::to_string(kMax) + " no timer");
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
