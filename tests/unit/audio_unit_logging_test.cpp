// The unit's log lines under a host that calls its setters as fast as it can: four control
// threads (maximum frames, bypass, whole states, presets) while a fifth renders and the main loop
// prints. Every setter prints a line, far faster than the loop prints them: the process's memory
// stays bounded, no line is lost while the loop prints, and the threads stop on time when the
// main thread stops printing to wait for them.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "AudioToolbox/AUAudioUnitPreset.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"
#include "unit_host.h"

#if defined(__SANITIZE_ADDRESS__)
// ASan keeps freed blocks from reuse in a quarantine, 256 MB by default, that a run of this length
// fills: resident memory would then say how much ASan holds back, not how much the process holds.
// 16 MB still catches a use soon after a free. ASAN_OPTIONS, read after this, can set it again.
extern "C" [[gnu::used, gnu::visibility("default")]] const char* __asan_default_options() {
  return "quarantine_size_mb=16";
}
#endif

namespace {

// Resident memory of the process, in MB.
double residentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Sends standard output to /dev/null while it lives: half a minute of lines is millions of them.
class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

#if defined(__SANITIZE_THREAD__)
constexpr auto kRunFor = std::chrono::seconds(10);  // ThreadSanitizer runs each thread far slower
constexpr bool kMeasureMemory = false;              // its shadow memory is no measure of ours
// Its runtime may hold the main thread up for longer than a thread waits for the loop (the first
// race it suppresses inside GLib has it read the libraries' debug information, 1 to 2 s on a
// loaded machine): lines are dropped then, as for any stalled loop.
constexpr bool kLoopMayStall = true;
#else
constexpr auto kRunFor = std::chrono::seconds(30);
constexpr bool kMeasureMemory = true;
constexpr bool kLoopMayStall = false;
#endif

}  // namespace

TEST(AudioUnitLoggingThreads, SettersFromFourThreadsNonstopKeepMemoryBoundedAndStopOnTime) {
  unittest::EffectResources resources;
  unittest::Host host(48000.0);
  KOV_Compressor_Extension_AudioUnit& unit = *host.unit;
  const auto presets = *unittest::quietly([&] { return unit.factoryPresets(); });
  ASSERT_FALSE(presets.empty());
  const PropertyList::Dictionary stateA = *unittest::quietly([&] { return unit.fullState(); });

  const std::uint64_t printedBefore = LogLines::printed();
  const std::uint64_t droppedBefore = LogLines::threadLinesDropped();
  double peakResident = residentMegabytes();
  std::size_t peakPending = 0;
  std::uint64_t droppedWhileRunning = 0;
  std::chrono::steady_clock::duration stopTime{};
  {
    QuietStdout quiet;
    MainLoop::runUntilIdle();
    std::atomic<bool> running{true};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
      const unittest::Stereo input = unittest::noise(256, 0.5f);
      unittest::Stereo output(256);
      while (running.load())
        host.renderAt(input, output, 0, 256);
    });
    threads.emplace_back([&] {
      for (int i = 0; running.load(); ++i)
        unit.setMaximumFramesToRender(i % 2 ? 512 : 4096);
    });
    threads.emplace_back([&] {
      for (int i = 0; running.load(); ++i)
        unit.setShouldBypassEffect(i % 2 == 1);
    });
    threads.emplace_back([&] {
      while (running.load())
        unit.setFullState(stateA);
    });
    threads.emplace_back([&] {
      for (std::size_t i = 0; running.load(); ++i) {
        const auto& chosen = presets[i % presets.size()];
        unit.setCurrentPreset(std::make_shared<AUAudioUnitPreset>(chosen->number(), chosen->name()));
      }
    });

    // The main loop runs all along, as a host's does; it looks at memory and the queue's length on
    // the way.
    const auto start = std::chrono::steady_clock::now();
    auto nextLook = start;
    MainLoop::runUntil(
        [&] {
          const auto now = std::chrono::steady_clock::now();
          if (now >= nextLook) {
            peakResident = std::max(peakResident, residentMegabytes());
            peakPending = std::max(peakPending, MainLoop::pendingItems());
            nextLook = now + std::chrono::milliseconds(100);
          }
          return now - start >= kRunFor;
        },
        kRunFor + std::chrono::seconds(5));
    droppedWhileRunning = LogLines::threadLinesDropped() - droppedBefore;
    running.store(false);
    // The threads stop while the main thread waits for them instead of printing: one of them may
    // be waiting for room, which the loop no longer makes.
    const auto stopping = std::chrono::steady_clock::now();
    for (std::thread& thread : threads)
      thread.join();
    stopTime = std::chrono::steady_clock::now() - stopping;
    MainLoop::runUntilIdle();
  }  // standard output back, for what the checks say

  const std::uint64_t printed = LogLines::printed() - printedBefore;
  RecordProperty("peak_resident_mb", std::to_string(peakResident));
  RecordProperty("peak_pending_items", std::to_string(peakPending));
  RecordProperty("lines_printed", std::to_string(printed));
  RecordProperty("lines_dropped_while_running", std::to_string(droppedWhileRunning));
  RecordProperty("lines_dropped", std::to_string(LogLines::threadLinesDropped() - droppedBefore));
  RecordProperty("stop_ms",
                 std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(stopTime).count()));
  EXPECT_LT(stopTime, std::chrono::seconds(3)) << "the control threads did not stop on time";
  if (!kLoopMayStall) {
    EXPECT_EQ(droppedWhileRunning, 0u) << "lines dropped while the main loop printed";
  }
  // The lines waiting, a few more that threads were posting as the bound was reached, and a line
  // saying how many were dropped.
  EXPECT_LE(peakPending, LogLines::kPendingThreadLines + 8) << "main-queue items";
  if (kMeasureMemory) {
    EXPECT_LT(peakResident, 200.0) << "MB resident; " << peakPending << " main-queue items at most";
  }
  EXPECT_GT(printed, 0u);
}
