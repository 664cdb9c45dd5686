#include "Dispatch/Timer.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "Dispatch/internal/MainThread.h"
#include "Dispatch/internal/TimerScheduling.h"

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr std::int64_t kMinimumTimerPeriodNs = 100'000;  // 0.1 ms, the platform's floor
constexpr std::int64_t kNeverNs = INT64_MAX / 4;         // "does not fall due"

std::atomic<bool> gTestClockEnabled{false};
std::atomic<std::int64_t> gTestNowNs{0};
// Counts TestClock::enable() calls. A test-clock timer belongs to the epoch it was made in and
// never falls due in a later one, so a timer that one test leaves behind cannot fire (with its
// captures long gone) when the next test turns the clock on again.
std::atomic<std::uint64_t> gTestEpoch{0};

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? (b > 0 ? INT64_MAX : INT64_MIN) : sum;
}

// Seconds to whole nanoseconds; NaN, negative values and those below `minimum` give `minimum`,
// huge ones kNeverNs.
std::int64_t toNanoseconds(double seconds, std::int64_t minimum) {
  if (!(seconds * 1e9 > static_cast<double>(minimum)))
    return minimum;
  if (seconds * 1e9 >= static_cast<double>(kNeverNs))
    return kNeverNs;
  return std::llround(seconds * 1e9);
}

std::int64_t realNowNs() {
  return g_get_monotonic_time() * 1000;
}

std::int64_t nowNs(bool testClock) {
  return testClock ? gTestNowNs.load(std::memory_order_relaxed) : realNowNs();
}

}  // namespace

struct Timer::State {
  Block block;
  double interval = 0;  // as asked for
  std::int64_t periodNs = 0;
  bool repeats = false;
  bool testClock = false;
  std::uint64_t epoch = 0;  // test clock only
  std::atomic<bool> valid{true};
  GMainContext* context = nullptr;
  // due = start + periods * period, computed afresh each time, so no rounding error builds up.
  std::int64_t startNs = 0;
  std::int64_t periods = 1;
  std::int64_t dueNs = 0;
  GSource* source = nullptr;  // our reference, while valid
  int firing = 0;             // depth of block calls in progress
  bool releaseBlockAfterFiring = false;

  // INT64_MAX stands for "never": no clock reading reaches it.
  void computeDue() {
    std::int64_t offset = 0;
    if (periodNs >= kNeverNs || __builtin_mul_overflow(periods, periodNs, &offset))
      dueNs = INT64_MAX;
    else
      dueNs = std::min(saturatingAdd(startNs, offset), INT64_MAX - 1);
  }
};

namespace {

// Test-clock timers on the main context, so that TestClock::advance can step to their due times.
std::mutex gRegistryMutex;
std::vector<std::weak_ptr<Timer>> gTestTimers;

struct TimerSource {
  GSource base;
  std::shared_ptr<Timer>* timer;  // the run loop's hold on the timer
};

}  // namespace

struct TimerScheduling {
  static Timer::State& state(Timer& timer) { return *timer.state_; }

  static bool isDue(const Timer::State& st, std::int64_t now) {
    if (st.testClock && st.epoch != gTestEpoch.load(std::memory_order_relaxed))
      return false;
    return now >= st.dueNs;
  }

  static gboolean prepare(GSource* source, gint* timeout) {
    Timer::State& st = state(**reinterpret_cast<TimerSource*>(source)->timer);
    const std::int64_t now = nowNs(st.testClock);
    if (isDue(st, now)) {
      *timeout = 0;
      return TRUE;
    }
    if (st.testClock) {
      *timeout = -1;  // only TestClock::advance moves this clock on
    } else {
      const std::int64_t ms = (st.dueNs - now + 999'999) / 1'000'000;
      *timeout = static_cast<gint>(std::min<std::int64_t>(ms, INT_MAX));
    }
    return FALSE;
  }
  static gboolean check(GSource* source) {
    Timer::State& st = state(**reinterpret_cast<TimerSource*>(source)->timer);
    return isDue(st, nowNs(st.testClock));
  }
  static gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    Timer& timer = **reinterpret_cast<TimerSource*>(source)->timer;
    timer.fireFromRunLoop();
    return timer.isValid() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }
  static void finalize(GSource* source) { delete reinterpret_cast<TimerSource*>(source)->timer; }

  static std::shared_ptr<Timer> schedule(GMainContext* context, double interval, std::int64_t minimumNs,
                                         bool repeats, Timer::Block block) {
    static GSourceFuncs funcs = {&prepare, &check, &dispatch, &finalize, nullptr, nullptr};
    std::shared_ptr<Timer> timer(new Timer);
    timer->state_ = std::make_shared<Timer::State>();
    Timer::State& st = *timer->state_;
    st.block = std::move(block);
    st.interval = interval;
    st.periodNs = toNanoseconds(interval, minimumNs);
    st.repeats = repeats;
    st.testClock = gTestClockEnabled.load(std::memory_order_relaxed);
    st.epoch = gTestEpoch.load(std::memory_order_relaxed);
    st.context = context;
    st.startNs = nowNs(st.testClock);
    st.computeDue();

    GSource* source = g_source_new(&funcs, sizeof(TimerSource));
    reinterpret_cast<TimerSource*>(source)->timer = new std::shared_ptr<Timer>(timer);
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_name(source, "Timer");
    st.source = source;
    if (st.testClock && context == dispatch_detail::mainContext()) {
      std::lock_guard lock(gRegistryMutex);
      gTestTimers.push_back(timer);
    }
    g_source_attach(source, context);
    return timer;
  }

  // The earliest due time up to `limit` among valid test-clock timers, not counting `skip`.
  static std::shared_ptr<Timer> earliestDue(std::int64_t limit, const std::vector<Timer*>& skip) {
    std::lock_guard lock(gRegistryMutex);
    std::shared_ptr<Timer> best;
    const std::uint64_t epoch = gTestEpoch.load(std::memory_order_relaxed);
    std::erase_if(gTestTimers, [epoch](const std::weak_ptr<Timer>& weak) {
      auto timer = weak.lock();
      return !timer || !timer->isValid() || state(*timer).epoch != epoch;
    });
    for (const auto& weak : gTestTimers) {
      auto timer = weak.lock();
      if (!timer || std::find(skip.begin(), skip.end(), timer.get()) != skip.end())
        continue;
      const std::int64_t due = state(*timer).dueNs;
      if (due <= limit && (!best || due < state(*best).dueNs))
        best = std::move(timer);
    }
    return best;
  }

  static std::int64_t dueOf(Timer& timer) { return state(timer).dueNs; }
};

void dispatch_detail::scheduleOnMainContext(double seconds, DispatchQueue::Work work) {
  TimerScheduling::schedule(mainContext(), seconds, 0, false, [work = std::move(work)](Timer&) {
    if (work)
      work();
  });
}

std::shared_ptr<Timer> Timer::scheduledTimer(double withTimeInterval, bool repeats, Block block) {
  GMainContext* context = g_main_context_ref_thread_default();
  auto timer =
      TimerScheduling::schedule(context, withTimeInterval, kMinimumTimerPeriodNs, repeats, std::move(block));
  g_main_context_unref(context);
  return timer;
}

Timer::~Timer() = default;

bool Timer::isValid() const {
  return state_->valid.load(std::memory_order_relaxed);
}

double Timer::timeInterval() const {
  return state_->repeats ? state_->interval : 0.0;
}

void Timer::runBlock() {
  State& st = *state_;
  ++st.firing;
  try {
    if (st.block)
      st.block(*this);
  } catch (...) {
    dispatch_detail::reportEscapedException("Timer");
  }
  if (--st.firing == 0 && st.releaseBlockAfterFiring) {
    st.releaseBlockAfterFiring = false;
    const Block released = std::move(st.block);
  }
}

void Timer::fireFromRunLoop() {
  const std::shared_ptr<Timer> self = shared_from_this();
  State& st = *state_;
  runBlock();
  if (!isValid())
    return;
  if (!st.repeats) {
    invalidate();
    return;
  }
  ++st.periods;
  st.computeDue();
  if (!st.testClock) {
    const std::int64_t now = realNowNs();
    if (st.dueNs <= now) {  // held up: skip the missed periods, keep the phase
      st.periods = (now - st.startNs) / st.periodNs + 1;
      st.computeDue();
    }
  }
}

void Timer::fire() {
  if (!isValid())
    return;
  const std::shared_ptr<Timer> self = shared_from_this();
  runBlock();
  if (!state_->repeats)
    invalidate();
}

void Timer::invalidate() {
  State& st = *state_;
  if (!st.valid.exchange(false, std::memory_order_relaxed))
    return;
  // Destroyed last: releasing the block or the source may drop every other owner of this timer.
  const std::shared_ptr<Timer> self = weak_from_this().lock();
  Block released;
  if (st.firing > 0)
    st.releaseBlockAfterFiring = true;  // never destroy a block while it runs
  else
    released = std::move(st.block);
  if (GSource* source = std::exchange(st.source, nullptr)) {
    g_source_destroy(source);
    g_source_unref(source);
  }
}

void Timer::enableTestClock() {
  gTestEpoch.fetch_add(1, std::memory_order_relaxed);
  gTestNowNs.store(0, std::memory_order_relaxed);
  gTestClockEnabled.store(true, std::memory_order_relaxed);
}

void Timer::disableTestClock() {
  gTestClockEnabled.store(false, std::memory_order_relaxed);
}

void Timer::advanceTestClock(double seconds) {
  const std::int64_t target = std::min(
      saturatingAdd(gTestNowNs.load(std::memory_order_relaxed), toNanoseconds(seconds, 0)), INT64_MAX - 1);
  // A timer that does not fire although due (its block is running: advance was called from
  // inside it) is left out, so that the loop ends.
  std::vector<Timer*> stuck;
  while (auto timer = TimerScheduling::earliestDue(target, stuck)) {
    const std::int64_t due = TimerScheduling::dueOf(*timer);
    if (due > gTestNowNs.load(std::memory_order_relaxed))
      gTestNowNs.store(due, std::memory_order_relaxed);
    MainLoop::runUntilIdle();
    if (timer->isValid() && TimerScheduling::dueOf(*timer) == due)
      stuck.push_back(timer.get());
  }
  gTestNowNs.store(target, std::memory_order_relaxed);
  MainLoop::runUntilIdle();
}

namespace TestClock {

bool isEnabled() {
  return gTestClockEnabled.load(std::memory_order_relaxed);
}

double now() {
  return static_cast<double>(gTestNowNs.load(std::memory_order_relaxed)) / kNanosecondsPerSecond;
}

}  // namespace TestClock
