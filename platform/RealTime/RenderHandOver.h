// The render thread's current object (the engine's compiled graph), replaced by
// control threads while it renders. The render thread enters, uses the object it loaded and
// leaves; a control thread publishes a new object and retires the old one, which it frees only
// once no render call can still be using it (a grace period), never on the render thread.
// The grace period is an epoch counter that the render thread increments on entering and on
// leaving (odd while inside): an object retired when the epoch read e is safe once the epoch is
// even at retirement or has since moved past e (RetiredObjects keeps it until then). One render
// thread at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

#include "RealTime/RetiredObjects.h"

template <typename T>
class RenderHandOver {
 public:
  RenderHandOver() = default;
  RenderHandOver(const RenderHandOver&) = delete;
  RenderHandOver& operator=(const RenderHandOver&) = delete;

  // [render] The object to render with (null when none); call leave() when done with it.
  T* enter() noexcept {
    epoch_.fetch_add(1, std::memory_order_seq_cst);
    return objects_.object(current_.load(std::memory_order_seq_cst));
  }
  void leave() noexcept { epoch_.fetch_add(1, std::memory_order_release); }

  // [control, serialised by the caller] Makes `next` current and retires the old object. Waits
  // for a free place while every place holds a retired object a render call may still use.
  void publish(std::unique_ptr<T> next) {
    int index = -1;
    if (next)
      for (collect(); (index = objects_.hold(next)) < 0; collect())
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    const int old = current_.exchange(index, std::memory_order_seq_cst);
    objects_.retire(old, epoch_.load(std::memory_order_seq_cst));
    collect();
  }

  // [control] Frees the retired objects no render call can still be using.
  void collect() {
    const std::uint64_t now = epoch_.load(std::memory_order_seq_cst);
    objects_.collect([now](int, std::uint64_t epoch) { return (epoch & 1) != 0 && now == epoch; });
  }
  // [control] Waits until every retired object is freed: at most the rest of one render call.
  void collectAll() {
    for (collect(); objects_.retiredCount() > 0; collect())
      std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  std::size_t retiredCount() const { return std::size_t(objects_.retiredCount()); }
  // [control] Waits until a render call in progress now (if any) has left.
  void quiesce() const {
    const std::uint64_t e = epoch_.load(std::memory_order_seq_cst);
    if ((e & 1) == 0)
      return;
    while (epoch_.load(std::memory_order_seq_cst) == e)
      std::this_thread::sleep_for(std::chrono::microseconds(100));
  }

 private:
  // The current object and those retired while a render call may still use them: publishes
  // are rare (graph changes), and each collects what the last render call let go.
  static constexpr int kPlaces = 16;
  RetiredObjects<std::unique_ptr<T>, kPlaces> objects_;
  std::atomic<int> current_{-1};  // the current object's place, -1 for none
  std::atomic<std::uint64_t> epoch_{0};
};
