#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/internal/MainThread.h"

namespace {

std::atomic<bool> gMainAdopted{false};
std::atomic<std::thread::id> gMainThread{};
std::atomic<bool> gQuitRequested{false};

// While runUntil waits, a timeout source wakes the loop this often, so that a condition changed by
// another thread without posting to the main loop is still seen within this time.
constexpr guint kConditionRecheckMs = 10;

}  // namespace

namespace dispatch_detail {

GMainContext* mainContext() {
  return g_main_context_default();
}

bool isMainThread() {
  if (gMainAdopted.load(std::memory_order_acquire))
    return gMainThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
  return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

void adoptIfUnset() {
  if (gMainAdopted.load(std::memory_order_acquire))
    return;
  bool expected = false;
  // The first caller wins; gMainThread is written before the flag is published.
  static std::atomic<bool> claiming{false};
  if (claiming.compare_exchange_strong(expected, true)) {
    gMainThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    gMainAdopted.store(true, std::memory_order_release);
  }
}

void reportEscapedException(const char* where) noexcept {
  const char* what = "unknown exception";
  try {
    throw;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  std::fprintf(stderr, "%s: an exception escaped and was dropped: %s\n", where, what);
}

}  // namespace dispatch_detail

namespace MainLoop {

void adoptCurrentThread() {
  gMainThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  gMainAdopted.store(true, std::memory_order_release);
}

void run() {
  dispatch_detail::adoptIfUnset();
  GMainContext* context = dispatch_detail::mainContext();
  while (!gQuitRequested.exchange(false, std::memory_order_acq_rel))
    g_main_context_iteration(context, TRUE);
}

void quit() {
  gQuitRequested.store(true, std::memory_order_release);
  g_main_context_wakeup(dispatch_detail::mainContext());
}

void runUntilIdle() {
  dispatch_detail::adoptIfUnset();
  GMainContext* context = dispatch_detail::mainContext();
  while (g_main_context_iteration(context, FALSE)) {
  }
}

bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  dispatch_detail::adoptIfUnset();
  GMainContext* context = dispatch_detail::mainContext();
  const auto deadline = std::chrono::steady_clock::now() + timeout;

  GSource* recheck = g_timeout_source_new(kConditionRecheckMs);
  g_source_set_callback(
      recheck, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
  g_source_attach(recheck, context);
  struct Detach {
    GSource* source;
    ~Detach() {
      g_source_destroy(source);
      g_source_unref(source);
    }
  } detach{recheck};

  for (;;) {
    if (condition())
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    g_main_context_iteration(context, TRUE);
  }
}

}  // namespace MainLoop
