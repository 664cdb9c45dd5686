// Dispatch queues: the main queue (the GLib default main context), the global queue and serial
// queues. Work items run first-in first-out per queue and never inline in `async`.
#pragma once

#include <chrono>
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
  // Enqueues work and waits until it has run. Calling it for the queue one is running on
  // deadlocks, as on the original platform. [any, not on this queue]
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
// Ends run(). [any]
void quit();
// Runs every ready main-queue item and due timer without blocking, until nothing is ready. [main]
void runUntilIdle();
// Runs the loop, blocking for events, until `condition` holds or `timeout` passes; returns
// whether the condition held. Wakes for work posted from other threads, never sleeps blindly.
// [main]
bool runUntil(const std::function<bool()>& condition,
              std::chrono::milliseconds timeout = std::chrono::seconds(10));
}  // namespace MainLoop
