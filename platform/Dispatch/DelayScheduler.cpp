#include "Dispatch/internal/DelayScheduler.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "Dispatch/internal/MainThread.h"

namespace dispatch_detail {
namespace {

struct Entry {
  std::chrono::steady_clock::time_point deadline;
  std::uint64_t sequence;  // keeps entries with equal deadlines first-in first-out
  std::function<void()> post;
  bool operator>(const Entry& other) const {
    return deadline != other.deadline ? deadline > other.deadline : sequence > other.sequence;
  }
};

// Lives for the whole process (never destroyed): its thread may still wait at exit.
class DelayScheduler {
 public:
  void add(std::chrono::steady_clock::time_point deadline, std::function<void()> post) {
    std::lock_guard lock(mutex_);
    if (!started_) {
      std::thread([this] { serve(); }).detach();
      started_ = true;
    }
    entries_.push(Entry{deadline, nextSequence_++, std::move(post)});
    wake_.notify_one();
  }

 private:
  void serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (entries_.empty()) {
        wake_.wait(lock);
        continue;
      }
      const auto deadline = entries_.top().deadline;
      if (std::chrono::steady_clock::now() < deadline) {
        wake_.wait_until(lock, deadline);
        continue;
      }
      Entry entry = std::move(const_cast<Entry&>(entries_.top()));
      entries_.pop();
      lock.unlock();
      try {
        entry.post();
      } catch (...) {
        reportEscapedException("DispatchQueue.asyncAfter");
      }
      entry.post = nullptr;
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> entries_;
  std::uint64_t nextSequence_ = 0;
  bool started_ = false;
};

}  // namespace

void postAt(std::chrono::steady_clock::time_point deadline, std::function<void()> post) {
  static DelayScheduler* scheduler = new DelayScheduler;
  scheduler->add(deadline, std::move(post));
}

}  // namespace dispatch_detail
