// Costs of the platform's core services, each beside a baseline in the same run:
// - a main-queue item (submit from this thread, then run by the loop) beside the allocation of
//   the std::function alone, and beside a mutex-protected deque hand-over;
// - the runtime's text form of a double beside snprintf("%.17g");
// - a preset-sized property list written and read as XML and as binary.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/PropertyList.h"
#include "Foundation/TextForms.h"

namespace {

constexpr int kBatch = 1000;

void BM_FunctionAllocationBaseline(benchmark::State& state) {
  int sink = 0;
  std::string text = "AUExtension::allocateRenderResources()";
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      std::function<void()> f = [&sink, text] { sink += static_cast<int>(text.size()); };
      benchmark::DoNotOptimize(f);
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_FunctionAllocationBaseline);

void BM_LockedDequeBaseline(benchmark::State& state) {
  std::mutex mutex;
  std::deque<std::function<void()>> queue;
  int sink = 0;
  std::string text = "AUExtension::allocateRenderResources()";
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      std::lock_guard lock(mutex);
      queue.emplace_back([&sink, text] { sink += static_cast<int>(text.size()); });
    }
    while (!queue.empty()) {
      queue.front()();
      queue.pop_front();
    }
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_LockedDequeBaseline);

void BM_MainQueueSubmitAndRun(benchmark::State& state) {
  MainLoop::adoptCurrentThread();
  int sink = 0;
  std::string text = "AUExtension::allocateRenderResources()";
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      DispatchQueue::main().async([&sink, text] { sink += static_cast<int>(text.size()); });
    MainLoop::runUntilIdle();
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_MainQueueSubmitAndRun);

void BM_SnprintfBaseline(benchmark::State& state) {
  double value = 48000.0;
  char buffer[32];
  for (auto _ : state) {
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    benchmark::DoNotOptimize(buffer);
    value += 0.1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SnprintfBaseline);

void BM_DescribeDouble(benchmark::State& state) {
  double value = 48000.0;
  for (auto _ : state) {
    std::string text = describe(value);
    benchmark::DoNotOptimize(text);
    value += 0.1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DescribeDouble);

PropertyList presetLikeList() {
  PropertyList::Dictionary params;
  for (int i = 0; i < 12; ++i)
    params["param" + std::to_string(i)] = PropertyList(PropertyList::Dictionary{
        {"identifier", "kCompressorParameter" + std::to_string(i)},
        {"address", PropertyList(static_cast<unsigned long long>(i))},
        {"value", PropertyList(0.1f * static_cast<float>(i))},
    });
  return PropertyList(PropertyList::Dictionary{
      {"version", 1}, {"type", PropertyList(0x61756D66u)}, {"name", "Gentle Glue"},
      {"groups", PropertyList(PropertyList::Dictionary{{"group0", PropertyList(std::move(params))}})}});
}

void BM_PropertyListRoundTrip(benchmark::State& state) {
  const auto format = state.range(0) == 0 ? PropertyListFormat::xml : PropertyListFormat::binary;
  const PropertyList list = presetLikeList();
  for (auto _ : state) {
    const auto data = PropertyListSerialization::data(list, format);
    PropertyList back = PropertyListSerialization::propertyList(data);
    benchmark::DoNotOptimize(back);
  }
  state.SetLabel(format == PropertyListFormat::xml ? "xml" : "binary");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PropertyListRoundTrip)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
