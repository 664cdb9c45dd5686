// safeprint/debugprint: lines are main-queue work in the queue's order; on a render thread they
// take the render-line queue (no allocation, drops reported) and reach a sleeping loop; the line
// queue underneath; four-character code text.
#include <gtest/gtest.h>

#include <glib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"
#include "FourCharCode.h"
#include "Logging.h"
#include "RealTime/LineQueue.h"
#include "RealTime/RenderLines.h"
#include "RealTime/RenderScope.h"
#include "StdoutCapture.h"

namespace {

using stdout_capture::beginCapture;
using stdout_capture::endCapture;
using stdout_capture::splitLines;

}  // namespace

TEST(Logging, LinesAreMainQueueWorkAndKeepItsOrder) {
  const std::string longText = [] {
    std::string s;
    for (int i = 0; s.size() < 1000; ++i)
      s += "segment " + std::to_string(i) + " ";
    return s;
  }();
  beginCapture();
  safeprint("A");
  DispatchQueue::main().async([] { print("B"); });
  debugprint("C");
  DispatchQueue::main().async([] { print("D"); });
  safeprint("first\nsecond");
  debugprint(longText);
  safeprint("Grüße, ünïcödé ");
  debugprint("");
  std::fflush(stdout);
  EXPECT_EQ(endCapture(), "") << "nothing is printed on the calling thread";
  testing::internal::CaptureStdout();
  MainLoop::runUntilIdle();
  EXPECT_EQ(endCapture(), "A\nB\nC\nD\nfirst\nsecond\n" + longText + "\nGrüße, ünïcödé \n\n");
}

TEST(Logging, RenderThreadLinesAllocateNothingAndReportDrops) {
  const std::string text(700, 'x');  // spans several queue slots
  beginCapture();
  std::size_t allocations = 0;
  {
    RenderScope render;
    AllocationCounter counter;
    safeprint("AUExtension::ERROR: We have a problem with the kernel! -10874");
    debugprint(text);
    allocations = counter.count();
  }
  EXPECT_TRUE(LogLines::renderLinesPending());
  MainLoop::runUntilIdle();
  EXPECT_EQ(allocations, 0u);
  EXPECT_FALSE(LogLines::renderLinesPending());
  EXPECT_EQ(endCapture(), "AUExtension::ERROR: We have a problem with the kernel! -10874\n" + text + "\n");

  SCOPED_TRACE("a full queue drops lines; a line says how many before the next one printed");
  const std::uint64_t droppedBefore = LogLines::dropped();
  beginCapture();
  {
    RenderScope render;
    for (std::size_t i = 0; i < RenderLines::kSlots + 3; ++i)
      safeprint("line " + std::to_string(i));
  }
  MainLoop::runUntilIdle();
  {
    RenderScope render;
    safeprint("after the drain");
  }
  MainLoop::runUntilIdle();
  const std::vector<std::string> lines = splitLines(endCapture());
  EXPECT_EQ(LogLines::dropped() - droppedBefore, 3u);
  ASSERT_EQ(lines.size(), RenderLines::kSlots + 2);
  EXPECT_EQ(lines[RenderLines::kSlots - 1], "line " + std::to_string(RenderLines::kSlots - 1));
  EXPECT_EQ(lines[RenderLines::kSlots], LogLines::droppedNotice(3));
  EXPECT_EQ(lines.back(), "after the drain");
  EXPECT_EQ(LogLines::droppedNotice(1),
            "[log] 1 line from a render thread dropped here: the render-line queue was full");
}

TEST(LoggingThreads, RenderThreadLinesReachASleepingLoopWithoutWakingIt) {
  beginCapture();
  const std::uint64_t printedBefore = LogLines::printed();
  std::atomic<bool> go{false}, stop{false};
  std::thread renderer([&] {
    while (!go.load())
      std::this_thread::yield();
    RenderScope render;
    safeprint("from the render thread");
  });
  // Only a watchdog may wake the loop: if the printer did not poll, the loop would sleep until it.
  std::thread watchdog([&] {
    for (int i = 0; i < 500 && !stop.load(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop.store(true);
    g_main_context_wakeup(g_main_context_default());
  });
  go.store(true);
  while (!stop.load() && LogLines::printed() < printedBefore + 1)
    g_main_context_iteration(nullptr, TRUE);
  const bool printedBeforeWatchdog = !stop.exchange(true);
  renderer.join();
  watchdog.join();
  EXPECT_TRUE(printedBeforeWatchdog);
  EXPECT_EQ(endCapture(), "from the render thread\n");
}

TEST(LoggingThreads, EachThreadsLinesKeepTheirOrder) {
  constexpr int kThreads = 4;
  constexpr int kLines = 2000;
  beginCapture();
  const std::uint64_t printedBefore = LogLines::printed();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      // Half of the threads render: their lines take the render-line queue.
      std::optional<RenderScope> render;
      if (t % 2 == 1)
        render.emplace();
      for (int i = 0; i < kLines; ++i) {
        safeprint("thread " + std::to_string(t) + " line " + std::to_string(i));
        if (render && i % 512 == 511)
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  // The main loop prints while the threads are still submitting.
  const bool done =
      MainLoop::runUntil([&] { return LogLines::printed() >= printedBefore + kThreads * kLines; });
  for (auto& thread : threads)
    thread.join();
  const std::vector<std::string> lines = splitLines(endCapture());
  EXPECT_TRUE(done);
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
  LineQueue<4> queue;
  const std::size_t P = kLineQueueSlotPayload;
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
    const std::string longest(4 * P, 'e');
    EXPECT_TRUE(queue.push(longest));
    EXPECT_EQ(popped(), longest);
    EXPECT_FALSE(queue.push(longest + "e"));
    EXPECT_EQ(queue.droppedLines(), 3u);
  }
  SCOPED_TRACE("the next line that gets in carries the count of lines dropped before it");
  EXPECT_FALSE(queue.push(std::string(5 * P, 'f')));
  EXPECT_TRUE(queue.push("g"));
  std::string line;
  std::uint64_t droppedBefore = 0;
  ASSERT_TRUE(queue.pop(line, droppedBefore));
  EXPECT_EQ(line, "g");
  EXPECT_EQ(droppedBefore, 2u) << "the longest-plus-one line and this one";
  EXPECT_EQ(queue.takeUnreportedDrops(), 0u);
  EXPECT_FALSE(queue.push(std::string(5 * P, 'h')));
  EXPECT_EQ(queue.takeUnreportedDrops(), 1u) << "a drop no line carries yet";
}

TEST(LineQueueThreads, ConcurrentProducersAndAConsumerLoseNothing) {
  constexpr int kProducers = 4;
  constexpr int kLines = 3000;
  auto owned =
      std::make_unique<LineQueue<64>>();  // small, so that producers meet a full ring and wrap many times
  auto text = [](int producer, int i) {
    // Lengths from 0 to about 3 slots, contents that tell producer and index apart.
    const std::size_t length = std::size_t(i * 37 + producer * 11) % (3 * kLineQueueSlotPayload);
    std::string s = std::to_string(producer) + ":" + std::to_string(i) + ":";
    s.resize(std::max(length, s.size()), char('A' + (i + producer) % 26));
    return s;
  };
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kLines; ++i) {
        const std::string s = text(p, i);
        while (!owned->push(s))
          std::this_thread::yield();  // retry: the test wants every line
      }
    });
  }
  std::vector<int> next(kProducers, 0);
  std::string line;
  int received = 0;
  bool intact = true;
  while (received < kProducers * kLines) {
    if (!owned->pop(line)) {
      std::this_thread::yield();
      continue;
    }
    ++received;
    int p = -1, i = -1;
    if (std::sscanf(line.c_str(), "%d:%d:", &p, &i) != 2 || p < 0 || p >= kProducers || i != next[p] ||
        line != text(p, i)) {
      intact = false;
      break;
    }
    next[p] = i + 1;
  }
  for (auto& producer : producers)
    producer.join();
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
