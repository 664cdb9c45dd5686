#include "Foundation/Print.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/internal/ThreadLines.h"
#include "RealTime/RenderChecks.h"
#include "RealTime/RenderLines.h"
#include "RealTime/RenderScope.h"

namespace {

// One locked stretch of stdout per call: printf from other threads waits for the whole line, and
// the flush hands the line to the file descriptor at once, so lines also stay in order with
// writes that bypass stdio (another process on the same pipe, a crash right after).
void writeLocked(std::string_view text, bool newline) {
  std::FILE* out = stdout;
  flockfile(out);
  // The locking calls inside take the lock we hold again (it is recursive); they keep every
  // access to the stream inside the C library.
  if (!text.empty())
    std::fwrite(text.data(), 1, text.size(), out);
  if (newline)
    std::fputc('\n', out);
  std::fflush(out);
  funlockfile(out);
}

std::atomic<std::uint64_t> gPrintedLogLines{0};

// The poll interval: render lines appear within it (nobody reads them faster).
constexpr gint64 kActivePollUs = 40'000;
constexpr gint64 kIdlePollUs = 1'000'000;
constexpr gint64 kActiveSpanUs = 2'000'000;  // how long after the last render entry to keep polling fast

// Prints the render-line queue on the main loop and runs the render drains: one permanent source
// on the GLib default main context at the main queue's priority, attached when the library is
// loaded. It never needs a wake-up from a render thread: it polls. Its check runs on every
// iteration of the loop, whatever woke it, so the source only asks to be woken when nothing else
// looked for the poll interval: a loop that other sources wake often enough costs no extra
// wake-up. [main]
class RenderLinePrinter {
 public:
  RenderLinePrinter() : context_(g_main_context_ref(g_main_context_default())) {
    static GSourceFuncs funcs = {&prepare, &check, &dispatch, nullptr, nullptr, nullptr};
    source_ = g_source_new(&funcs, sizeof(Source));
    reinterpret_cast<Source*>(source_)->printer = this;
    g_source_set_priority(source_, G_PRIORITY_DEFAULT);
    g_source_set_name(source_, "render log lines");
    g_source_attach(source_, context_);
  }

  // Runs at exit, or when a module that carries this library is unloaded: the source's functions
  // must not outlive the code they point into.
  ~RenderLinePrinter() {
    g_source_destroy(source_);
    g_source_unref(source_);
    g_main_context_unref(context_);
  }

  bool linesPending() {
    return RenderLines::queue().hasPending() || RenderLines::queue().droppedLines() != reported_;
  }
  bool hasWork() { return linesPending() || drainPending(); }

  std::uint64_t addDrain(std::function<bool()> pending, std::function<void()> drain) {
    const std::uint64_t key = ++lastDrainKey_;
    drains_.push_back(std::make_shared<Drain>(Drain{key, std::move(pending), std::move(drain), false}));
    return key;
  }
  void removeDrain(std::uint64_t key) {
    const auto found =
        std::find_if(drains_.begin(), drains_.end(), [key](const auto& drain) { return drain->key == key; });
    if (found == drains_.end())
      return;
    (*found)->removed = true;  // a dispatch that holds it already skips it
    drains_.erase(found);
  }

 private:
  struct Source {
    GSource base;
    RenderLinePrinter* printer;
  };
  struct Drain {
    std::uint64_t key;
    std::function<bool()> pending;
    std::function<void()> run;
    bool removed;
  };

  static RenderLinePrinter& of(GSource* source) { return *reinterpret_cast<Source*>(source)->printer; }

  // The timeout is what is left of the poll interval since the last look, rounded up to whole
  // milliseconds (so that the loop never wakes just before it is due and spins once more).
  static gboolean prepare(GSource* source, gint* timeout) {
    RenderLinePrinter& printer = of(source);
    const std::uint64_t entries = RenderScope::entries();
    const gint64 now = g_get_monotonic_time();
    if (entries != printer.lastEntries_) {
      printer.lastEntries_ = entries;
      printer.lastActivityUs_ = now;
    }
    const bool active = printer.lastActivityUs_ != 0 && now - printer.lastActivityUs_ < kActiveSpanUs;
    const gint64 interval = active ? kActivePollUs : kIdlePollUs;
    const gint64 left = std::clamp<gint64>(interval - (now - printer.lastLookUs_), 0, interval);
    *timeout = static_cast<gint>((left + 999) / 1000);
    return printer.hasWork();
  }
  static gboolean check(GSource* source) {
    RenderLinePrinter& printer = of(source);
    printer.lastLookUs_ = g_get_monotonic_time();
    return printer.hasWork();
  }
  static gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    RenderLinePrinter& printer = of(source);
    printer.printLines();
    printer.runDrains();
    printer.lastLookUs_ = g_get_monotonic_time();
    return G_SOURCE_CONTINUE;
  }

  bool drainPending() {
    for (const auto& drain : drains_) {
      if (drain->pending())
        return true;
    }
    return false;
  }

  // Runs the drains registered when the turn began, in the order they were added, each only while
  // it is still registered: a drain may add or remove drains (itself included); the ones it adds
  // run from the next turn on.
  void runDrains() {
    if (drains_.empty())
      return;
    const std::vector<std::shared_ptr<Drain>> turn = drains_;  // keeps each one alive while it runs
    for (const auto& drain : turn) {
      if (!drain->removed && drain->pending())
        drain->run();
    }
  }

  // Prints what was queued before the turn began; lines that arrive meanwhile wait for the next
  // iteration, so a chatty render thread cannot starve the rest of the main loop.
  void printLines() {
    RenderLines::Queue& queue = RenderLines::queue();
    const std::uint64_t end = queue.claimedSlots();
    std::uint64_t droppedBefore = 0;
    while (queue.consumedSlots() < end && queue.pop(line_, droppedBefore)) {
      if (droppedBefore > 0)
        report(droppedBefore);
      print(line_);
      gPrintedLogLines.fetch_add(1, std::memory_order_relaxed);
    }
    // Drops that no later line carries (nothing got in since) are reported on their own, once
    // every line queued before them is out.
    if (queue.consumedSlots() == queue.claimedSlots()) {
      if (const std::uint64_t trailing = queue.takeUnreportedDrops())
        report(trailing);
    }
  }
  void report(std::uint64_t count) {
    print(LogLines::droppedNotice(count));
    reported_ += count;
  }

  GMainContext* context_;
  GSource* source_ = nullptr;
  std::string line_;            // reused by printLines()
  std::uint64_t reported_ = 0;  // dropped lines already reported
  std::uint64_t lastEntries_ = 0;
  gint64 lastActivityUs_ = 0;
  gint64 lastLookUs_ = 0;  // the last check or dispatch: when the queue was last looked at
  std::vector<std::shared_ptr<Drain>> drains_;  // in the order they were added
  std::uint64_t lastDrainKey_ = 0;
};

RenderLinePrinter& renderLinePrinter() {
  static RenderLinePrinter printer;
  return printer;
}

// Attached when the library is loaded, so that no caller (a render thread least of all) pays for
// the set-up.
[[maybe_unused]] const bool gPrinterAttached = (renderLinePrinter(), true);

}  // namespace

void LogLines::attachRenderLinePrinter() {
  renderLinePrinter();
}

void print(std::string_view text) {
  KOV_NOT_ON_RENDER_THREAD("print");
  writeLocked(text, true);
}

void printRaw(std::string_view text) {
  KOV_NOT_ON_RENDER_THREAD("printRaw");
  writeLocked(text, false);
}

void printLogLine(std::string_view text) {
  if (RenderScope::isRenderThread()) {
    RenderLines::push(text);
    return;
  }
  // The main thread never waits for room: the loop that would make it is its own.
  const bool counted = !DispatchQueue::main().isCurrent();
  if (!counted)
    thread_lines::closeDrops();
  else if (!thread_lines::admit())
    return;  // dropped, and counted
  DispatchQueue::main().async([line = std::string(text), counted] {
    print(line);
    gPrintedLogLines.fetch_add(1, std::memory_order_relaxed);
    if (counted)
      thread_lines::printed();
  });
}

namespace {
// "[log] N line(s) from <source> dropped here: <reason>".
std::string droppedLinesNotice(std::uint64_t count, const char* source, const char* reason) {
  return "[log] " + std::to_string(count) + (count == 1 ? " line" : " lines") + " from " + source +
         " dropped here: " + reason;
}
}  // namespace

namespace LogLines {
std::uint64_t printed() {
  return gPrintedLogLines.load(std::memory_order_relaxed);
}
bool renderLinesPending() {
  return renderLinePrinter().linesPending();
}
std::uint64_t addRenderDrain(std::function<bool()> pending, std::function<void()> drain) {
  return renderLinePrinter().addDrain(std::move(pending), std::move(drain));
}
void removeRenderDrain(std::uint64_t key) {
  renderLinePrinter().removeDrain(key);
}
std::uint64_t dropped() {
  return RenderLines::queue().droppedLines();
}
std::string droppedNotice(std::uint64_t count) {
  return droppedLinesNotice(count, "a render thread", "the render-line queue was full");
}
std::uint64_t threadLinesDropped() {
  return thread_lines::dropped();
}
std::string threadDroppedNotice(std::uint64_t count) {
  return droppedLinesNotice(count, "another thread", "the main loop fell behind");
}
}  // namespace LogLines
