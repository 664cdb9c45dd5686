// Costs of the platform's core services, each beside a baseline in the same run:
// - a main-queue item (submit from this thread, then run by the loop) beside the allocation of
//   the std::function alone, and beside a mutex-protected deque hand-over;
// - the runtime's text form of a double beside snprintf("%.17g");
// - a preset-sized property list written and read as XML and as binary;
// - a 100,000-item array loaded from XML and from binary, beside a deep copy of the result.
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
      {"version", 1},
      {"type", PropertyList(0x61756D66u)},
      {"name", "Gentle Glue"},
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

// A state file with one large array of 100,000 items: numbers (0), or small dictionaries as a
// preset's parameters are (1), which triples the nodes.
constexpr int kLargeArrayItems = 100000;

PropertyList largeArrayList(bool dictionaries) {
  PropertyList::Array items;
  items.reserve(kLargeArrayItems);
  for (int i = 0; i < kLargeArrayItems; ++i) {
    PropertyList value(0.5 * i);
    items.push_back(dictionaries ? PropertyList(PropertyList::Dictionary{{"value", std::move(value)}})
                                 : value);
  }
  return PropertyList(PropertyList::Dictionary{{"items", PropertyList(std::move(items))}});
}

// Baseline: a deep copy of the loaded list, the allocations any loader has to make.
void BM_LargeArrayCopyBaseline(benchmark::State& state) {
  const PropertyList list = largeArrayList(state.range(0) != 0);
  for (auto _ : state) {
    PropertyList copy = list;
    benchmark::DoNotOptimize(copy);
  }
  state.SetLabel(state.range(0) != 0 ? "dictionaries" : "numbers");
  state.SetItemsProcessed(state.iterations() * kLargeArrayItems);
}
BENCHMARK(BM_LargeArrayCopyBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Loading the list from its XML (first argument 0) or binary (1) form: linear in the number of
// items (before walking arrays with an iterator, binary was quadratic: 7-8 s for 80,000 items).
void BM_LargeArrayLoad(benchmark::State& state) {
  const auto format = state.range(0) == 0 ? PropertyListFormat::xml : PropertyListFormat::binary;
  const bool dictionaries = state.range(1) != 0;
  const auto data = PropertyListSerialization::data(largeArrayList(dictionaries), format);
  for (auto _ : state) {
    PropertyList back = PropertyListSerialization::propertyList(data);
    benchmark::DoNotOptimize(back);
  }
  state.SetLabel(std::string(format == PropertyListFormat::xml ? "xml" : "binary") +
                 (dictionaries ? " dictionaries, " : " numbers, ") + std::to_string(data.size()) + " bytes");
  state.SetItemsProcessed(state.iterations() * kLargeArrayItems);
}
BENCHMARK(BM_LargeArrayLoad)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
