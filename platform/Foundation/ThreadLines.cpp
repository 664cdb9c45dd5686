#include "Foundation/internal/ThreadLines.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"

namespace {

constexpr std::size_t kLimit = LogLines::kPendingThreadLines;
// Waiting threads go on once the loop has printed this many of the waiting lines: one wake-up
// per stretch rather than one per line printed, which would wake every waiting thread to post
// one line each.
constexpr std::size_t kResumeGap = 256;
constexpr std::size_t kResumeAt = kLimit - kResumeGap;
static_assert(kLimit > kResumeGap);

// Lines dropped since the last line that got through; one main-queue item reports them.
struct DropRun {
  std::uint64_t count = 0;  // under Gate::mutex_
};

// The atomics are sequentially consistent where a waiting thread and the printing main thread
// meet: the waiter closes the gate, then reads the count; the main thread lowers the count, then
// reads whether the gate is closed. One of them sees the other, so no wake-up is lost.
class Gate {
 public:
  bool admit() {
    if (!closed_.load() && pending_.load() < kLimit) {
      pending_.fetch_add(1);
      closeDrops();
      return true;
    }
    std::unique_lock lock(mutex_);
    if (pending_.load() >= kLimit)
      closed_.store(true);
    const auto reopened = [this] { return !closed_.load() || pending_.load() <= kResumeAt; };
    if (!reopened()) {
      std::uint64_t seen = printed_.load();
      // The loop printed nothing during a whole wait and still prints nothing: no wait again.
      if (seen == stalledAt_)
        return dropLocked();
      // Waits on as long as the loop prints, however slowly: every line it can print is kept.
      while (!ready_.wait_for(lock, LogLines::kStalledLoopWait, reopened)) {
        const std::uint64_t now = printed_.load();
        if (now == seen) {
          stalledAt_ = seen;
          return dropLocked();
        }
        seen = now;
      }
    }
    closed_.store(false);
    pending_.fetch_add(1);
    endRunLocked();
    return true;
  }

  void closeDrops() {
    if (!runOpen_.load())
      return;
    std::lock_guard lock(mutex_);
    endRunLocked();
  }

  void printed() {
    const std::size_t left = pending_.fetch_sub(1) - 1;
    printed_.fetch_add(1);
    if (left <= kResumeAt && closed_.load()) {
      std::lock_guard lock(mutex_);
      closed_.store(false);
      ready_.notify_all();
    }
  }

  std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  // The first drop of a run posts the item that reports it; it counts among the waiting lines.
  bool dropLocked() {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    if (!run_) {
      run_ = std::make_shared<DropRun>();
      runOpen_.store(true);
      pending_.fetch_add(1);
      // Posted under the lock: a line that gets through after this drop (ending the run) is
      // posted after the report.
      DispatchQueue::main().async([this, run = run_] { report(run); });
    }
    ++run_->count;
    return false;
  }

  void endRunLocked() {
    run_.reset();
    runOpen_.store(false);
  }

  // [main] The run's count as it stands now; drops that come after it start a run of their own.
  void report(const std::shared_ptr<DropRun>& run) {
    std::uint64_t count = 0;
    {
      std::lock_guard lock(mutex_);
      count = run->count;
      if (run_ == run)
        endRunLocked();
    }
    print(LogLines::threadDroppedNotice(count));
    printed();
  }

  std::atomic<std::size_t> pending_{0};    // admitted lines and reports not yet printed
  std::atomic<bool> closed_{false};        // reached kLimit; open again at kResumeAt
  std::atomic<std::uint64_t> printed_{0};  // admitted lines and reports printed
  std::atomic<std::uint64_t> dropped_{0};
  std::atomic<bool> runOpen_{false};  // run_ is set: lets a line that gets through skip the lock
  std::mutex mutex_;
  std::condition_variable ready_;
  std::shared_ptr<DropRun> run_;          // the run of drops not yet ended
  std::uint64_t stalledAt_ = UINT64_MAX;  // printed_ when the loop was found printing nothing
};

// Never destroyed: reports queued on the main loop refer to it, and lines may be printed while
// the process exits.
Gate& gate() {
  static Gate* const instance = new Gate;
  return *instance;
}

}  // namespace

namespace thread_lines {
bool admit() {
  return gate().admit();
}
void closeDrops() {
  gate().closeDrops();
}
void printed() {
  gate().printed();
}
std::uint64_t dropped() {
  return gate().dropped();
}
}  // namespace thread_lines
