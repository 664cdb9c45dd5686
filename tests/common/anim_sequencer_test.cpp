// AnimationSequencer, which the product does not use: a smoke test of a run, and the faults it
// once had (a search past its list, frames past the 64-bit limit).
#include <gtest/gtest.h>

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
  // Placed and started items, clock, search index, end frame, timer.
  std::string state() {
    return "placed " + std::to_string(getCount()) + " running " + std::to_string(getCurrentCount()) +
           " frame " + std::to_string(getCurrentFrame()) + " index " + std::to_string(getCurrentIndex()) +
           " end " + std::to_string(_maxFrames) + (_timer ? " timer" : " no timer");
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
  tick(kTick, 13);
  EXPECT_EQ(a.steps, frames(1, 10));
  EXPECT_EQ(a.endedAt, 11);
  EXPECT_EQ(b.steps, frames(8, 12));
  EXPECT_EQ(b.endedAt, 13);
  EXPECT_EQ(finishedAt, 13);
  EXPECT_EQ(log.events, (Events{"A done", "B done", "sequence finished"}));
  EXPECT_EQ(sequencerSteps, 11 + 6);
  EXPECT_EQ(s->state(), "placed 2 running 0 frame 0 index 0 end 13 no timer");
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
