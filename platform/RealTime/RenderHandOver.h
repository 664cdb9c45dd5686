// The render thread's current object (the engine's compiled graph), replaced by
// control threads while it renders. The render thread enters, uses the object it loaded and
// leaves; a control thread publishes a new object and retires the old one, which it frees only
// once no render call can still be using it (a grace period), never on the render thread.
// The grace period is an epoch counter that the render thread increments on entering and on
// leaving (odd while inside): an object retired when the epoch read e is safe once the epoch is
// even at retirement or has since moved past e. One render thread at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

template <typename T>
class RenderHandOver {
 public:
  RenderHandOver() = default;
  ~RenderHandOver() {
    delete current_.load();
    for (auto& r : retired_)
      delete r.object;
  }
  RenderHandOver(const RenderHandOver&) = delete;
  RenderHandOver& operator=(const RenderHandOver&) = delete;

  // [render] The object to render with (null when none); call leave() when done with it.
  T* enter() noexcept {
    epoch_.fetch_add(1, std::memory_order_seq_cst);
    return current_.load(std::memory_order_seq_cst);
  }
  void leave() noexcept { epoch_.fetch_add(1, std::memory_order_release); }

  // [control, serialised by the caller] Makes `next` current and retires the old object.
  void publish(std::unique_ptr<T> next) {
    T* old = current_.exchange(next.release(), std::memory_order_seq_cst);
    if (old)
      retired_.push_back({old, epoch_.load(std::memory_order_seq_cst)});
    collect();
  }

  // [control] Frees the retired objects no render call can still be using.
  void collect() {
    const std::uint64_t now = epoch_.load(std::memory_order_seq_cst);
    std::erase_if(retired_, [now](const Retired& r) {
      if ((r.epoch & 1) != 0 && now == r.epoch)
        return false;
      delete r.object;
      return true;
    });
  }
  // [control] Waits until every retired object is freed: at most the rest of one render call.
  void collectAll() {
    for (collect(); !retired_.empty(); collect())
      std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  std::size_t retiredCount() const { return retired_.size(); }
  // [control] Waits until a render call in progress now (if any) has left.
  void quiesce() const {
    const std::uint64_t e = epoch_.load(std::memory_order_seq_cst);
    if ((e & 1) == 0)
      return;
    while (epoch_.load(std::memory_order_seq_cst) == e)
      std::this_thread::sleep_for(std::chrono::microseconds(100));
  }

 private:
  struct Retired {
    T* object;
    std::uint64_t epoch;
  };
  std::atomic<T*> current_{nullptr};
  std::atomic<std::uint64_t> epoch_{0};
  std::vector<Retired> retired_;
};
