// Cost of a log line on the calling thread (the render thread, in the worst case), each beside a
// baseline in the same run:
// - safeprint on a render thread: the copy into the render-line queue;
// - the same push into a bare LineQueue;
// - safeprint on any other thread: a main-queue work item (the text and the closure allocated, a
//   GLib source attached under the context's lock);
// - a bare main-queue hand-over of a captured text, for comparison with the line above;
// - a plain copy of the text into a buffer, the least any hand-over can cost.
// The queue is drained between batches with the timer paused; the lines go to /dev/null.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"
#include "Logging.h"
#include "RealTime/LineQueue.h"
#include "RealTime/RenderScope.h"

namespace {

constexpr int kBatch = 1000;  // well below the queue's 4096 slots
const std::string kLine = "AUExtension::internalRenderBlock() : ERROR: status -10874 (frames 4097)";

// Runs the main loop with standard output sent to /dev/null.
void drainQuietly() {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  MainLoop::runUntilIdle();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(null);
  close(saved);
}

void BM_CopyBaseline(benchmark::State& state) {
  static char buffer[kBatch][128];
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      std::memcpy(buffer[i], kLine.data(), kLine.size());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_CopyBaseline);

void BM_LineQueuePush(benchmark::State& state) {
  auto queue = std::make_unique<LineQueue<4096>>();
  std::string line;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      queue->push(kLine);
    state.PauseTiming();
    while (queue->pop(line)) {
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["dropped"] = double(queue->droppedLines());
}
BENCHMARK(BM_LineQueuePush);

void BM_SafeprintOnRenderThread(benchmark::State& state) {
  const auto droppedBefore = LogLines::dropped();
  for (auto _ : state) {
    {
      RenderScope render;
      for (int i = 0; i < kBatch; ++i)
        safeprint(kLine);
    }
    state.PauseTiming();
    drainQuietly();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["dropped"] = double(LogLines::dropped() - droppedBefore);
}
BENCHMARK(BM_SafeprintOnRenderThread);

void BM_SafeprintOffRenderThread(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      safeprint(kLine);
    state.PauseTiming();
    drainQuietly();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_SafeprintOffRenderThread);

void BM_MainQueueTextHandOver(benchmark::State& state) {
  std::size_t sink = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      DispatchQueue::main().async([&sink, text = kLine] { sink += text.size(); });
    }
    state.PauseTiming();
    MainLoop::runUntilIdle();
    state.ResumeTiming();
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_MainQueueTextHandOver);

}  // namespace

BENCHMARK_MAIN();
