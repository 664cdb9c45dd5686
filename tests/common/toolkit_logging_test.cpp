// safeprint/debugprint: lines are main-queue work in the queue's order; on a render thread they
// take the render-line queue (no allocation, drops reported) and reach a sleeping loop without
// waking a busy one more often; render drains run on the printer's turns; the line queue
// underneath; four-character code text.
#include <gtest/gtest.h>

#include <glib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
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

// Removes the drains a test added when the test ends (their functions refer to its locals).
struct DrainKeys {
  std::vector<std::uint64_t> keys;
  std::uint64_t add(std::function<bool()> pending, std::function<void()> drain) {
    keys.push_back(LogLines::addRenderDrain(std::move(pending), std::move(drain)));
    return keys.back();
  }
  ~DrainKeys() {
    for (const std::uint64_t key : keys)
      LogLines::removeRenderDrain(key);
  }
};

// Iterates the main loop, blocking, for about `span`; the number of iterations. Nothing but the
// loop's own sources ends a wait.
int iterationsFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  int iterations = 0;
  while (std::chrono::steady_clock::now() < end) {
    g_main_context_iteration(nullptr, TRUE);
    ++iterations;
  }
  return iterations;
}

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

// While render scopes are entered the printer looks at the queue every 40 ms on its own; a loop
// that something else wakes more often gets no wake-up of its own from the printer.
TEST(Logging, ThePrinterPollsEvery40MsAndRidesOnOtherWakeUps) {
  MainLoop::runUntilIdle();
  {
    RenderScope render;  // the printer polls fast for 2 s after this
  }
  {
    SCOPED_TRACE("alone: about one wake-up per 40 ms");
    const int iterations = iterationsFor(std::chrono::milliseconds(400));
    EXPECT_GE(iterations, 3);
    EXPECT_LE(iterations, 13) << "a wake-up every " << 400 / iterations << " ms";
  }
  {
    SCOPED_TRACE("beside a 20 ms timer: no wake-up but the timer's");
    int fired = 0;
    const guint timer = g_timeout_add(
        20,
        [](gpointer counter) -> gboolean {
          ++*static_cast<int*>(counter);
          return G_SOURCE_CONTINUE;
        },
        &fired);
    const int iterations = iterationsFor(std::chrono::milliseconds(400));
    g_source_remove(timer);
    EXPECT_GE(fired, 5);
    EXPECT_LE(iterations, fired + 2) << iterations << " iterations, " << fired << " timer calls";
  }
}

TEST(LoggingThreads, RenderDrainsRunOnTheMainLoopWhilePending) {
  DrainKeys drains;
  std::atomic<int> queued{0};  // what a render thread left for the drain
  int runs = 0;
  std::thread::id ranOn;
  const std::uint64_t key = drains.add([&] { return queued.load() > 0; },
                                       [&] {
                                         ++runs;
                                         ranOn = std::this_thread::get_id();
                                         print("drained " + std::to_string(queued.exchange(0)));
                                       });
  {
    SCOPED_TRACE("nothing pending: the drain does not run");
    MainLoop::runUntil([] { return false; }, std::chrono::milliseconds(60));
    MainLoop::runUntilIdle();
    EXPECT_EQ(runs, 0);
  }
  {
    SCOPED_TRACE("pending from a render thread: runs once on a sleeping main loop, no wake-up needed");
    beginCapture();
    std::atomic<bool> stop{false};
    std::thread renderer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the loop is asleep by then
      RenderScope render;
      queued.store(3);
    });
    // Only a watchdog may wake the loop: without the printer's poll it would sleep until it.
    std::thread watchdog([&] {
      for (int i = 0; i < 300 && !stop.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      stop.store(true);
      g_main_context_wakeup(g_main_context_default());
    });
    while (!stop.load() && runs == 0)
      g_main_context_iteration(nullptr, TRUE);
    const bool ranBeforeWatchdog = !stop.exchange(true);
    renderer.join();
    watchdog.join();
    MainLoop::runUntil([] { return false; }, std::chrono::milliseconds(60));
    EXPECT_TRUE(ranBeforeWatchdog);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(endCapture(), "drained 3\n");
  }
  {
    SCOPED_TRACE("on the same turn the render lines print first");
    beginCapture();
    {
      RenderScope render;
      safeprint("render line");
      queued.store(1);
    }
    MainLoop::runUntilIdle();
    EXPECT_EQ(endCapture(), "render line\ndrained 1\n");
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(LogLines::renderLinesPending()) << "the drains are not render lines";
  }
  {
    SCOPED_TRACE("removed: pending work no longer runs it");
    LogLines::removeRenderDrain(key);
    LogLines::removeRenderDrain(key);  // a second time: ignored
    std::thread renderer([&] { queued.store(5); });
    renderer.join();
    MainLoop::runUntil([] { return false; }, std::chrono::milliseconds(100));
    MainLoop::runUntilIdle();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(queued.load(), 5);
  }
}

// A drain may remove itself or another drain, or add one, while it runs.
TEST(Logging, DrainsMayChangeTheDrainsWhileTheyRun) {
  DrainKeys drains;
  std::vector<std::string> ran;
  bool pending = false;
  auto whilePending = [&] { return pending; };
  {
    SCOPED_TRACE("a drain removing itself, then using what its function holds");
    auto held = std::make_shared<std::string>("held by the drain");
    std::uint64_t self = 0;
    self = drains.add(whilePending, [&, held] {
      LogLines::removeRenderDrain(self);
      ran.push_back(*held);  // its function must still be alive
    });
    held.reset();
    pending = true;
    MainLoop::runUntilIdle();
    pending = false;
    EXPECT_EQ(ran, std::vector<std::string>{"held by the drain"});
    pending = true;
    MainLoop::runUntilIdle();
    pending = false;
    EXPECT_EQ(ran.size(), 1u) << "removed";
  }
  {
    SCOPED_TRACE("a drain removing a later one on the same turn, and adding one that runs from the next");
    ran.clear();
    std::uint64_t later = 0;
    bool added = false;
    drains.add(whilePending, [&] {
      ran.push_back("first");
      LogLines::removeRenderDrain(later);
      if (!added) {
        added = true;
        drains.add(whilePending, [&] { ran.push_back("added"); });
      }
    });
    later = drains.add(whilePending, [&] { ran.push_back("later"); });
    pending = true;
    g_main_context_iteration(nullptr, FALSE);
    EXPECT_EQ(ran, std::vector<std::string>{"first"});
    g_main_context_iteration(nullptr, FALSE);
    pending = false;
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "first", "added"}));
  }
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
