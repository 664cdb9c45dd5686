// The animation classes on inputs at their limits: placements in any order, items added or removed
// around a tick, subclasses whose counts differ from their lists, and frame numbers whose
// conversions must saturate.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "AnimationSequencer.h"
#include "Animator.h"
#include "AnimatorChain.h"
#include "AnimatorStack.h"
#include "Easing.h"

namespace {

std::shared_ptr<Animator> oneRun(std::int64_t frames) {
  return std::make_shared<Animator>(0.0f, 1.0f, frames);
}

// Reads the start frames the sequencer keeps for its placed items.
struct PlacementProbe : AnimationSequencer {
  using AnimationSequencer::_animators;
  std::vector<std::int64_t> startFrames() const {
    std::vector<std::int64_t> frames;
    for (const auto& item : _animators) frames.push_back(StartFrame::of(*item));
    return frames;
  }
  // The start frame is the sequencer's own record in the animator.
  struct StartFrame : Animator {
    static std::int64_t of(const Animator& a) {
      constexpr std::int64_t Animator::*field = &StartFrame::_startFrame;  // names the base's field
      return a.*field;
    }
  };
};

// Subclasses whose getCount() reports more items than their lists hold.
struct MiscountingChain : AnimatorChain {
  using AnimatorChain::_currentIndex;
  std::int64_t getCount() override { return AnimatorChain::getCount() + 3; }
};
struct MiscountingSequencer : AnimationSequencer {
  std::int64_t getCount() override { return AnimationSequencer::getCount() + 3; }
};

}  // namespace

TEST(AnimationSequencerReview, PlacementsInAnyOrderStaySorted) {
  PlacementProbe s;
  std::vector<std::shared_ptr<Animator>> items;
  std::uint32_t seed = 12345;
  for (int n = 0; n < 60; ++n) {
    seed = seed * 1664525u + 1013904223u;  // a fixed pseudo-random order of start frames 0..15
    const auto start = static_cast<std::int64_t>((seed >> 16) % 16);
    items.push_back(oneRun(3));
    s.add(items.back(), start);
    const std::vector<std::int64_t> frames = s.startFrames();
    ASSERT_EQ(frames.size(), items.size());
    for (std::size_t i = 1; i < frames.size(); ++i) ASSERT_LE(frames[i - 1], frames[i]) << "after placement " << n;
  }
  SCOPED_TRACE("every item placed once, and items of equal start frame in the order they were placed");
  for (std::int64_t start = 0; start < 16; ++start) {
    std::vector<std::shared_ptr<Animator>> placed, kept;
    for (const auto& item : items)
      if (PlacementProbe::StartFrame::of(*item) == start) placed.push_back(item);
    for (const auto& item : s._animators)
      if (PlacementProbe::StartFrame::of(*item) == start) kept.push_back(item);
    EXPECT_EQ(kept, placed) << "start frame " << start;
  }
}

TEST(AnimationSequencerReview, IndexPastTheListAfterSeekAndRemovals) {
  AnimationSequencer s;
  auto a = oneRun(5), b = oneRun(5), c = oneRun(5);
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
  EXPECT_EQ(s.getCurrentIndex(), 3);
  EXPECT_EQ(s.getCurrentCount(), 0);
  s.seek(2);  // c starts at 2, not before: rewound, and found again from index 0
  s.animate();
  EXPECT_EQ(steps, 1);
  EXPECT_FLOAT_EQ(c->getValue(), 0.2f);
}

TEST(AnimationSequencerReview, SearchStaysInsideTheListWhateverGetCountSays) {
  MiscountingSequencer s;
  auto a = oneRun(3);
  s.add(a, 0);
  ASSERT_EQ(s.getCount(), 4);
  s.animate();
  s.animate();
  EXPECT_EQ(s.getCurrentCount(), 1);
  EXPECT_FLOAT_EQ(a->getValue(), 2.0f / 3);
}

TEST(AnimatorChainReview, IndexStaysInsideTheListWhateverGetCountSays) {
  MiscountingChain c;
  auto a = oneRun(1), b = oneRun(1);
  c.add(a);
  c.add(b);
  int finished = 0;
  std::int64_t finalIndex = -1;
  c.onFinished = [&](AnimatorChain& chain) {
    ++finished;
    finalIndex = static_cast<MiscountingChain&>(chain)._currentIndex;
  };
  for (int t = 0; t < 4; ++t) c.animate();  // two items of one frame: two ticks each
  EXPECT_EQ(finished, 1) << "the run ends when the index leaves the list itself";
  EXPECT_EQ(finalIndex, 2);
  EXPECT_TRUE(b->isFinished());
  c._currentIndex = 2;
  EXPECT_EQ(c.getCurrentItem(), nullptr);
  c._currentIndex = 1;
  EXPECT_EQ(c.getCurrentItem(), b);
}

TEST(AnimatorStackReview, ItemAddedDuringATickStepsFromTheNextTick) {
  AnimatorStack s;
  auto first = oneRun(2), late = oneRun(2);
  s.add(first);
  bool added = false;
  s.onAnimation = [&](AnimatorStack& stack, const std::shared_ptr<Animator>&) {
    if (!added) {
      stack.add(late);
      added = true;
    }
  };
  s.animate();
  EXPECT_EQ(s.getCount(), 2);
  EXPECT_EQ(first->getValue(), 0.5f);
  EXPECT_EQ(late->getValue(), 0.0f) << "not stepped in the tick that added it";
  s.animate();
  EXPECT_EQ(first->getValue(), 1.0f);
  EXPECT_EQ(late->getValue(), 0.5f);
}

TEST(EasingReview, BounceFrameConversionsSaturate) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  // Float(d) − Float(t) = 2^64 lies beyond the 64-bit range: the mirrored frame saturates at the
  // largest frame, which is the Out curve's end (1), so In gives its start b. A conversion that
  // wrapped to the smallest frame would evaluate the first parabola at x = −1 instead.
  EXPECT_EQ(Easing::easeInBounce(kMin, 0.0f, 1.0f, kMax), 0.0f);
  EXPECT_EQ(Easing::easeInBounce(kMin, 2.0f, 3.0f, kMax), 2.0f);
}
