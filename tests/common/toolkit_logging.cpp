// safeprint/debugprint: lines print on the main loop, whole, in order, without allocating on the
// calling thread; the line queue underneath; four-character code text.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"
#include "FourCharCode.h"
#include "LineQueue.h"
#include "Logging.h"
#include "StdoutCapture.h"

namespace {

using stdout_capture::beginCapture;
using stdout_capture::endCapture;
using stdout_capture::splitLines;

}  // namespace

TEST(Logging, LinesPrintWholeAndInOrderOnlyWhenTheMainLoopRuns) {
  const std::string longText = [] {
    std::string s;
    for (int i = 0; s.size() < 1000; ++i) s += "segment " + std::to_string(i) + " ";
    return s;
  }();

  beginCapture();
  safeprint("AUExtension::init()");
  debugprint("");
  safeprint("first\nsecond");
  debugprint(longText);
  safeprint("Grüße, ünïcödé ");
  DispatchQueue::main().async([] { print("main-queue work submitted after the lines"); });
  std::fflush(stdout);
  EXPECT_EQ(endCapture(), "") << "nothing is printed on the calling thread";
  EXPECT_TRUE(LogQueue::hasPendingLines());
  testing::internal::CaptureStdout();
  MainLoop::runUntilIdle();
  EXPECT_EQ(endCapture(), "AUExtension::init()\n\nfirst\nsecond\n" + longText +
                              "\nGrüße, ünïcödé \nmain-queue work submitted after the lines\n");
  EXPECT_FALSE(LogQueue::hasPendingLines());
}

TEST(Logging, CallerAllocatesNothing) {
  const std::string text(700, 'x');  // spans several queue slots
  beginCapture();
  std::size_t allocations = 0;
  {
    AllocationCounter counter;
    safeprint("AUExtension::internalRenderBlock() : ERROR: -10874");
    debugprint(text);
    allocations = counter.count();
  }
  MainLoop::runUntilIdle();
  EXPECT_EQ(allocations, 0u);
  EXPECT_EQ(endCapture(), "AUExtension::internalRenderBlock() : ERROR: -10874\n" + text + "\n");
}

TEST(LoggingThreads, BackgroundLineWakesTheMainLoopAndPrintsThere) {
  beginCapture();
  const std::uint64_t printedBefore = LogQueue::printedLines();
  std::thread worker([] { safeprint("from a worker"); });
  worker.join();
  EXPECT_EQ(endCapture(), "") << "the worker has returned; its line waits for the main loop";
  testing::internal::CaptureStdout();
  // A line from a thread while the main loop sleeps in its poll wakes it.
  std::atomic<bool> go{false};
  std::thread late([&] {
    while (!go.load()) std::this_thread::yield();
    safeprint("while the loop waits");
  });
  DispatchQueue::main().async([&] { go.store(true); });
  const bool done = MainLoop::runUntil([&] { return LogQueue::printedLines() >= printedBefore + 2; });
  late.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(endCapture(), "from a worker\nwhile the loop waits\n");
}

TEST(LoggingThreads, EachThreadsLinesKeepTheirOrder) {
  constexpr int kThreads = 4;
  constexpr int kLines = 500;  // 2000 short lines fit the queue without a drain
  beginCapture();
  const std::uint64_t printedBefore = LogQueue::printedLines();
  const std::uint64_t droppedBefore = LogQueue::droppedLines();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) safeprint("thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  }
  // The main loop prints while the threads are still submitting.
  const bool done = MainLoop::runUntil(
      [&] { return LogQueue::printedLines() >= printedBefore + kThreads * kLines; });
  for (auto& thread : threads) thread.join();
  const std::vector<std::string> lines = splitLines(endCapture());
  EXPECT_TRUE(done);
  EXPECT_EQ(LogQueue::droppedLines(), droppedBefore);
  ASSERT_EQ(lines.size(), std::size_t(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    EXPECT_EQ(i, next[t]) << "out of order: " << line;
    next[t] = i + 1;
  }
}

TEST(LineQueue, ClaimsSlotsByLengthDropsWhenFullAndWrapsAround) {
  LineQueue queue(4);
  const std::size_t P = LineQueue::kSlotPayload;
  ASSERT_EQ(queue.slotCount(), 4u);
  EXPECT_EQ(queue.maximumLength(), 4 * P);
  auto popped = [&queue] {
    std::string line;
    return queue.pop(line) ? line : "(nothing)";
  };
  {
    SCOPED_TRACE("slot use by length: empty and one payload take one slot, one byte more two");
    EXPECT_TRUE(queue.push(""));
    EXPECT_EQ(queue.claimedSlots(), 1u);
    EXPECT_TRUE(queue.push(std::string(P, 'a')));
    EXPECT_EQ(queue.claimedSlots(), 2u);
    EXPECT_TRUE(queue.push(std::string(P + 1, 'b')));
    EXPECT_EQ(queue.claimedSlots(), 4u);
  }
  {
    SCOPED_TRACE("a full queue drops and counts, and keeps what it holds");
    EXPECT_FALSE(queue.push("no room"));
    EXPECT_EQ(queue.droppedLines(), 1u);
    EXPECT_EQ(popped(), "");
    EXPECT_EQ(popped(), std::string(P, 'a'));
  }
  {
    SCOPED_TRACE("a line that runs past the end of the ring continues at its start");
    EXPECT_FALSE(queue.push(std::string(2 * P + 1, 'c')));  // needs three slots, two are free
    EXPECT_TRUE(queue.push(std::string(P + 5, 'd')));       // slots 4 and 5 = indices 0 and 1
    EXPECT_EQ(popped(), std::string(P + 1, 'b'));
    EXPECT_EQ(popped(), std::string(P + 5, 'd'));
    EXPECT_EQ(popped(), "(nothing)");
    EXPECT_FALSE(queue.hasPending());
  }
  {
    SCOPED_TRACE("the longest line fills the whole ring; a longer one never fits");
    const std::string longest(queue.maximumLength(), 'e');
    EXPECT_TRUE(queue.push(longest));
    EXPECT_EQ(popped(), longest);
    EXPECT_FALSE(queue.push(longest + "e"));
    EXPECT_EQ(queue.droppedLines(), 3u);
  }
  SCOPED_TRACE("slot counts round up to a power of two");
  EXPECT_EQ(LineQueue(5).slotCount(), 8u);
  EXPECT_EQ(LineQueue(0).slotCount(), 2u);
}

TEST(LineQueueThreads, ConcurrentProducersAndAConsumerLoseNothing) {
  constexpr int kProducers = 4;
  constexpr int kLines = 3000;
  LineQueue queue(64);  // small, so that producers meet a full ring and wrap many times
  auto text = [](int producer, int i) {
    // Lengths from 0 to about 3 slots, contents that tell producer and index apart.
    const std::size_t length = std::size_t(i * 37 + producer * 11) % (3 * LineQueue::kSlotPayload);
    std::string s = std::to_string(producer) + ":" + std::to_string(i) + ":";
    s.resize(std::max(length, s.size()), char('A' + (i + producer) % 26));
    return s;
  };
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kLines; ++i) {
        const std::string s = text(p, i);
        while (!queue.push(s)) std::this_thread::yield();  // retry: the test wants every line
      }
    });
  }
  std::vector<int> next(kProducers, 0);
  std::string line;
  int received = 0;
  bool intact = true;
  while (received < kProducers * kLines) {
    if (!queue.pop(line)) {
      std::this_thread::yield();
      continue;
    }
    ++received;
    int p = -1, i = -1;
    if (std::sscanf(line.c_str(), "%d:%d:", &p, &i) != 2 || p < 0 || p >= kProducers ||
        i != next[p] || line != text(p, i)) {
      intact = false;
      break;
    }
    next[p] = i + 1;
  }
  for (auto& producer : producers) producer.join();
  EXPECT_TRUE(intact) << "bad or out-of-order line: " << line.substr(0, 40);
  EXPECT_EQ(received, kProducers * kLines);
}

TEST(FourCharCode, BytesMostSignificantFirstAsMacRomanText) {
  struct Case {
    UInt32 value;
    std::string text;
  };
  const Case cases[] = {
      {0x61756D66, "aumf"},
      {FourCC("QFLD"), "QFLD"},
      {FourCC("kvc1"), "kvc1"},
      {0x80A5DB41, "Ä•€A"},
      {0xF0C6CA20, "\uF8FF\u2206\u00A0 "},  // Apple logo, increment, no-break space
      {0x00000000, std::string(4, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(stringValue(c.value), c.text);
  }
  {
    SCOPED_TRACE("every byte decodes in every position: never FAIL, never empty");
    for (UInt32 byte = 0; byte < 256; ++byte) {
      for (int shift = 0; shift < 32; shift += 8) {
        const std::string text = stringValue((byte << shift) | (shift ? 0x20u : 0x2000u));
        EXPECT_NE(text, "FAIL");
        EXPECT_GE(text.size(), 4u);
      }
    }
  }
}
