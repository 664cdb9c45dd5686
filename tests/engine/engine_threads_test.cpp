// The engine across threads: rendering while another thread rewires the graph a thousand times
// and players are scheduled, stopped and restarted (no allocation on the render thread, no data
// race under ThreadSanitizer); and the device: the null output with its one log line, real-time
// completions and a device callback that allocates nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "AVFoundation/testing/AVFoundationTesting.h"
#include "AudioToolbox/internal/PeakLimiterUnit.h"
#include "EngineTestSupport.h"
#include "MallocCounter.h"  // the one file of this binary that counts allocations

using namespace engine_test;

namespace {

// Tests use SDL's null driver unless told otherwise: no sound card, no ALSA messages.
const bool kNullDriver = [] { return ::setenv("SDL_AUDIODRIVER", "dummy", 0) == 0; }();

constexpr AudioComponentDescription kProbe{FourCC("aufx"), FourCC("prob"), FourCC("kovt"), 0, 0};

// A pass-through effect that counts, on the thread that renders it, the allocations made there
// between two of its render calls (counting is armed at its first call).
class ProbeUnit final : public AUAudioUnit {
 public:
  static inline std::atomic<std::size_t> allocations{0};
  static inline std::atomic<int> calls{0};

  ProbeUnit(const AudioComponentDescription& d, AudioComponentInstantiationOptions o)
      : AUAudioUnit(d, o),
        inputs_(stereoBus(AUAudioUnitBusType::input)),
        outputs_(stereoBus(AUAudioUnitBusType::output)) {}
  std::shared_ptr<AUAudioUnitBusArray> inputBusses() override { return inputs_; }
  std::shared_ptr<AUAudioUnitBusArray> outputBusses() override { return outputs_; }
  AUInternalRenderBlock internalRenderBlock() override {
    return [](AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time, AUAudioFrameCount frames,
              NSInteger, AudioBufferList* out, const AURenderEvent*,
              const AURenderPullInputBlock* pull) -> AUAudioUnitStatus {
      if (!allocation_counting::armed) {
        allocation_counting::count = 0;
        allocation_counting::armed = true;
      } else {
        allocations.store(allocation_counting::count);
      }
      ++calls;
      return (*pull)(flags, time, frames, 0, out);  // the input straight into the output
    };
  }

 private:
  static std::shared_ptr<AUAudioUnitBusArray> stereoBus(AUAudioUnitBusType type) {
    return std::make_shared<AUAudioUnitBusArray>(
        type, std::vector{std::make_shared<AUAudioUnitBus>(AVAudioFormat::makeStandard(48000.0, 2))});
  }
  std::shared_ptr<AUAudioUnitBusArray> inputs_, outputs_;
};

std::shared_ptr<AVAudioUnitEffect> makeUnit(const AudioComponentDescription& d) {
  static const bool registered = [] {
    AUAudioUnit::registerSubclass(
        [](const AudioComponentDescription& d, AudioComponentInstantiationOptions o) {
          return std::make_shared<ProbeUnit>(d, o);
        },
        kProbe, "KOV Test: Probe", 1);
    return true;
  }();
  (void)registered;
  return std::make_shared<AVAudioUnitEffect>(d);
}

}  // namespace

TEST(EngineThreads, RewiringAndReschedulingWhileRenderingAllocateNothingOnTheRenderThread) {
  ASSERT_TRUE(kNullDriver);
  TemporaryFolder folder;
  OfflineEngine rig;
  auto file = wavFile(folder.file("tone.wav"),
                      {sine(220.0, 0.5, 9600, 48000.0), sine(330.0, 0.5, 9600, 48000.0)}, 48000);
  auto limiter = makeUnit(PeakLimiterUnit::kComponentDescription);
  auto mixer = rig.engine->mainMixerNode();
  rig.engine->attach(limiter);
  rig.engine->connect(rig.player, mixer, file->processingFormat());
  // The file loops: a completion that leaves nothing scheduled schedules it again.
  std::atomic<int> outstanding{0};
  std::atomic<bool> looping{true};
  std::function<void()> loop;
  auto schedule = [&] {
    ++outstanding;
    rig.player->scheduleFile(file, nullptr, loop);
  };
  loop = [&] {
    if (--outstanding == 0 && looping)
      schedule();
  };
  schedule();
  // A second player at 44.1 kHz on its own mixer input: every graph converts its rate.
  auto file44 = wavFile(folder.file("tone44.wav"), {sine(440.0, 0.25, 44100, 44100.0)}, 44100);
  auto player44 = std::make_shared<AVAudioPlayerNode>();
  rig.engine->attach(player44);
  rig.engine->connect(player44, mixer, 0, 1, file44->processingFormat());
  player44->scheduleFile(file44, nullptr, nullptr);
  rig.engine->start();
  rig.player->play();
  player44->play();

  std::atomic<bool> done{false};
  std::atomic<std::size_t> allocations{0}, calls{0};
  std::thread renderer([&] {
    while (!done) {
      AllocationCounter counter;
      rig.engine->renderOffline(512, *rig.buffer);
      allocations += counter.count();
      ++calls;
    }
  });
  std::thread transport([&] {
    for (int i = 0; i < 200 && !done; ++i) {
      rig.player->stop();
      schedule();
      rig.player->play();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  for (int i = 0; i < 1000; ++i) {
    rig.engine->disconnectNodeInput(mixer, 0);
    if (i % 2 == 0) {
      rig.engine->connect(rig.player, limiter, nullptr);
      rig.engine->connect(limiter, mixer, nullptr);
    } else {
      rig.engine->disconnectNodeInput(limiter);
      rig.engine->connect(rig.player, mixer, file->processingFormat());
    }
  }
  transport.join();
  done = true;
  renderer.join();
  EXPECT_GT(calls.load(), 10u);
  EXPECT_EQ(allocations.load(), 0u);
  rig.engine->stop();
  EXPECT_EQ(rig.engine->retiredGraphCount(), 0u);
  looping = false;
  rig.player->stop();
  EXPECT_TRUE(waitFor([&] { return outstanding == 0; }));
}

TEST(EngineDeviceThreads, NullOutputFallbackRealTimeCompletionsAndNoOutputAtAll) {
  ASSERT_TRUE(kNullDriver);
  TemporaryFolder folder;
  auto file = wavFile(folder.file("short.wav"), {sine(440.0, 0.5, 9600, 48000.0)}, 48000);
  {
    SCOPED_TRACE("the first device fails to open: the null output, said once");
    auto engine = std::make_shared<AVAudioEngine>();
    auto player = std::make_shared<AVAudioPlayerNode>();
    auto probe = makeUnit(kProbe);
    engine->attach(player);
    engine->attach(probe);
    const auto format = engine->outputNode()->outputFormatForBus(0);
    EXPECT_EQ(format->channelCount(), 2u);
    engine->connect(player, probe, format);
    engine->connect(probe, engine->mainMixerNode(), format);
    std::atomic<bool> completed{false}, onMainOrCaller{false};
    const auto caller = std::this_thread::get_id();
    player->scheduleFile(file, nullptr, [&] {
      onMainOrCaller = std::this_thread::get_id() == caller;
      completed = true;
    });
    AudioDeviceOutputTesting::failOpens(1);
    testing::internal::CaptureStderr();
    ASSERT_NO_THROW(engine->start());
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        "AVAudioEngine: no audio device could be opened (no audio device (test)); rendering to the null "
        "output in real time.\n");
    EXPECT_TRUE(engine->isRunning());
    player->play();
    EXPECT_TRUE(waitFor([&] { return completed.load(); }));  // 0.2 s of audio, paced
    EXPECT_FALSE(onMainOrCaller);
    EXPECT_TRUE(waitFor([&] { return ProbeUnit::calls >= 40; }));
    engine->stop();
    const int calls = ProbeUnit::calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ProbeUnit::calls, calls);  // nothing renders after stop()
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_EQ(ProbeUnit::allocations.load(), 0u);  // SDL's device thread between two callbacks
#endif
  }
  // No output at all: start() throws (its text: the engine player's failure test).
}

// A completion handler that holds its node's last reference ends the node on the node's own
// completion thread (the main thread detached the node and let it go meanwhile). The handlers
// already due still run, in order, and the thread stops without touching the ended node (an
// address sanitizer build reports any read of it: the handler's weak reference is the last one
// to the node's memory, and it goes when the handlers are done).
TEST(PlayerNodeThreads, AHandlerThatEndsItsNodeLeavesTheCompletionThreadSound) {
  TemporaryFolder folder;
  auto file = wavFile(folder.file("short.wav"), {sine(440.0, 0.5, 480, 48000.0)}, 48000);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    auto engine = std::make_shared<AVAudioEngine>();
    // Made both ways: with the count in the node's own block, and apart from it.
    auto player = round % 2 == 0 ? std::make_shared<AVAudioPlayerNode>()
                                 : std::shared_ptr<AVAudioPlayerNode>(new AVAudioPlayerNode());
    engine->attach(player);
    std::atomic<bool> holding{false}, letGo{false}, heldTheLast{false};
    std::atomic<int> order{0}, firstAt{-1}, secondAt{-1};
    player->scheduleFile(file, nullptr, [&, weak = std::weak_ptr<AVAudioPlayerNode>(player)] {
      auto strong = weak.lock();
      holding = true;
      while (!letGo)
        std::this_thread::yield();
      heldTheLast = strong.use_count() == 1;
      firstAt = order++;
      // `strong` ends here: the node's destructor runs on this thread.
    });
    player->scheduleFile(file, nullptr, [&] { secondAt = order++; });
    player->stop();  // both completions are due at once, on the completion thread
    ASSERT_TRUE(waitFor([&] { return holding.load(); }));
    engine->detach(player);
    player.reset();
    engine.reset();
    letGo = true;
    ASSERT_TRUE(waitFor([&] { return secondAt.load() >= 0; }));
    EXPECT_TRUE(heldTheLast);
    EXPECT_EQ(firstAt, 0);
    EXPECT_EQ(secondAt, 1);
    // The thread reads its state once more after the last handler, then stops.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
