// The shared pull and in-place step: the in-place rule, the data and size check, the pull's
// status, buffer sharing; and the system limiter's refusal of a half in-place output.
#include <gtest/gtest.h>

#include <vector>

#include "AudioToolbox/RenderPull.h"

namespace {
float a[8], b[8], c[8], x[8], y[8];

StackAudioBufferList<3> listOf(UInt32 count, void* d0, void* d1 = nullptr, void* d2 = nullptr,
                               UInt32 bytes = 32) {
  StackAudioBufferList<3> list;
  list.mNumberBuffers = count;
  list.mBuffers[0] = {1, bytes, d0};
  list.mBuffers[1] = {1, bytes, d1};
  list.mBuffers[2] = {1, bytes, d2};
  return list;
}
}  // namespace

TEST(RenderPull, InPlaceRuleAndChecks) {
  struct Case {
    const char* name;
    StackAudioBufferList<3> output;
    UInt32 inputs;
    bool inPlace;
    std::vector<void*> expected;
  };
  const Case cases[] = {
      {"all null: same index", listOf(2, nullptr, nullptr), 2, true, {x, y}},
      {"first null: the others follow, data or not", listOf(2, nullptr, c), 2, true, {x, y}},
      {"first with data: nothing moves", listOf(2, a, nullptr), 2, false, {a, nullptr}},
      {"more outputs than inputs: the last input", listOf(3, nullptr, nullptr, nullptr), 2, true, {x, y, y}},
      {"mono input", listOf(2, nullptr, nullptr), 1, true, {x, x}},
      {"no output buffers", listOf(0, nullptr), 2, false, {}},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    StackAudioBufferList<3> output = t.output;
    StackAudioBufferList<3> input = listOf(t.inputs, x, y);
    EXPECT_EQ(RenderPull::renderInPlaceIfAsked(*output.list(), *input.list()), t.inPlace);
    for (std::size_t i = 0; i < t.expected.size(); ++i)
      EXPECT_EQ(output.mBuffers[i].mData, t.expected[i]) << i;
  }
  {
    SCOPED_TRACE("holdsFrames: data and size of the first buffers only");
    EXPECT_TRUE(RenderPull::holdsFrames(*listOf(2, a, b).list(), 2, 32));
    EXPECT_FALSE(RenderPull::holdsFrames(*listOf(2, a, b).list(), 2, 33));
    EXPECT_FALSE(RenderPull::holdsFrames(*listOf(2, a, nullptr).list(), 2, 0));
    EXPECT_TRUE(RenderPull::holdsFrames(*listOf(3, a, b, nullptr).list(), 2, 0));
    EXPECT_FALSE(RenderPull::holdsFrames(*listOf(3, a, b, nullptr).list(), 3, 0));
    EXPECT_TRUE(RenderPull::holdsFrames(*listOf(0, nullptr).list(), 2, 32));
  }
}

TEST(RenderPull, PullsIntoStorageAndSharesBuffers) {
  float storage[2 * 16] = {};
  StackAudioBufferList<2> input;
  RenderPull::pointAtStorage(*input.list(), storage, 2, 16, 40);
  EXPECT_EQ(input.mBuffers[1].mData, storage + 16);
  EXPECT_EQ(input.mBuffers[1].mDataByteSize, 40u);
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(RenderPull::pull(nullptr, &flags, nullptr, 10, 0, input.list()), kAudioUnitErr_NoConnection);
  const AURenderPullInputBlock empty;
  EXPECT_EQ(RenderPull::pull(&empty, &flags, nullptr, 10, 0, input.list()), kAudioUnitErr_NoConnection);
  NSInteger busSeen = -1;
  const AURenderPullInputBlock block = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                           AUAudioFrameCount frames, NSInteger bus,
                                           AudioBufferList* list) -> AUAudioUnitStatus {
    busSeen = bus;
    static_cast<float*>(list->mBuffers[0].mData)[frames - 1] = 1.5f;
    return -7;
  };
  EXPECT_EQ(RenderPull::pull(&block, &flags, nullptr, 10, 3, input.list()), -7);
  EXPECT_EQ(busSeen, 3);
  EXPECT_EQ(storage[9], 1.5f);

  StackAudioBufferList<3> to = listOf(3, nullptr, nullptr, c, 0);
  RenderPull::shareBuffers(*to.list(), *input.list());
  EXPECT_EQ(to.mBuffers[1].mData, storage + 16);
  EXPECT_EQ(to.mBuffers[1].mDataByteSize, 40u);
  EXPECT_EQ(to.mBuffers[2].mData, c) << "beyond the shorter list nothing changes";
}
