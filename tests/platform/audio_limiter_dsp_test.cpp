// The signal path of the system peak limiter: ceiling, look-ahead, pass-through below full
// scale, attack and decay timing, linking, odd input and independence of buffer splitting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "AudioToolbox/internal/PeakLimiterDSP.h"

namespace {

constexpr double kRates[] = {44100.0, 48000.0, 96000.0};

struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(std::size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
  std::size_t size() const { return left.size(); }
};

// Runs the limiter over the whole signal in buffers of `block` frames (separate output).
Stereo run(PeakLimiterDSP& limiter, const Stereo& in, std::size_t block = 512) {
  Stereo out(in.size());
  for (std::size_t at = 0; at < in.size(); at += block) {
    const auto frames = std::uint32_t(std::min(block, in.size() - at));
    limiter.process(&in.left[at], &in.right[at], &out.left[at], &out.right[at], frames);
  }
  return out;
}

float peakOf(const Stereo& s, std::size_t from = 0) {
  float peak = 0.0f;
  for (std::size_t i = from; i < s.size(); ++i)
    peak = std::max({peak, std::fabs(s.left[i]), std::fabs(s.right[i])});
  return peak;
}

double rmsOf(const Stereo& s) {
  double energy = 0.0;
  for (std::size_t i = 0; i < s.size(); ++i)
    energy += double(s.left[i]) * s.left[i] + double(s.right[i]) * s.right[i];
  return std::sqrt(energy / (2.0 * double(s.size())));
}

Stereo noise(std::size_t frames, float sigma, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> dist(0.0f, sigma);
  Stereo s(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    s.left[i] = dist(rng);
    s.right[i] = dist(rng);
  }
  return s;
}

// A square wave of the given amplitude and period, the right channel a quarter period later.
Stereo square(std::size_t frames, float amplitude, std::size_t period) {
  Stereo s(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    s.left[i] = (i % period) < period / 2 ? amplitude : -amplitude;
    s.right[i] = ((i + period / 4) % period) < period / 2 ? amplitude : -amplitude;
  }
  return s;
}

Stereo constant(std::size_t frames, float left, float right) {
  Stereo s;
  s.left.assign(frames, left);
  s.right.assign(frames, right);
  return s;
}

// `burst` frames of a square wave of 4 (a reduction of 3/4), then `tail` frames of a probe of 0.5.
Stereo burstThenProbe(std::size_t burst, std::size_t tail, std::size_t period) {
  Stereo s = square(burst + tail, 4.0f, period);
  std::fill(s.left.begin() + burst, s.left.end(), 0.5f);
  std::fill(s.right.begin() + burst, s.right.end(), 0.5f);
  return s;
}

std::unique_ptr<PeakLimiterDSP> makeLimiter(double rate, float attack = 0.012f, float decay = 0.024f,
                                            float preGain = 0.0f) {
  auto limiter = std::make_unique<PeakLimiterDSP>();
  limiter->allocate(rate);
  limiter->setAttackTime(attack);
  limiter->setDecayTime(decay);
  limiter->setPreGain(preGain);
  return limiter;
}

// The applied reduction 1 - gain at output frame n, measured on a constant probe level.
double reductionAt(const Stereo& out, std::size_t n, float probe) {
  return 1.0 - double(out.left[n]) / probe;
}

}  // namespace

TEST(PeakLimiterDSP, LookAheadIsAPowerOfTwoNearOnePointFiveMilliseconds) {
  const struct {
    double rate;
    std::uint32_t frames;
  } cases[] = {{8000.0, 16},   {22050.0, 32},   {44100.0, 64},   {48000.0, 64}, {88200.0, 128},
               {96000.0, 128}, {176400.0, 256}, {192000.0, 256}, {1000.0, 16},  {1e6, 256}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    PeakLimiterDSP limiter;
    limiter.allocate(c.rate);
    EXPECT_EQ(limiter.lookAheadFrames(), c.frames);
    EXPECT_DOUBLE_EQ(limiter.latencySeconds(), c.frames / limiter.sampleRate());
    EXPECT_GE(limiter.latencySeconds(), 0.0013);
    EXPECT_LE(limiter.latencySeconds(), 0.0021);
  }
}

TEST(PeakLimiterDSP, ParametersKeepTheirRanges) {
  PeakLimiterDSP limiter;
  EXPECT_FLOAT_EQ(limiter.attackTime(), 0.012f);
  EXPECT_FLOAT_EQ(limiter.decayTime(), 0.024f);
  EXPECT_FLOAT_EQ(limiter.preGain(), 0.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float value, attack, decay, preGain;
  } cases[] = {{0.0f, 0.001f, 0.001f, 0.0f}, {0.1f, 0.03f, 0.06f, 0.1f},
               {0.02f, 0.02f, 0.02f, 0.02f}, {-50.0f, 0.001f, 0.001f, -40.0f},
               {50.0f, 0.03f, 0.06f, 40.0f}, {0.001f, 0.001f, 0.001f, 0.001f},
               {nan, 0.012f, 0.024f, 0.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    limiter.setAttackTime(c.value);
    limiter.setDecayTime(c.value);
    limiter.setPreGain(c.value);
    EXPECT_FLOAT_EQ(limiter.attackTime(), c.attack);
    EXPECT_FLOAT_EQ(limiter.decayTime(), c.decay);
    EXPECT_FLOAT_EQ(limiter.preGain(), c.preGain);
  }
}

TEST(PeakLimiterDSP, OutputNeverExceedsFullScale) {
  for (double rate : kRates) {
    const auto frames = std::size_t(rate);  // one second
    const struct {
      std::string name;
      Stereo signal;
      float preGain;
    } cases[] = {
        {"loud noise", noise(frames, 3.0f, 1), 0.0f},
        {"noise, +40 dB", noise(frames, 0.5f, 2), 40.0f},
        {"square wave", square(frames, 4.0f, 100), 0.0f},
        {"fast square wave", square(frames, 2.0f, 2), 6.0f},
        {"single-sample spikes",
         [&] {
           Stereo s = noise(frames, 0.2f, 3);
           for (std::size_t i = 37; i < frames; i += 997)
             s.left[i] = (i % 2 ? 1000.0f : -20.0f);
           for (std::size_t i = 500; i < frames; i += 1511)
             s.right[i] = -3.0f;
           return s;
         }(),
         0.0f},
    };
    for (const auto& c : cases) {
      for (float attack : {0.001f, 0.03f}) {
        for (float decay : {0.001f, 0.06f}) {
          SCOPED_TRACE(c.name + " at " + std::to_string(rate) + " Hz, attack " + std::to_string(attack) +
                       ", decay " + std::to_string(decay));
          auto limiter = makeLimiter(rate, attack, decay, c.preGain);
          const Stereo out = run(*limiter, c.signal);
          EXPECT_LE(peakOf(out), 1.0f);
          // It limits rather than mutes: loud material stays loud.
          if (c.name != "single-sample spikes") {
            EXPECT_GT(rmsOf(out), 0.2);
          }
        }
      }
    }
    SCOPED_TRACE("silence");
    auto limiter = makeLimiter(rate);
    EXPECT_EQ(peakOf(run(*limiter, Stereo(frames))), 0.0f);
  }
}

TEST(PeakLimiterDSP, BelowFullScaleTheOutputIsTheInputDelayed) {
  for (double rate : kRates) {
    SCOPED_TRACE(rate);
    auto limiter = makeLimiter(rate);
    const std::size_t delay = limiter->lookAheadFrames();
    Stereo in = noise(std::size_t(rate / 2), 0.3f, 4);
    for (std::size_t i = 0; i < in.size(); ++i) {
      in.left[i] = std::clamp(in.left[i], -1.0f, 1.0f);  // full scale itself is not limited
      in.right[i] = std::clamp(in.right[i], -0.99f, 0.99f);
    }
    const Stereo out = run(*limiter, in);
    for (std::size_t i = 0; i < delay; ++i)
      ASSERT_EQ(out.left[i], 0.0f) << i;
    for (std::size_t i = delay; i < in.size(); ++i) {
      ASSERT_EQ(out.left[i], in.left[i - delay]) << i;
      ASSERT_EQ(out.right[i], in.right[i - delay]) << i;
    }
  }
  SCOPED_TRACE("pre-gain: +6 dB and -40 dB scale exactly as 10^(dB/20)");
  for (float preGain : {6.0f, -40.0f}) {
    auto limiter = makeLimiter(48000.0, 0.012f, 0.024f, preGain);
    Stereo in(200);
    for (std::size_t i = 0; i < in.size(); ++i)
      in.left[i] = in.right[i] = 0.25f * float(i % 7) / 7.0f;
    const Stereo out = run(*limiter, in);
    const float factor = std::pow(10.0f, preGain / 20.0f);
    for (std::size_t i = 64; i < in.size(); ++i)
      ASSERT_FLOAT_EQ(out.left[i], in.left[i - 64] * factor) << i;
  }
}

TEST(PeakLimiterDSP, GainRampsDownOverTheLookAheadAndMeetsThePeak) {
  // A single spike of 8 (needs a gain of 1/8) on a steady probe of 0.5, both channels linked:
  // the gain falls in W equal steps and reaches 1/8 exactly when the spike comes out, on the
  // quiet right channel too.
  for (double rate : kRates) {
    SCOPED_TRACE(rate);
    auto limiter = makeLimiter(rate, 0.03f, 0.001f);
    const std::size_t w = limiter->lookAheadFrames(), spike = 1000;
    Stereo in = constant(3000, 0.5f, 0.5f);
    in.left[spike] = 8.0f;
    const Stereo out = run(*limiter, in);
    const double needed = 1.0 - 1.0 / 8.0;
    EXPECT_DOUBLE_EQ(reductionAt(out, spike - 1, 0.5f), 0.0);
    for (std::size_t j = 0; j < w; ++j) {
      EXPECT_NEAR(reductionAt(out, spike + j, 0.5f), needed * double(j + 1) / double(w), 1e-6) << j;
      EXPECT_FLOAT_EQ(out.right[spike + j], out.left[spike + j]) << "linked " << j;
    }
    EXPECT_EQ(out.left[spike + w], 1.0f);
    EXPECT_EQ(out.right[spike + w], 0.0625f);
  }
}

TEST(PeakLimiterDSP, DecayTimeSetsTheRecoveryAfterABurst) {
  // A 100 ms burst of a square wave of 4 (reduction 3/4), then a probe of 0.5. A fast attack
  // has taken the whole reduction into the release memory, which then decays by 99 % per decay
  // time: the ratio of reductions D frames apart is 0.01^(D / (decay * rate)).
  for (double rate : kRates) {
    for (float decay : {0.001f, 0.024f, 0.06f}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, decay " + std::to_string(decay));
      auto limiter = makeLimiter(rate, 0.001f, decay);
      const std::size_t w = limiter->lookAheadFrames(), burst = std::size_t(rate / 10);
      const Stereo in = burstThenProbe(burst, std::size_t(rate), 64);
      const Stereo out = run(*limiter, in);

      EXPECT_EQ(peakOf(out), 1.0f);
      // The burst comes out at exactly full scale, then the first frame that only sees the
      // release memory follows the hold (W) and the averaging (W).
      EXPECT_EQ(std::fabs(out.left[burst + w - 1]), 1.0f);
      const std::size_t first = burst + 2 * w - 1;
      const auto span = std::size_t(std::lround(decay * rate));
      const double start = reductionAt(out, first, 0.5f);
      const double dec = std::pow(0.01, 1.0 / (decay * rate));
      double mean = 0.0;  // of 0.75 dec^j over the W averaged frames, j = 1..W
      for (std::size_t j = 1; j <= w; ++j)
        mean += 0.75 * std::pow(dec, double(j)) / double(w);
      EXPECT_NEAR(start, mean, 1e-3 * mean);
      EXPECT_NEAR(reductionAt(out, first + span, 0.5f) / start, std::pow(0.01, span / (decay * rate)), 2e-3);
      EXPECT_NEAR(reductionAt(out, first + span / 2, 0.5f) / start,
                  std::pow(0.01, (span / 2) / (decay * rate)), 2e-3);
      // Recovered within the decay time after the burst has left the output (and the
      // look-ahead): at most 1 % of the reduction is left.
      EXPECT_LE(reductionAt(out, burst + w + w + span, 0.5f), 0.0101 * 0.75);
      // Later the reduction ends exactly: the input passes bit for bit again.
      for (std::size_t i = in.size() - 100; i < in.size(); ++i)
        ASSERT_EQ(out.left[i], 0.5f) << i;
    }
  }
}

TEST(PeakLimiterDSP, AttackTimeSetsHowMuchReductionIsHeldAfterABurst) {
  // While the hold keeps a reduction v, the release memory builds towards it as
  // u = v (1 - a^n), a^(attack * rate) = 0.01; after the hold it decays. So a burst that lasts
  // (with the hold) one attack time leaves 99 % of v to decay; the same burst with a longer
  // attack leaves less and the gain comes back sooner. (Attack times below the look-ahead
  // cannot be timed so: the hold alone lasts longer.)
  const double rate = 48000.0;
  const float decay = 0.06f;
  const double v = 0.75, dec = std::pow(0.01, 1.0 / (decay * rate));
  for (float attack : {0.002f, 0.012f, 0.03f}) {
    SCOPED_TRACE(attack);
    auto limiter = makeLimiter(rate, attack, decay);
    const std::size_t w = limiter->lookAheadFrames();
    const auto held = std::size_t(std::lround(attack * rate));  // frames the hold shows v
    ASSERT_GT(held, w);
    const std::size_t burst = held - w;
    const Stereo out = run(*limiter, burstThenProbe(burst, 4000, 16));

    const double built = v * (1.0 - std::pow(0.01, held / (attack * rate)));  // 99 % of v
    // The first frame after the hold averages u * dec^j for j = 1..W.
    double mean = 0.0;
    for (std::size_t j = 1; j <= w; ++j)
      mean += built * std::pow(dec, double(j));
    mean /= double(w);
    EXPECT_NEAR(reductionAt(out, burst + 2 * w - 1, 0.5f), mean, 1e-3 * mean);

    SCOPED_TRACE("a 5 ms burst");
    auto same = makeLimiter(rate, attack, decay);
    const std::size_t shortBurst = 240;
    const Stereo shortOut = run(*same, burstThenProbe(shortBurst, 4000, 16));
    const double shortBuilt = v * (1.0 - std::pow(0.01, (shortBurst + w) / (attack * rate)));
    const std::size_t later = shortBurst + 2 * w - 1 + 960;  // 20 ms into the decay
    double expected = 0.0;
    for (std::size_t j = 1; j <= w; ++j)
      expected += shortBuilt * std::pow(dec, double(960 + j));
    expected /= double(w);
    EXPECT_NEAR(reductionAt(shortOut, later, 0.5f), expected, 1e-3 * expected);
  }
}

TEST(PeakLimiterDSP, UnusableSamplesAreSilenced) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  Stereo in = constant(2000, 0.5f, -0.5f);
  const std::size_t bad[] = {100, 101, 300, 700, 1200};
  in.left[100] = nan;
  in.right[101] = inf;
  in.left[300] = -inf;
  in.right[700] = 3e38f;
  in.left[1200] = -nan;
  // Blocks of 37 frames go mostly four frames at a time; blocks of 3 frame by frame.
  for (std::size_t block : {std::size_t(37), std::size_t(3)}) {
    SCOPED_TRACE(testing::Message() << "blocks of " << block);
    auto limiter = makeLimiter(48000.0);
    const Stereo out = run(*limiter, in, block);
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
      ASSERT_LE(std::fabs(out.left[i]), 1.0f) << i;
    }
    // The bad samples come out as silence; their neighbours pass untouched (no reduction).
    for (std::size_t i : bad) {
      SCOPED_TRACE(i);
      const bool left = i == 100 || i == 300 || i == 1200;
      EXPECT_EQ(left ? out.left[i + 64] : out.right[i + 64], 0.0f);
      EXPECT_EQ(left ? out.right[i + 64] : out.left[i + 64], left ? -0.5f : 0.5f);
      EXPECT_EQ(out.left[i + 65], 0.5f);
    }
  }
}

TEST(PeakLimiterDSP, ResultsDoNotDependOnBufferSplittingOrInPlaceRendering) {
  // Frames are processed four at a time in long buffers and one by one in short ones; both
  // must give the same bits, as must rendering in place and the mono form.
  for (double rate : kRates) {
    SCOPED_TRACE(rate);
    Stereo in = noise(std::size_t(rate / 2), 1.5f, 5);
    for (std::size_t i = 0; i < in.size(); i += 777)
      in.left[i] = 50.0f;
    auto reference = makeLimiter(rate, 0.005f, 0.01f, 3.0f);
    const Stereo expected = run(*reference, in, 512);

    for (std::size_t block : {std::size_t(1), std::size_t(3), std::size_t(64), std::size_t(4096)}) {
      SCOPED_TRACE(block);
      auto limiter = makeLimiter(rate, 0.005f, 0.01f, 3.0f);
      const Stereo out = run(*limiter, in, block);
      ASSERT_EQ(out.left, expected.left);
      ASSERT_EQ(out.right, expected.right);
    }

    SCOPED_TRACE("in place, irregular buffers");
    auto limiter = makeLimiter(rate, 0.005f, 0.01f, 3.0f);
    Stereo buffer = in;
    std::mt19937 rng(6);
    for (std::size_t at = 0; at < buffer.size();) {
      const auto frames = std::uint32_t(std::min<std::size_t>(rng() % 300, buffer.size() - at));
      limiter->process(&buffer.left[at], &buffer.right[at], &buffer.left[at], &buffer.right[at], frames);
      at += frames;
    }
    ASSERT_EQ(buffer.left, expected.left);
    ASSERT_EQ(buffer.right, expected.right);

    SCOPED_TRACE("mono: one buffer for both channels");
    auto stereo = makeLimiter(rate), mono = makeLimiter(rate);
    Stereo twin = in;
    twin.right = twin.left;
    const Stereo twinOut = run(*stereo, twin);
    std::vector<float> channel = in.left;
    for (std::size_t at = 0; at < channel.size(); at += 256) {
      const auto frames = std::uint32_t(std::min<std::size_t>(256, channel.size() - at));
      mono->process(&channel[at], &channel[at], &channel[at], &channel[at], frames);
    }
    ASSERT_EQ(channel, twinOut.left);
  }
}

TEST(PeakLimiterDSP, ResetStartsFromSilence) {
  auto limiter = makeLimiter(48000.0);
  const Stereo loud = square(1000, 5.0f, 10);
  run(*limiter, loud);
  limiter->reset();
  const Stereo out = run(*limiter, constant(300, 0.25f, 0.25f));
  for (std::size_t i = 0; i < 64; ++i)
    ASSERT_EQ(out.left[i], 0.0f) << i;
  for (std::size_t i = 64; i < out.size(); ++i)
    ASSERT_EQ(out.left[i], 0.25f) << i;
}
