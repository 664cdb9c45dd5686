#include "Logging.h"

#include <glib.h>

#include <atomic>
#include <string>

#include "Foundation/Print.h"
#include "LineQueue.h"

namespace {

// Once the sink is destroyed (static destruction at exit), a late call drops its line instead of
// touching a destroyed queue.
constinit std::atomic<bool> gSinkDestroyed{false};

// The consumer side lives on the main loop (the GLib default main context, which also serves the
// main queue) as one permanent source at the main queue's priority. It is attached when the
// library is loaded, before any main-queue item, so in an iteration where both are ready the
// queued lines print first; this keeps a line ahead of main-queue work posted after it.
class MainLoopLogSink {
 public:
  MainLoopLogSink() : queue_(LogQueue::kSlots), context_(g_main_context_ref(g_main_context_default())) {
    static GSourceFuncs funcs = {&prepare, &check, &dispatch, nullptr, nullptr, nullptr};
    source_ = g_source_new(&funcs, sizeof(Source));
    reinterpret_cast<Source*>(source_)->sink = this;
    g_source_set_priority(source_, G_PRIORITY_DEFAULT);
    g_source_set_name(source_, "safeprint lines");
    g_source_attach(source_, context_);
  }

  // Runs at exit, or when a plug-in that carries this library is unloaded: the source's
  // functions must not outlive the code they point into.
  ~MainLoopLogSink() {
    gSinkDestroyed.store(true, std::memory_order_release);
    g_source_destroy(source_);
    g_source_unref(source_);
    g_main_context_unref(context_);
  }

  // [any] lock-free, allocation-free
  void submit(std::string_view text) noexcept {
    queue_.push(text);
    // Only the first line after the loop last prepared to sleep wakes it (see prepare()).
    if (!wakeRequested_.exchange(true, std::memory_order_acq_rel)) g_main_context_wakeup(context_);
  }

  // [main]
  bool hasPending() const noexcept { return queue_.hasPending(); }
  std::uint64_t droppedLines() const noexcept { return queue_.droppedLines(); }
  std::uint64_t printedLines() const noexcept { return printed_; }

 private:
  struct Source {
    GSource base;
    MainLoopLogSink* sink;
  };

  // Runs before the loop may sleep. Clearing the wake-up request first and then looking at the
  // queue closes the gap: a line published after the look finds the request clear and wakes the
  // loop; one published before it is seen here (acq_rel on both exchanges).
  static gboolean prepare(GSource* source, gint* timeout) {
    *timeout = -1;  // never wakes on time; producers wake the loop
    MainLoopLogSink* sink = reinterpret_cast<Source*>(source)->sink;
    sink->wakeRequested_.exchange(false, std::memory_order_acq_rel);
    return sink->queue_.hasPending();
  }
  static gboolean check(GSource* source) {
    return reinterpret_cast<Source*>(source)->sink->queue_.hasPending();
  }
  static gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    reinterpret_cast<Source*>(source)->sink->drain();
    return G_SOURCE_CONTINUE;
  }

  // Prints what was queued before the drain began; lines that arrive meanwhile wait for the next
  // iteration, so a chatty thread cannot starve the rest of the main loop. [main]
  void drain() {
    const std::uint64_t end = queue_.claimedSlots();
    while (queue_.consumedSlots() < end && queue_.pop(line_)) {
      print(line_);
      ++printed_;
    }
  }

  LineQueue queue_;
  GMainContext* context_;
  GSource* source_ = nullptr;
  std::atomic<bool> wakeRequested_{false};
  std::string line_;  // reused by drain() [main]
  std::uint64_t printed_ = 0;  // [main]
};

MainLoopLogSink& sink() {
  static MainLoopLogSink instance;
  return instance;
}

// Attach the source when the library is loaded, so that no caller (a render thread least of all)
// pays for the set-up.
[[maybe_unused]] const bool gSinkReady = (sink(), true);

void submit(std::string_view text) noexcept {
  if (gSinkDestroyed.load(std::memory_order_acquire)) return;
  sink().submit(text);
}

}  // namespace

void safeprint(std::string_view text) { submit(text); }

void debugprint(std::string_view text) { submit(text); }

namespace LogQueue {
std::uint64_t droppedLines() { return sink().droppedLines(); }
bool hasPendingLines() { return sink().hasPending(); }
std::uint64_t printedLines() { return sink().printedLines(); }
}  // namespace LogQueue
