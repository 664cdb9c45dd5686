// A value that one side replaces now and then and any thread reads without locking: the
// platform's way to share observer lists and callbacks with the threads that set parameters.
//
// Readers announce themselves in a counter, read the current copy and leave. Writers (serialised
// by a mutex, never on the render thread) publish a changed copy and retire the old one
// (RetiredObjects); retired copies are freed by a later write that finds no reader inside, or
// with the box. All counter and pointer operations are sequentially consistent: a writer that
// sees no reader after its exchange knows that every later reader loads the new copy.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "RealTime/RenderChecks.h"
#include "RealTime/RetiredObjects.h"

template <typename T>
class PublishedValue {
 public:
  explicit PublishedValue(T initial = T{}) {
    auto first = std::make_unique<T>(std::move(initial));
    current_.store(values_.hold(first));
  }
  PublishedValue(const PublishedValue&) = delete;
  PublishedValue& operator=(const PublishedValue&) = delete;

  // [any] Calls use(const T&) with the current copy and returns its result. No lock, no
  // allocation. The reference is valid only inside `use`; `use` may call `update` (at most
  // kPlaces - 1 times: the copies it replaces stay until the read ends).
  template <typename Use>
  decltype(auto) read(Use&& use) const {
    readers_.fetch_add(1);
    struct Leave {
      std::atomic<int>& readers;
      ~Leave() { readers.fetch_sub(1); }
    } leave{readers_};
    return use(static_cast<const T&>(*values_.object(current_.load())));
  }

  // [main] Publishes a copy of the current value changed by change(T&). Allocates.
  template <typename Change>
  void update(Change&& change) {
    KOV_NOT_ON_RENDER_THREAD("PublishedValue::update");
    std::lock_guard lock(writer_);
    auto next = std::make_unique<T>(*values_.object(current_.load()));
    change(*next);
    int index;
    // Every place holds a copy a reader may use: readers are short, so wait for them; a reader
    // that never leaves is the writer itself, updating more than kPlaces - 1 times in one read.
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         (index = values_.hold(next)) < 0; std::this_thread::yield()) {
      freeUnread();
      if (std::chrono::steady_clock::now() > deadline) {
        std::fputs("PublishedValue: no free place for a new copy (too many updates inside one read)\n",
                   stderr);
        std::abort();
      }
    }
    values_.retire(current_.exchange(index));
    freeUnread();
  }

 private:
  // With no reader inside after the exchange, every later reader loads the current copy: all
  // retired copies can go.
  void freeUnread() {
    if (readers_.load() == 0)
      values_.collect([](int, std::uint64_t) { return false; });
  }

  static constexpr int kPlaces = 8;
  RetiredObjects<std::unique_ptr<T>, kPlaces> values_;
  std::atomic<int> current_{-1};
  mutable std::atomic<int> readers_{0};
  std::mutex writer_;
};
