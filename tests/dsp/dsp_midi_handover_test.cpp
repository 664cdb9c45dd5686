// The MIDI-output block hand-over between host threads and the render thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"

namespace {
using BlockPtr = MIDIOutputBlockHandOver::Pointer;

BlockPtr makeBlock(std::atomic<int>* calls, int id) {
  return std::make_shared<const AUMIDIOutputEventBlock>(
      [calls, id](AUEventSampleTime, UInt8, NSInteger, const UInt8*) {
        calls->fetch_add(1, std::memory_order_relaxed);
        return static_cast<OSStatus>(id);
      });
}
}  // namespace

TEST(DspMidiHandOver, SetAcquireCollect) {
  MIDIOutputBlockHandOver h;
  std::atomic<int> calls{0};
  EXPECT_EQ(h.acquire(), nullptr);
  BlockPtr one = makeBlock(&calls, 1);
  std::weak_ptr<const AUMIDIOutputEventBlock> watch = one;
  ASSERT_TRUE(h.set(one));
  const AUMIDIOutputEventBlock* got = h.acquire();
  ASSERT_NE(got, nullptr);
  EXPECT_EQ((*got)(0, 0, 0, nullptr), 1);
  EXPECT_EQ(h.current(), one);

  SCOPED_TRACE("replacing: the old block lives while the render thread still marks it");
  BlockPtr two = makeBlock(&calls, 2);
  one.reset();
  ASSERT_TRUE(h.set(two));
  h.collect();
  EXPECT_FALSE(watch.expired());  // still marked by the last acquire
  EXPECT_EQ((*h.acquire())(0, 0, 0, nullptr), 2);
  h.collect();
  EXPECT_TRUE(watch.expired());

  {
    SCOPED_TRACE("setting the current block again changes nothing");
    EXPECT_TRUE(h.set(two));
    EXPECT_EQ(h.current(), two);
  }
  SCOPED_TRACE("null clears; an empty block is none");
  EXPECT_TRUE(h.set(nullptr));
  EXPECT_EQ(h.acquire(), nullptr);
  EXPECT_EQ(h.current(), nullptr);
  EXPECT_TRUE(h.set(std::make_shared<const AUMIDIOutputEventBlock>()));
  EXPECT_EQ(h.acquire(), nullptr);

  SCOPED_TRACE("without collection the slots run out and the current block stays");
  std::vector<BlockPtr> blocks;
  int accepted = 0;
  for (int i = 0; i < 2 * MIDIOutputBlockHandOver::kSlots; ++i) {
    blocks.push_back(makeBlock(&calls, 10 + i));
    accepted += h.set(blocks.back()) ? 1 : 0;
  }
  EXPECT_LT(accepted, 2 * MIDIOutputBlockHandOver::kSlots);
  EXPECT_NE(h.acquire(), nullptr);
  h.collect();
  EXPECT_TRUE(h.set(makeBlock(&calls, 99)));
}

TEST(DspMidiHandOverThreads, HostReplacesWhileRenderCalls) {
  MIDIOutputBlockHandOver h;
  std::atomic<int> calls{0};
  std::atomic<bool> stop{false};
  std::thread render([&] {
    std::size_t n = 0;
    while (!stop.load(std::memory_order_relaxed) || n < 1000) {
      if (const AUMIDIOutputEventBlock* b = h.acquire())
        (*b)(0, 0, 0, nullptr);
      ++n;
    }
  });
  std::thread host([&] {
    for (int i = 0; i < 3000; ++i) {
      h.set(makeBlock(&calls, i));
      h.collect();
    }
  });
  std::thread other([&] {
    for (int i = 0; i < 3000; ++i) {
      h.set(i % 3 ? makeBlock(&calls, -i) : nullptr);
      h.collect();
    }
  });
  host.join();
  other.join();
  stop = true;
  render.join();
  h.collect();
  EXPECT_GT(calls.load(), 0);
}

// A host thread replaces blocks, sets parameters and reads meters while the render thread
// renders with the side chain on.
TEST(DspMidiHandOverThreads, AdapterRendersWhileBlocksChange) {
  KOV_Compressor_ExtensionDSPKernelAdapter a;
  testing::internal::CaptureStdout();  // the kernel prints every parameter it receives
  a.allocateRenderResources();
  std::vector<float> l(512), r(512);
  StackAudioBufferList<2> out;
  out.mBuffers[0] = {1, 2048, l.data()};
  out.mBuffers[1] = {1, 2048, r.data()};
  std::atomic<int> calls{0};
  auto captured = makeBlock(&calls, 7);
  std::atomic<bool> done{false};
  std::thread host([&] {
    for (int i = 0; i < 500; ++i) {
      a.setAUMIDIOutputEventBlock([](AUEventSampleTime, UInt8, NSInteger, const UInt8*) { return noErr; });
      a.setAUMIDIOutputEventBlock(nullptr);
      a.setParameterEx(i % 11, static_cast<float>(i % 7) / 6.0f);
      a.setBypass(i % 5 == 0);
      (void)a.getPeakValue1();
      (void)a.getDynamicsValue2();
      (void)a.outputs();
      (void)a.inputs();
    }
    done = true;
  });
  AudioTimeStamp ts;
  int renders = 0;
  while (!done.load() || renders < 200) {
    a.handOverAUMIDIOutputEventBlock(renders % 2 ? captured : nullptr);
    EXPECT_EQ(a.render(nullptr, &ts, 512, 0, out.list(), nullptr, nullptr), noErr);
    ++renders;
  }
  host.join();
  testing::internal::GetCapturedStdout();
}
