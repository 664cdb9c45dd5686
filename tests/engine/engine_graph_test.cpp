// The engine rendered offline: exact gapless looping through the completion, another rate
// converted to the output's, completions (thread, order, stop, pause), and the application's two
// graph shapes (mono reaching both channels), with the system limiter, rewired in its orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "AudioToolbox/internal/PeakLimiterUnit.h"
#include "EngineTestSupport.h"

using namespace engine_test;

namespace {

std::shared_ptr<AVAudioUnitEffect> makeLimiter() {
  return std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
}

// Records which thread ran each completion and in which order.
struct CompletionLog {
  std::mutex mutex;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  AVAudioNodeCompletionHandler handler(int id) {
    return [this, id] {
      std::lock_guard lock(mutex);
      order.push_back(id);
      threads.push_back(std::this_thread::get_id());
    };
  }
  std::size_t count() {
    std::lock_guard lock(mutex);
    return order.size();
  }
};

Channels slice(const Channels& c, std::size_t from, std::size_t count) {
  Channels out;
  for (const auto& ch : c)
    out.emplace_back(ch.begin() + long(from), ch.begin() + long(from + count));
  return out;
}

}  // namespace

TEST(EngineOffline, LoopingThroughTheCompletionHasNoGapAndNoRepeatedFrame) {
  TemporaryFolder folder;
  const Channels signal = rampSignal(3000);
  OfflineEngine rig;
  auto file = wavFile(folder.file("loop.wav"), signal, 48000);
  std::atomic<int> scheduled{1}, completed{0};
  std::function<void()> again = [&] {
    if (scheduled < 4) {
      rig.player->scheduleFile(file, nullptr, again);
      ++scheduled;
    }
    ++completed;
  };
  rig.play(file, nullptr, again);
  Channels out(2);
  for (int call = 0; call < 30; ++call) {
    const Channels block = rig.render(512);
    for (std::size_t c = 0; c < 2; ++c)
      out[c].insert(out[c].end(), block[c].begin(), block[c].end());
    // A pass completes once its last frame falls within the next call; its completion
    // schedules the next pass before that call.
    const int due = std::min(4, (call + 2) * 512 / 3000);
    ASSERT_TRUE(waitFor([&] { return completed >= due; }));
  }
  for (int pass = 0; pass < 4; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    EXPECT_EQ(slice(out, std::size_t(pass) * 3000, 3000), signal);
  }
  EXPECT_EQ(peak(out[0], 12000), 0.0f);
}

TEST(EngineOffline, AnotherRateIsConvertedToTheOutputs) {
  TemporaryFolder folder;
  {
    // Two clicks 1.5 s apart and a 1 kHz tone between them, at 44.1 kHz, through a 48 kHz
    // output: the clicks arrive 1.5 s apart at 48 kHz (within a frame) and the tone is 1 kHz.
    SCOPED_TRACE("a 44.1 kHz file through a 48 kHz output");
    std::vector<float> x(2 * 44100, 0.0f);
    x[4410] = 0.9f;
    x[4410 + 66150] = 0.9f;
    const auto tone = sine(1000.0, 0.3, 44100, 44100.0);
    std::copy(tone.begin(), tone.end(), x.begin() + 13230);
    OfflineEngine rig;
    rig.play(wavFile(folder.file("44k.wav"), {x, x}, 44100));
    const Channels out = rig.render(2 * 48000 + 512);
    auto argmax = [&](std::size_t from, std::size_t to) {
      return std::size_t(std::max_element(out[0].begin() + long(from), out[0].begin() + long(to),
                                          [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                         out[0].begin());
    };
    const std::size_t first = argmax(4000, 6000), second = argmax(first + 70000, first + 74000);
    EXPECT_NEAR(double(second - first), 1.5 * 48000.0, 1.0);
    // Zero crossings of the tone over half a second inside it (it runs from 0.2 s to 1.2 s
    // after the first click).
    int crossings = 0;
    const std::size_t from = first + 12000;
    for (std::size_t n = from; n < from + 24000; ++n)
      crossings += (out[0][n] < 0.0f) != (out[0][n + 1] < 0.0f);
    EXPECT_NEAR(crossings, 1000, 1);
    // Total length: nothing after the file's end at 48 kHz (the converter's delay aside).
    EXPECT_LT(peak(out[0], 96000 + 64), 1e-3f);
  }
}

TEST(EngineOffline, CompletionsComeInOrderOnceAndStopFlushesPauseKeeps) {
  TemporaryFolder folder;
  const Channels signal = rampSignal(1000);
  OfflineEngine rig;
  auto file = wavFile(folder.file("s.wav"), signal, 48000);
  rig.engine->connect(rig.player, rig.engine->mainMixerNode(), file->processingFormat());
  rig.engine->start();
  CompletionLog log;
  {
    SCOPED_TRACE("three files played out in order, on one thread that is not the caller's");
    for (int id : {1, 2, 3})
      rig.player->scheduleFile(file, nullptr, log.handler(id));
    rig.player->play();
    rig.render(3000);
    ASSERT_TRUE(waitFor([&] { return log.count() == 3; }));
    EXPECT_EQ(log.order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(log.threads[0], log.threads[2]);
    EXPECT_NE(log.threads[0], std::this_thread::get_id());
  }
  {
    SCOPED_TRACE("pause keeps the position; play goes on from there");
    rig.player->scheduleFile(file, nullptr, log.handler(4));
    const Channels a = rig.render(400);
    rig.player->pause();
    EXPECT_EQ(peak(rig.render(512)[0]), 0.0f);
    rig.player->play();
    const Channels b = rig.render(600);
    EXPECT_EQ(slice(a, 0, 400), slice(signal, 0, 400));
    EXPECT_EQ(slice(b, 0, 600), slice(signal, 400, 600));
    ASSERT_TRUE(waitFor([&] { return log.count() == 4; }));
  }
  {
    SCOPED_TRACE(
        "stop fires the flushed completions in order, a second stop nothing; the next file starts at 0");
    rig.player->scheduleFile(file, nullptr, log.handler(5));
    rig.player->scheduleFile(file, nullptr, log.handler(6));
    rig.render(100);
    rig.player->stop();
    rig.player->stop();
    ASSERT_TRUE(waitFor([&] { return log.count() == 6; }));
    EXPECT_EQ(log.order, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(rig.player->isPlaying());
    EXPECT_EQ(peak(rig.render(1000)[0]), 0.0f);
    rig.player->scheduleFile(file, nullptr, log.handler(7));
    rig.player->play();
    EXPECT_EQ(slice(rig.render(1000), 0, 1000), signal);
    ASSERT_TRUE(waitFor([&] { return log.count() == 7; }));
  }
}

// The application's two shapes: player -> mixer with the file's format, and player -> effect (the
// system limiter) -> mixer, first with the file's format, then rewired as a new file is loaded
// (mixer input and effect input disconnected, then both connections without a format).
TEST(EngineOffline, TheApplicationsGraphShapesAndRewiringOrders) {
  TemporaryFolder folder;
  auto loud = sine(440.0, 2.0, 48000, 48000.0);
  writeWav(folder.file("loud.wav"), {loud, loud}, 48000);
  writeWav(folder.file("mono.wav"), {sine(440.0, 0.25, 48000, 48000.0)}, 48000);
  OfflineEngine rig;
  auto engine = rig.engine;
  auto mixer = engine->mainMixerNode();
  auto file = openFile(folder.file("loud.wav"));
  auto effect = makeLimiter();

  // Loading: player -> effect -> mixer without formats.
  engine->attach(effect);
  engine->disconnectNodeInput(mixer);
  engine->disconnectNodeInput(effect);
  engine->connect(rig.player, effect, nullptr);
  engine->connect(effect, mixer, nullptr);
  EXPECT_EQ(engine->inputNode(effect), rig.player);
  EXPECT_EQ(engine->inputNode(mixer), effect);
  EXPECT_EQ(engine->connectionFormat(mixer)->description(), rig.player->outputFormatForBus(0)->description());

  rig.player->scheduleFile(file, nullptr, nullptr);
  engine->start();
  rig.player->play();
  {
    SCOPED_TRACE("a tone with peaks at +6 dBFS through the limiter: ceiled, not muted");
    const Channels out = rig.render(4800);
    for (const auto& channel : out)
      EXPECT_LE(peak(channel), 1.0f + 1e-6f);
    EXPECT_GT(peak(out[1]), 0.9f);
  }

  {
    SCOPED_TRACE("while running: the effect replaced by the plain shape with the file's format");
    engine->disconnectNodeInput(effect);
    engine->disconnectNodeInput(mixer);
    engine->connect(rig.player, mixer, file->processingFormat());
    engine->detach(effect);
    const Channels out = rig.render(4800);
    EXPECT_NEAR(peak(out[0]), 2.0f, 0.01f);  // unlimited again
  }
  {
    SCOPED_TRACE("an effect connected with a mono file's format: mono through the effect to both channels");
    auto mono = openFile(folder.file("mono.wav"));
    rig.player->stop();
    engine->attach(effect);
    engine->disconnectNodeInput(mixer);
    engine->connect(rig.player, effect, mono->processingFormat());
    engine->connect(effect, mixer, mono->processingFormat());
    rig.player->scheduleFile(mono, nullptr, nullptr);
    rig.player->play();
    const Channels out = rig.render(9600);
    EXPECT_NEAR(peak(out[0], 4800), 0.25f, 0.01f);
    EXPECT_EQ(out[0], out[1]);
  }
  {
    SCOPED_TRACE("detaching a connected node, stopping twice");
    engine->detach(effect);
    EXPECT_EQ(peak(rig.render(1024)[0]), 0.0f);
    engine->stop();
    engine->stop();
    EXPECT_EQ(engine->renderOffline(512, *rig.buffer),
              AVAudioEngineManualRenderingStatus::cannotDoInCurrentContext);
  }
}
