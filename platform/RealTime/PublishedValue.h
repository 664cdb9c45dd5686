// A value that one side replaces now and then and any thread reads without locking: the
// platform's way to share observer lists and callbacks with the threads that set parameters.
//
// Readers announce themselves in a counter, read the current copy and leave. Writers (serialised
// by a mutex, never on the render thread) publish a changed copy and retire the old one; retired
// copies are freed by a later write that finds no reader inside, or with the box. All counter
// and pointer operations are sequentially consistent: a writer that sees no reader after its
// exchange knows that every later reader loads the new copy.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "RealTime/RenderChecks.h"

template <typename T>
class PublishedValue {
 public:
  explicit PublishedValue(T initial = T{}) : current_(new T(std::move(initial))) {}
  ~PublishedValue() {
    delete current_.load();
    for (T* old : retired_)
      delete old;
  }
  PublishedValue(const PublishedValue&) = delete;
  PublishedValue& operator=(const PublishedValue&) = delete;

  // [any] Calls use(const T&) with the current copy and returns its result. No lock, no
  // allocation. The reference is valid only inside `use`; `use` may call `update`.
  template <typename Use>
  decltype(auto) read(Use&& use) const {
    readers_.fetch_add(1);
    struct Leave {
      std::atomic<int>& readers;
      ~Leave() { readers.fetch_sub(1); }
    } leave{readers_};
    return use(static_cast<const T&>(*current_.load()));
  }

  // [main] Publishes a copy of the current value changed by change(T&). Allocates.
  template <typename Change>
  void update(Change&& change) {
    KOV_NOT_ON_RENDER_THREAD("PublishedValue::update");
    std::lock_guard lock(writer_);
    T* next = new T(*current_.load());
    change(*next);
    retired_.push_back(current_.exchange(next));
    if (readers_.load() == 0) {
      for (T* old : retired_)
        delete old;
      retired_.clear();
    }
  }

 private:
  std::atomic<T*> current_;
  mutable std::atomic<int> readers_{0};
  std::mutex writer_;
  std::vector<T*> retired_;
};
