#include "Dispatch/DispatchQueue.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "Dispatch/internal/DelayScheduler.h"
#include "Dispatch/internal/MainThread.h"
#include "Dispatch/internal/TimerScheduling.h"
#include "RealTime/RenderChecks.h"

class DispatchQueue::Impl {
 public:
  using Work = DispatchQueue::Work;
  explicit Impl(std::string label) : label_(std::move(label)) {}
  virtual ~Impl() = default;
  virtual void async(Work work) = 0;
  virtual void sync(Work work) = 0;
  virtual void asyncAfter(double seconds, Work work) = 0;
  virtual bool isCurrent() const = 0;
  const std::string& label() const { return label_; }

 private:
  std::string label_;
};

namespace {

// The queue whose work the calling thread is running (global and serial queues). [any]
thread_local const void* tlsServing = nullptr;

void runGuarded(DispatchQueue::Work& work, const char* where) noexcept {
  try {
    if (work)
      work();
  } catch (...) {
    dispatch_detail::reportEscapedException(where);
  }
}

[[noreturn]] void failSyncOnCurrentQueue(const std::string& label) {
  std::fprintf(stderr, "DispatchQueue.sync called on the queue it runs on (\"%s\"): this would deadlock\n",
               label.c_str());
  std::abort();
}

std::chrono::steady_clock::time_point deadlineAfter(double seconds) {
  if (!(seconds > 0))
    return std::chrono::steady_clock::now();       // also NaN
  const double capped = std::min(seconds, 1.0e9);  // about 31 years
  return std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                std::chrono::duration<double>(capped));
}

// Runs `work` and hands any exception back to a waiting sync caller.
struct SyncState {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::exception_ptr error;

  void run(DispatchQueue::Work& work) {
    std::exception_ptr caught;
    try {
      if (work)
        work();
    } catch (...) {
      caught = std::current_exception();
    }
    std::lock_guard lock(mutex);
    error = caught;
    finished = true;
    done.notify_one();
  }
  void wait() {
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    if (error)
      std::rethrow_exception(error);
  }
};

// ---- main queue: idle sources on the GLib default main context ----------------------------

std::atomic<std::size_t> gMainPending{0};

gboolean runMainItem(gpointer data) {
  runGuarded(*static_cast<DispatchQueue::Work*>(data), "DispatchQueue.main");
  return G_SOURCE_REMOVE;
}

// Runs after the item, on the main thread: whatever the work captured is released there.
void destroyMainItem(gpointer data) {
  delete static_cast<DispatchQueue::Work*>(data);
  gMainPending.fetch_sub(1, std::memory_order_relaxed);
}

class MainQueue final : public DispatchQueue::Impl {
 public:
  MainQueue() : Impl("com.apple.main-thread") {}

  // One idle source per item, all at the default priority: GLib appends each to its priority's
  // list under the context lock and dispatches ready sources in list order, so items run
  // first-in first-out across all submitting threads, after everything submitted before them.
  // An idle source never runs inline (unlike g_main_context_invoke).
  void async(Work work) override {
    KOV_NOT_ON_RENDER_THREAD("DispatchQueue.main.async");
    gMainPending.fetch_add(1, std::memory_order_relaxed);
    post(std::move(work));
  }

  void sync(Work work) override {
    KOV_NOT_ON_RENDER_THREAD("DispatchQueue.main.sync");
    if (dispatch_detail::isMainThread())
      failSyncOnCurrentQueue(label());
    auto state = std::make_shared<SyncState>();
    gMainPending.fetch_add(1, std::memory_order_relaxed);
    post([state, &work] { state->run(work); });
    state->wait();
  }

  // On the main run loop as a one-shot timer, so it follows the test clock when that is on.
  void asyncAfter(double seconds, Work work) override {
    KOV_NOT_ON_RENDER_THREAD("DispatchQueue.main.asyncAfter");
    dispatch_detail::scheduleOnMainContext(seconds, std::move(work));
  }

  bool isCurrent() const override { return dispatch_detail::isMainThread(); }

 private:
  // The caller has counted the item in gMainPending.
  static void post(Work work) {
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(source, &runMainItem, new Work(std::move(work)), &destroyMainItem);
    g_source_attach(source, dispatch_detail::mainContext());
    g_source_unref(source);
  }
};

// ---- global queue: a pool of worker threads ------------------------------------------------

class GlobalQueue final : public DispatchQueue::Impl {
 public:
  GlobalQueue() : Impl("com.apple.root.default-qos") {}

  void async(Work work) override {
    std::lock_guard lock(mutex_);
    if (workers_ == 0) {
      const unsigned count = std::clamp(std::thread::hardware_concurrency(), 2u, 16u);
      for (unsigned i = 0; i < count; ++i)
        std::thread([this] { serve(); }).detach();
      workers_ = count;
    }
    items_.push_back(std::move(work));
    ready_.notify_one();
  }

  // Work on a concurrent queue needs no other thread: it runs on the caller's, which waits for it
  // anyway.
  void sync(Work work) override {
    const void* previous = std::exchange(tlsServing, this);
    struct Restore {
      const void* previous;
      ~Restore() { tlsServing = previous; }
    } restore{previous};
    if (work)
      work();
  }

  void asyncAfter(double seconds, Work work) override {
    dispatch_detail::postAt(deadlineAfter(seconds),
                            [this, work = std::move(work)]() mutable { async(std::move(work)); });
  }

  bool isCurrent() const override { return tlsServing == this; }

 private:
  void serve() {
    tlsServing = this;
    std::unique_lock lock(mutex_);
    for (;;) {
      ready_.wait(lock, [&] { return !items_.empty(); });
      Work work = std::move(items_.front());
      items_.pop_front();
      lock.unlock();
      runGuarded(work, "DispatchQueue.global");
      work = nullptr;
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Work> items_;
  unsigned workers_ = 0;
};

// ---- serial queues: one worker thread each -------------------------------------------------

// Shared by the queue object and its thread, so that a queue destroyed from its own work item
// can let its thread finish alone.
struct SerialCore {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<DispatchQueue::Work> items;
  bool closing = false;

  // False when the queue is gone (work that arrives late, e.g. from asyncAfter, is dropped).
  bool push(DispatchQueue::Work work) {
    std::lock_guard lock(mutex);
    if (closing)
      return false;
    items.push_back(std::move(work));
    ready.notify_one();
    return true;
  }

  // Runs every item, also those queued before the queue was destroyed, then ends.
  void serve() {
    tlsServing = this;
    std::unique_lock lock(mutex);
    for (;;) {
      ready.wait(lock, [&] { return closing || !items.empty(); });
      if (items.empty())
        return;
      DispatchQueue::Work work = std::move(items.front());
      items.pop_front();
      lock.unlock();
      runGuarded(work, "DispatchQueue");
      work = nullptr;
      lock.lock();
    }
  }
};

class SerialQueue final : public DispatchQueue::Impl {
 public:
  explicit SerialQueue(std::string label) : Impl(std::move(label)), core_(std::make_shared<SerialCore>()) {
    thread_ = std::thread([core = core_] { core->serve(); });
  }

  ~SerialQueue() override {
    {
      std::lock_guard lock(core_->mutex);
      core_->closing = true;
      core_->ready.notify_one();
    }
    if (std::this_thread::get_id() == thread_.get_id())
      thread_.detach();
    else
      thread_.join();
  }

  void async(Work work) override { core_->push(std::move(work)); }

  void sync(Work work) override {
    if (isCurrent())
      failSyncOnCurrentQueue(label());
    auto state = std::make_shared<SyncState>();
    if (!core_->push([state, &work] { state->run(work); }))
      return;
    state->wait();
  }

  void asyncAfter(double seconds, Work work) override {
    std::weak_ptr<SerialCore> weak = core_;
    dispatch_detail::postAt(deadlineAfter(seconds), [weak, work = std::move(work)]() mutable {
      if (auto core = weak.lock())
        core->push(std::move(work));
    });
  }

  bool isCurrent() const override { return tlsServing == core_.get(); }

 private:
  std::shared_ptr<SerialCore> core_;
  std::thread thread_;
};

}  // namespace

DispatchQueue& DispatchQueue::main() {
  static DispatchQueue* queue = new DispatchQueue(std::unique_ptr<Impl>(new MainQueue));
  return *queue;
}

DispatchQueue& DispatchQueue::global() {
  static DispatchQueue* queue = new DispatchQueue(std::unique_ptr<Impl>(new GlobalQueue));
  return *queue;
}

DispatchQueue::DispatchQueue(std::string label) : impl_(std::make_unique<SerialQueue>(std::move(label))) {}
DispatchQueue::DispatchQueue(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
DispatchQueue::~DispatchQueue() = default;

void DispatchQueue::async(Work work) {
  impl_->async(std::move(work));
}
void DispatchQueue::sync(Work work) {
  impl_->sync(std::move(work));
}
void DispatchQueue::asyncAfter(double seconds, Work work) {
  impl_->asyncAfter(seconds, std::move(work));
}
const std::string& DispatchQueue::label() const {
  return impl_->label();
}
bool DispatchQueue::isCurrent() const {
  return impl_->isCurrent();
}

namespace MainLoop {
std::size_t pendingItems() {
  return gMainPending.load(std::memory_order_relaxed);
}
}  // namespace MainLoop
