// Dispatch queues: first-in first-out order across threads, never inline, serial sync/async,
// the global queue, delayed work and the bound on waiting main-queue items.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/Timer.h"
#include "Dispatch/testing/TestClock.h"

TEST(DispatchThreads, MainQueueKeepsTheOrderOfSubmissionsAndRunsEverythingOnTheMainThread) {
  MainLoop::runUntilIdle();  // what earlier tests left
  constexpr int kThreads = 4;
  constexpr int kItems = 5000;
  std::vector<std::vector<int>> seen(kThreads);  // touched only on the main thread
  std::atomic<int> wrongThread{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &seen, &wrongThread] {
      for (int i = 0; i < kItems; ++i)
        DispatchQueue::main().async([t, i, &seen, &wrongThread] {
          if (!DispatchQueue::main().isCurrent())
            wrongThread.fetch_add(1);
          seen[t].push_back(i);
        });
    });
  }
  for (auto& th : threads)
    th.join();
  MainLoop::runUntilIdle();

  EXPECT_EQ(wrongThread.load(), 0);
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kItems));
    for (int i = 0; i < kItems; ++i)
      ASSERT_EQ(seen[t][i], i);
  }
  EXPECT_EQ(MainLoop::pendingItems(), 0u);

  SCOPED_TRACE("submissions handed over between threads run in exactly their order");
  std::vector<int> order;
  std::mutex handOver;
  int turn = 0;
  std::condition_variable cv;
  constexpr int kRounds = 200;
  threads.clear();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r) {
        std::unique_lock lock(handOver);
        cv.wait(lock, [&] { return turn % kThreads == t; });
        const int ticket = turn;
        DispatchQueue::main().async([&order, ticket] { order.push_back(ticket); });
        ++turn;
        cv.notify_all();
      }
    });
  }
  for (auto& th : threads)
    th.join();
  MainLoop::runUntilIdle();
  ASSERT_EQ(order.size(), static_cast<std::size_t>(kThreads * kRounds));
  for (int i = 0; i < kThreads * kRounds; ++i)
    ASSERT_EQ(order[i], i);
}

TEST(DispatchThreads, MainQueueNeverRunsInlineAndWakesRunUntil) {
  MainLoop::runUntilIdle();  // what earlier tests left
  {
    SCOPED_TRACE("async on the main thread waits for the loop");
    bool ran = false;
    DispatchQueue::main().async([&] { ran = true; });
    EXPECT_FALSE(ran);
    MainLoop::runUntilIdle();
    EXPECT_TRUE(ran);
  }
  {
    SCOPED_TRACE("async from a worker before the loop runs does not run on the worker");
    std::atomic<bool> ranOnWorker{false};
    std::atomic<bool> ran{false};
    std::thread worker([&] {
      DispatchQueue::main().async([&] {
        ran = true;
        ranOnWorker = !DispatchQueue::main().isCurrent();
      });
    });
    worker.join();
    EXPECT_FALSE(ran.load());
    EXPECT_TRUE(MainLoop::runUntil([&] { return ran.load(); }, std::chrono::seconds(10)));
    EXPECT_FALSE(ranOnWorker.load());
  }
  {
    SCOPED_TRACE("main-queue sync from a worker runs on the main thread and returns after it");
    bool done = false;
    std::atomic<bool> workerReturned{false};
    std::thread worker([&] {
      DispatchQueue::main().sync([&] { done = DispatchQueue::main().isCurrent(); });
      workerReturned = true;
    });
    EXPECT_TRUE(MainLoop::runUntil([&] { return workerReturned.load(); }, std::chrono::seconds(10)));
    worker.join();
    EXPECT_TRUE(done);
  }
}

TEST(DispatchThreads, SerialQueueOrdersItsWorkAndRunsItBeforeItIsDestroyed) {
  DispatchQueue queue("com.example.serial");
  EXPECT_FALSE(queue.isCurrent());
  std::vector<int> order;  // touched only on the queue's thread, read after sync
  for (int i = 0; i < 100; ++i)
    queue.async([&order, i] { order.push_back(i); });
  bool onQueue = false;
  queue.sync([&] {
    order.push_back(100);
    onQueue = queue.isCurrent();
  });
  ASSERT_EQ(order.size(), 101u);
  for (int i = 0; i <= 100; ++i)
    EXPECT_EQ(order[i], i);
  EXPECT_TRUE(onQueue);

  SCOPED_TRACE("sync hands the work's exception to its caller, and the queue keeps working");
  EXPECT_THROW(queue.sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
  int after = 0;
  queue.sync([&] { after = 1; });
  EXPECT_EQ(after, 1);

  SCOPED_TRACE("queued work runs before the queue is destroyed");
  std::atomic<int> count{0};
  {
    DispatchQueue drained("com.example.drain");
    drained.async([] { std::this_thread::yield(); });
    for (int i = 0; i < 50; ++i)
      drained.async([&count] { count.fetch_add(1); });
  }
  EXPECT_EQ(count.load(), 50);

  SCOPED_TRACE("a queue destroyed by its own work item ends without deadlock");
  std::atomic<bool> destroyed{false};
  auto* self = new DispatchQueue("com.example.self");
  self->async([self, &destroyed] {
    delete self;
    destroyed = true;
  });
  EXPECT_TRUE(MainLoop::runUntil([&] { return destroyed.load(); }, std::chrono::seconds(10)));
}

TEST(DispatchThreads, GlobalQueueRunsWorkOnOtherThreadsAndSyncOnTheCaller) {
  MainLoop::runUntilIdle();  // what earlier tests left
  constexpr int kItems = 200;
  std::atomic<int> done{0};
  std::atomic<int> onMain{0};
  for (int i = 0; i < kItems; ++i)
    DispatchQueue::global().async([&] {
      if (DispatchQueue::main().isCurrent())
        onMain.fetch_add(1);
      if (!DispatchQueue::global().isCurrent())
        onMain.fetch_add(1000);
      // Completion is reported through the main queue, which wakes runUntil.
      DispatchQueue::main().async([&] { done.fetch_add(1); });
    });
  EXPECT_TRUE(MainLoop::runUntil([&] { return done.load() == kItems; }, std::chrono::seconds(10)));
  EXPECT_EQ(onMain.load(), 0);

  const auto caller = std::this_thread::get_id();
  std::thread::id ranOn;
  DispatchQueue::global().sync([&] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, caller);
}

TEST(DispatchThreads, DelayedWorkRunsOnItsQueue) {
  MainLoop::runUntilIdle();  // what earlier tests left
  DispatchQueue serial("com.example.later");
  std::atomic<int> ranOnSerial{0};
  std::atomic<int> ranOnGlobal{0};
  serial.asyncAfter(0.001, [&] { ranOnSerial = serial.isCurrent() ? 1 : -1; });
  DispatchQueue::global().asyncAfter(0.001,
                                     [&] { ranOnGlobal = DispatchQueue::global().isCurrent() ? 1 : -1; });
  // Nothing posts to the main loop here: runUntil's periodic re-check sees the results.
  EXPECT_TRUE(MainLoop::runUntil([&] { return ranOnSerial.load() != 0 && ranOnGlobal.load() != 0; }));
  EXPECT_EQ(ranOnSerial.load(), 1);
  EXPECT_EQ(ranOnGlobal.load(), 1);

  SCOPED_TRACE("delayed work runs in the order of its deadlines, not of its submissions");
  std::mutex mutex;
  std::string order;  // guarded by mutex
  auto append = [&](char c) {
    std::lock_guard lock(mutex);
    order += c;
  };
  serial.asyncAfter(0.3, [&] { append('c'); });
  serial.asyncAfter(0.15, [&] { append('b'); });
  serial.asyncAfter(0, [&] { append('a'); });
  EXPECT_TRUE(MainLoop::runUntil([&] {
    std::lock_guard lock(mutex);
    return order.size() == 3;
  }));
  std::lock_guard lock(mutex);
  EXPECT_EQ(order, "abc");
}

TEST(Dispatch, MainQueueAsyncAfterFollowsTheTestClock) {
  MainLoop::runUntilIdle();  // what earlier tests left
  TestClock::enable();
  std::vector<std::string> log;
  DispatchQueue::main().asyncAfter(0.5, [&] { log.push_back("late"); });
  DispatchQueue::main().asyncAfter(0.25, [&] { log.push_back("early"); });
  DispatchQueue::main().asyncAfter(0, [&] { log.push_back("now"); });
  DispatchQueue::main().async([&] { log.push_back("async"); });
  MainLoop::runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"now", "async"}));
  TestClock::advance(0.2499);
  EXPECT_EQ(log.size(), 2u);
  TestClock::advance(0.0001);
  EXPECT_EQ(log, (std::vector<std::string>{"now", "async", "early"}));
  TestClock::advance(10);
  EXPECT_EQ(log, (std::vector<std::string>{"now", "async", "early", "late"}));
  TestClock::disable();
}

TEST(Dispatch, MainQueueKeepsEveryItemInOrderWhileNothingDrainsIt) {
  MainLoop::runUntilIdle();       // what earlier tests left
  constexpr int kItems = 70'000;  // beyond any bound a queue might impose
  int ran = 0;
  bool inOrder = true;
  for (int i = 0; i < kItems; ++i)
    DispatchQueue::main().async([&, i] { inOrder = inOrder && ran++ == i; });
  EXPECT_EQ(MainLoop::pendingItems(), std::size_t(kItems));
  MainLoop::runUntilIdle();
  EXPECT_EQ(ran, kItems);
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(MainLoop::pendingItems(), 0u);

  SCOPED_TRACE("a throwing item is dropped and the queue goes on");
  int later = 0;
  DispatchQueue::main().async([] { throw std::runtime_error("item failed"); });
  DispatchQueue::main().async([&] { later = 1; });
  testing::internal::CaptureStderr();
  MainLoop::runUntilIdle();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(later, 1);
  EXPECT_NE(err.find("item failed"), std::string::npos);
}

TEST(Dispatch, RunReturnsAfterQuitFromAWorkItem) {
  MainLoop::runUntilIdle();  // what earlier tests left
  int ran = 0;
  DispatchQueue::main().async([&] { ++ran; });
  DispatchQueue::main().async([&] {
    ++ran;
    MainLoop::quit();
  });
  MainLoop::run();
  EXPECT_EQ(ran, 2);
  EXPECT_FALSE(MainLoop::runUntil([] { return false; }, std::chrono::milliseconds(0)));
}
