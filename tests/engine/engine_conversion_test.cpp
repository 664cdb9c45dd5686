// The engine's conversions, rendered offline: a file played exactly (calls that do not divide it,
// then silence, one completion off the caller's thread); a mono file reaching both output
// channels unchanged, stereo averaged into a mono output, a third channel dropped; a file at another rate
// than the player's output resampled when scheduled (its click where its time says, its length the file's);
// the system limiter ceiling the output only while it is in the graph.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "AudioToolbox/internal/PeakLimiterUnit.h"
#include "EngineTestSupport.h"

using namespace engine_test;

namespace {

std::size_t loudestFrame(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  to = std::min(to, x.size());
  return std::size_t(std::max_element(x.begin() + long(from), x.begin() + long(to),
                                      [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                     x.begin());
}

}  // namespace

TEST(EngineConversion, AFileIsPlayedExactlyThenSilenceAndCompletesOnceOffTheCallersThread) {
  TemporaryFolder folder;
  const Channels signal = rampSignal(5000);
  OfflineEngine rig;
  std::atomic<int> completions{0};
  std::atomic<bool> onCaller{false};
  const auto caller = std::this_thread::get_id();
  rig.play(wavFile(folder.file("a.wav"), signal, 48000), nullptr, [&] {
    onCaller = std::this_thread::get_id() == caller;
    ++completions;
  });
  const Channels out = rig.render(6000, 333);  // calls that do not divide the file
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(std::vector<float>(out[c].begin(), out[c].begin() + 5000), signal[c]);
    EXPECT_EQ(peak(out[c], 5000), 0.0f);
  }
  ASSERT_TRUE(waitFor([&] { return completions == 1; }));
  EXPECT_FALSE(onCaller);
  EXPECT_EQ(rig.engine->manualRenderingSampleTime(), 6000);
  rig.render(2048);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(completions.load(), 1);  // never again for frames after the file
}

TEST(EngineConversion, AMonoFileReachesBothChannelsUnchanged) {
  TemporaryFolder folder;
  const auto tone = sine(300.0, 0.5, 2000, 48000.0);
  OfflineEngine rig;
  rig.play(wavFile(folder.file("mono.wav"), {tone}, 48000));
  const Channels out = rig.render(2000);
  EXPECT_EQ(out[0], tone);
  EXPECT_EQ(out[1], tone);
}

// Other channel counts than the output's: a stereo file on a mono output is the mean of its two
// channels; a three-channel file on a stereo output keeps its first two and drops the third.
TEST(EngineConversion, ChannelsAreAveragedIntoOneOrDroppedBeyondTheOutputs) {
  TemporaryFolder folder;
  const auto a = sine(300.0, 0.5, 2000, 48000.0), b = sine(700.0, 0.25, 2000, 48000.0);
  {
    SCOPED_TRACE("stereo to mono");
    OfflineEngine rig(48000.0, 1);
    rig.play(wavFile(folder.file("stereo.wav"), {a, b}, 48000));
    const Channels out = rig.render(2000);
    ASSERT_EQ(out.size(), 1u);
    float worst = 0.0f;
    for (std::size_t n = 0; n < 2000; ++n)
      worst = std::max(worst, std::fabs(out[0][n] - 0.5f * (a[n] + b[n])));
    EXPECT_LT(worst, 1e-6f);
  }
  {
    SCOPED_TRACE("three channels to stereo");
    const auto c = sine(1100.0, 0.75, 2000, 48000.0);
    OfflineEngine rig;
    rig.play(wavFile(folder.file("three.wav"), {a, b, c}, 48000));
    const Channels out = rig.render(2000);
    EXPECT_EQ(out[0], a);
    EXPECT_EQ(out[1], b);
  }
}

// The player's output at 48 kHz (its connection's format) and a 44.1 kHz file scheduled on it:
// converted when scheduled, a click lands where its time says and the length is the file's, so
// the completion comes with the frame that ends one second.
TEST(EngineConversion, AFileAtAnotherRateThanThePlayersIsResampledWhenScheduled) {
  TemporaryFolder folder;
  std::vector<float> x(44100, 0.0f);
  x[11025] = 0.9f;  // at 0.25 s
  const auto tone = sine(1000.0, 0.3, 22050, 44100.0);
  std::copy(tone.begin(), tone.end(), x.begin() + 22050);  // the second half: 1 kHz
  OfflineEngine rig;
  std::atomic<int> completions{0};
  rig.play(wavFile(folder.file("44k.wav"), {x, x}, 44100), rig.format, [&] { ++completions; });
  const Channels out = rig.render(48000 - 600);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(completions.load(), 0);
  rig.render(600);
  EXPECT_TRUE(waitFor([&] { return completions == 1; }));
  EXPECT_NEAR(double(loudestFrame(out[0], 0, 20000)), 12000.0, 1.0);
  EXPECT_NEAR(peak(out[0], 11000, 13000), 0.9f, 0.2f);  // the click, band-limited
  EXPECT_EQ(out[0], out[1]);
  {
    SCOPED_TRACE("the tone keeps its pitch: 1 kHz at 48 kHz is 48 frames a period");
    int crossings = 0;
    for (std::size_t n = 26000; n < 26000 + 4800; ++n)
      crossings += (out[0][n] < 0.0f) != (out[0][n + 1] < 0.0f);
    EXPECT_NEAR(crossings, 200, 2);
    EXPECT_NEAR(peak(out[0], 26000, 46000), 0.3f, 0.02f);
  }
  EXPECT_LT(peak(rig.render(512)[0]), 1e-3f);  // nothing after the second
}

TEST(EngineConversion, TheSystemLimiterCeilsTheOutputOnlyInTheGraph) {
  TemporaryFolder folder;
  // A tone with peaks at +12 dBFS and a louder burst.
  auto loud = sine(220.0, 4.0, 24000, 48000.0);
  for (std::size_t n = 12000; n < 13000; ++n)
    loud[n] *= 2.0f;
  writeWav(folder.file("loud.wav"), {loud, loud}, 48000);
  for (bool withLimiter : {false, true}) {
    SCOPED_TRACE(withLimiter ? "player -> limiter -> mixer" : "player -> mixer, the limiter attached");
    OfflineEngine rig;
    auto file = openFile(folder.file("loud.wav"));
    auto limiter = std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
    rig.engine->attach(limiter);
    if (withLimiter) {
      rig.engine->connect(rig.player, limiter, file->processingFormat());
      rig.engine->connect(limiter, rig.engine->mainMixerNode(), file->processingFormat());
      rig.player->scheduleFile(file, nullptr, nullptr);
      rig.engine->start();
      rig.player->play();
    } else {
      rig.play(file);
    }
    const Channels out = rig.render(26000);
    if (withLimiter) {
      EXPECT_TRUE(limiter->auAudioUnit()->renderResourcesAllocated());
      EXPECT_LE(peak(out[0]), 1.0f + 1e-6f);
      EXPECT_LE(peak(out[1]), 1.0f + 1e-6f);
      EXPECT_GT(peak(out[0], 12000, 13000), 0.9f);  // limited, not muted, in the burst too
    } else {
      EXPECT_NEAR(peak(out[0]), 8.0f, 0.01f);
      EXPECT_NEAR(peak(out[0], 0, 12000), 4.0f, 0.01f);
    }
  }
}
