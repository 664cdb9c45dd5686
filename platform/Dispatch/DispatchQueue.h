// Dispatch queues: the main queue (the GLib default main context), the global queue and serial
// queues. Work items run first-in first-out per queue and never inline in `async`.
//
// Main queue: every item is an idle source at the default priority on the GLib default main
// context, so items from all threads run in the order they were submitted, on whichever thread
// iterates that context: MainLoop::run(), the test drivers below, or a GTK main loop. The queue
// never drops work: items wait, however many, until a thread iterates the context (a process
// that submits work and never runs a loop keeps it to the end).
// `asyncAfter` on the main queue is a one-shot run-loop timer (it follows TestClock when on).
//
// Global queue: worker threads (as many as cores, 2 to 16); `sync` runs the work on the calling
// thread. Serial queue: one thread of its own; destroying the queue runs what is queued, then
// ends the thread; delayed work that falls due after that is dropped.
//
// A work item that throws is dropped with a line on stderr; `sync` hands the exception to its
// caller instead. `sync` on the queue that is running the caller would deadlock: instead it
// aborts the process with a message on stderr.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class DispatchQueue {
 public:
  using Work = std::function<void()>;

  // The main queue: work runs on the thread that runs the main loop (see MainLoop). [any]
  static DispatchQueue& main();
  // A concurrent queue served by a pool of worker threads. [any]
  static DispatchQueue& global();

  // A new serial queue with its own worker thread. [any]
  explicit DispatchQueue(std::string label);
  ~DispatchQueue();
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  // Enqueues work and returns at once. [any]
  void async(Work work);
  // Enqueues work and waits until it has run. [any, not on this queue]
  void sync(Work work);
  // Runs work after `seconds`. [any]
  void asyncAfter(double seconds, Work work);

  const std::string& label() const;
  // True when the calling thread is the one serving this queue (the main thread for main). [any]
  bool isCurrent() const;

  class Impl;

 private:
  explicit DispatchQueue(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// The main loop and its thread. A program calls MainLoop::run(); tests drive it by hand.
namespace MainLoop {
// Makes the calling thread the main thread (the first caller of any of these becomes it). [main]
void adoptCurrentThread();
// Runs the main loop until quit(). [main]
void run();
// Ends run(); a quit() while run() is not running ends the next run() at once. [any]
void quit();
// Runs every ready main-queue item and due timer without blocking, until nothing is ready. [main]
void runUntilIdle();
// Runs the loop, blocking for events, until `condition` holds or `timeout` passes; returns
// whether the condition held. Wakes for work posted from other threads, never sleeps blindly.
// [main]
// The condition is checked before the first iteration, after every event the loop handles, and
// at least every 10 ms.
bool runUntil(const std::function<bool()>& condition,
              std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Main-queue items submitted and not yet run. [any]
std::size_t pendingItems();
}  // namespace MainLoop
