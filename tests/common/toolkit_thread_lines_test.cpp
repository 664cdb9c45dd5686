// safeprint from threads other than the main and render threads: the lines waiting for the main
// loop are bounded; threads that print faster than the loop wait for it and lose nothing, in
// their order and in the main queue's; a main thread that waits for a printing thread instead of
// printing holds it up one bounded wait at most, and the lines it drops are counted in one line
// where they were dropped. The main thread's own lines never wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"
#include "Logging.h"
#include "StdoutCapture.h"

namespace {

using stdout_capture::beginCapture;
using stdout_capture::endCapture;
using stdout_capture::splitLines;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kLimit = LogLines::kPendingThreadLines;

// Under ThreadSanitizer the main loop may print nothing for longer than a thread waits for it:
// the first race report it suppresses inside GLib has the runtime read the libraries' debug
// information on the reporting thread, seen taking 1 to 2 s on a loaded machine. Lines are
// dropped then, as for any stalled loop, and must still be counted.
#if defined(__SANITIZE_THREAD__)
constexpr bool kLoopMayStall = true;
#else
constexpr bool kLoopMayStall = false;
#endif

// "line 0" ... "line <count - 1>".
std::vector<std::string> numberedLines(std::size_t count) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i)
    lines.push_back("line " + std::to_string(i));
  return lines;
}

// Prints `lines` from a thread of its own while the main thread waits for that thread without
// running the loop, as a main thread that joins a worker does; how long the join took.
Clock::duration printWhileTheMainThreadJoins(const std::vector<std::string>& lines) {
  const auto start = Clock::now();
  std::thread printer([&] {
    for (const std::string& line : lines)
      safeprint(line);
  });
  printer.join();
  return Clock::now() - start;
}

}  // namespace

TEST(ThreadLinesThreads, ThreadsThatOutprintTheMainLoopWaitForItAndLoseNothing) {
  constexpr int kThreads = 3;
  constexpr int kLines = 3 * int(kLimit);
  constexpr int kWorkEvery = 64;  // a thread also posts main-queue work of its own this often
  beginCapture();
  const std::uint64_t droppedBefore = LogLines::threadLinesDropped();
  std::atomic<int> finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &finished] {
      const std::string name = "thread " + std::to_string(t);
      for (int i = 0; i < kLines; ++i) {
        safeprint(name + " line " + std::to_string(i));
        if (i % kWorkEvery == 0)
          DispatchQueue::main().async([name, i] { print(name + " work " + std::to_string(i)); });
      }
      finished.fetch_add(1);
    });
  }
  // The loop prints while the threads go on, far faster than it.
  std::size_t peakPending = 0;
  const bool done = MainLoop::runUntil(
      [&] {
        peakPending = std::max(peakPending, MainLoop::pendingItems());
        return finished.load() == kThreads && MainLoop::pendingItems() == 0;
      },
      std::chrono::seconds(120));
  for (auto& thread : threads)
    thread.join();
  MainLoop::runUntilIdle();
  const std::vector<std::string> lines = splitLines(endCapture());
  const std::uint64_t dropped = LogLines::threadLinesDropped() - droppedBefore;
  EXPECT_TRUE(done);
  if (!kLoopMayStall) {
    EXPECT_EQ(dropped, 0u);
  }
  // The waiting lines, the lines of threads that passed the bound together, and the work items
  // among them. (While lines drop, the threads' work items, which never wait, pile up.)
  if (dropped == 0) {
    EXPECT_LE(peakPending, kLimit + kLimit / kWorkEvery + 2 * kThreads);
  }
  SCOPED_TRACE("every line and work item, each thread's in its order; a line dropped is counted");
  std::vector<int> nextLine(kThreads, 0), nextWork(kThreads, 0);
  std::uint64_t skipped = 0, counted = 0;
  for (const std::string& line : lines) {
    unsigned long long count = 0;
    if (std::sscanf(line.c_str(), "[log] %llu", &count) == 1) {
      EXPECT_EQ(line, LogLines::threadDroppedNotice(count));
      counted += count;
      continue;
    }
    int t = -1, i = -1;
    char what[8] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d %7s %d", &t, what, &i), 3) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    if (std::string(what) == "line") {
      ASSERT_GE(i, nextLine[t]) << "out of order: " << line;
      skipped += std::uint64_t(i - nextLine[t]);
      nextLine[t] = i + 1;
    } else {
      // After the line it follows (or its place), before the next one: the main queue's order.
      ASSERT_LE(nextLine[t], i + 1) << "out of order: " << line;
      ASSERT_EQ(i, nextWork[t]) << "a work item lost or out of order: " << line;
      nextWork[t] += kWorkEvery;
    }
  }
  for (int t = 0; t < kThreads; ++t) {
    skipped += std::uint64_t(kLines - nextLine[t]);
    EXPECT_EQ(nextWork[t], kLines) << "work items of thread " << t;
  }
  EXPECT_EQ(skipped, dropped);
  EXPECT_EQ(counted, dropped);
}

TEST(ThreadLinesThreads, AMainThreadThatWaitsForAPrintingThreadHoldsItUpOneWaitAtMost) {
  constexpr std::size_t kOver = 1000;  // lines past the bound
  const auto bound = LogLines::kStalledLoopWait + std::chrono::seconds(5);
  {
    SCOPED_TRACE("the lines past the bound are dropped, at once after one wait, and said where");
    beginCapture();
    const std::uint64_t droppedBefore = LogLines::threadLinesDropped();
    const Clock::duration joined = printWhileTheMainThreadJoins(numberedLines(kLimit + kOver));
    const std::uint64_t dropped = LogLines::threadLinesDropped() - droppedBefore;
    MainLoop::runUntilIdle();
    const std::vector<std::string> lines = splitLines(endCapture());
    EXPECT_GE(joined, LogLines::kStalledLoopWait) << "it waited for the loop first";
    EXPECT_LT(joined, bound) << "one wait, not one for each line dropped";
    EXPECT_EQ(dropped, kOver);
    std::vector<std::string> expected = numberedLines(kLimit);
    expected.push_back(LogLines::threadDroppedNotice(kOver));
    EXPECT_EQ(lines, expected);
  }
  {
    SCOPED_TRACE(
        "the loop printed since: a thread waits for it again; each run of drops is said after "
        "the lines before it and before the lines after");
    beginCapture();
    const std::uint64_t droppedBefore = LogLines::threadLinesDropped();
    const Clock::duration joined = printWhileTheMainThreadJoins(numberedLines(kLimit + 2));
    std::thread([] { safeprint("next thread"); }).join();  // dropped at once: the loop is still stalled
    safeprint("main thread");                              // the main thread's own line, never dropped
    std::thread([] { safeprint("dropped"); }).join();      // a run of its own: after the main thread's line
    const std::uint64_t dropped = LogLines::threadLinesDropped() - droppedBefore;
    MainLoop::runUntilIdle();
    const std::vector<std::string> lines = splitLines(endCapture());
    EXPECT_GE(joined, LogLines::kStalledLoopWait);
    EXPECT_LT(joined, bound);
    EXPECT_EQ(dropped, 4u);
    std::vector<std::string> expected = numberedLines(kLimit);
    expected.push_back(LogLines::threadDroppedNotice(3));
    expected.push_back("main thread");
    expected.push_back(LogLines::threadDroppedNotice(1));
    EXPECT_EQ(lines, expected);
  }
  SCOPED_TRACE("the count line's text, parallel to the render-line one");
  EXPECT_EQ(LogLines::threadDroppedNotice(1),
            "[log] 1 line from another thread dropped here: the main loop fell behind");
  EXPECT_EQ(LogLines::threadDroppedNotice(4096),
            "[log] 4096 lines from another thread dropped here: the main loop fell behind");
}

TEST(ThreadLinesThreads, TheMainThreadsOwnLinesNeverWaitAndAreNeverDropped) {
  constexpr std::size_t kLines = 2 * kLimit + 10;
  beginCapture();
  const std::uint64_t droppedBefore = LogLines::threadLinesDropped();
  for (const std::string& line : numberedLines(kLines))
    safeprint(line);
  std::thread([] { safeprint("from a thread"); }).join();  // the main thread's lines leave it room
  MainLoop::runUntilIdle();
  EXPECT_EQ(LogLines::threadLinesDropped(), droppedBefore);
  std::vector<std::string> expected = numberedLines(kLines);
  expected.push_back("from a thread");
  EXPECT_EQ(splitLines(endCapture()), expected);
}
