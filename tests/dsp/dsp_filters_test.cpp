// State-variable filter, band splitter, mid-side splitter and peak follower.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "BandSplitFilter3.h"
#include "Follower.h"
#include "MidSideSplitter.h"
#include "SVFilter4Pole1.h"
#include "getAbsVal.h"

namespace {
std::vector<float> noise(int n, unsigned seed, float amplitude = 0.8f) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-amplitude, amplitude);
  std::vector<float> v(n);
  for (float& x : v)
    x = d(rng);
  return v;
}

// Gain of a filter at a normalised frequency (cycles per sample), from a long sine.
double gainAt(SVFilter4Pole1& f, bool highPass, double cyclesPerSample) {
  f.reset();
  f.setCutoff(f.fCutoff.load());
  double in = 0.0, out = 0.0;
  const int n = 20000;
  for (int i = 0; i < n; ++i) {
    float x = static_cast<float>(std::sin(2.0 * M_PI * cyclesPerSample * i));
    if (highPass)
      f.processSampleHP(&x);
    else
      f.processSampleLP(&x);
    if (i >= n / 2) {
      in += 0.5;
      out += static_cast<double>(x) * x;
    }
  }
  return std::sqrt(out / in);
}
}  // namespace

TEST(DspFilters, StateVariableCoefficients) {
  SVFilter4Pole1 f;
  SCOPED_TRACE("after construction: cutoff 0.5");
  EXPECT_EQ(f.fPoles, 3.0f);
  EXPECT_EQ(f.sectionCount(), 3);
  EXPECT_FLOAT_EQ(f.cf.load(), 0.015625f);
  EXPECT_FLOAT_EQ(f.booster.load(), 1.65f);
  EXPECT_FLOAT_EQ(f.cq.load(), 0.8f / (2.0f - 0.015625f));
  EXPECT_EQ(f.interpolator.currentValue, 0.5f);
  EXPECT_EQ(f.interpolator.time, 1024);

  for (float c : {0.0f, 0.1f}) {
    SCOPED_TRACE(c);
    f.setCutoff(c);
    EXPECT_FLOAT_EQ(f.cf.load(), 0.0012f);
  }
  f.setCutoff(1.0f);
  EXPECT_EQ(f.cf.load(), 1.0f);
  EXPECT_FLOAT_EQ(f.cq.load(), 0.8f);
  f.setCutoff(std::nanf(""));
  EXPECT_FLOAT_EQ(f.cf.load(), 0.0012f);
}

TEST(DspFilters, StateVariableResponse) {
  SVFilter4Pole1 f;
  f.setCutoff(0.6f);  // cf 0.0375
  // Each section halves its input (u = 0.5 x) and passes it in its pass band, so three
  // sections and booster give 1.65 / 8 there.
  SCOPED_TRACE("low-pass passes lows, stops highs; high-pass the reverse");
  EXPECT_GT(gainAt(f, false, 0.0005), 0.2);
  f.reset();
  f.setCutoff(0.6f);
  float dc = 0.0f;
  for (int i = 0; i < 20000; ++i) {
    dc = 1.0f;
    f.processSampleLP(&dc);
  }
  EXPECT_NEAR(dc, 1.65f / 8.0f, 1e-5f);
  EXPECT_LT(gainAt(f, false, 0.2), 0.001);
  EXPECT_LT(gainAt(f, true, 0.0005), 0.001);
  EXPECT_NEAR(gainAt(f, true, 0.2), 1.65 / 8.0, 0.01);

  SCOPED_TRACE("three-pointer form: out + rest = in, rest in place");
  f.reset();
  f.setCutoff(0.6f);
  SVFilter4Pole1 g;
  g.setCutoff(0.6f);
  const std::vector<float> in = noise(256, 1);
  for (float x : in) {
    float a = x, out = 0.0f;
    g.processSampleLP(&a);
    float rest = x;
    f.processSampleLP(&rest, &out, &rest);
    EXPECT_EQ(out, a);
    EXPECT_EQ(rest, x - out);
  }
}

TEST(DspFilters, BandSplitEdgesAndCounts) {
  BandSplitFilter3 b;
  EXPECT_FLOAT_EQ(b.fCutoff1.load(), 0.333f);
  EXPECT_FLOAT_EQ(b.fCutoff2.load(), 0.666f);
  b.setCutoff1(0.8f);
  EXPECT_FLOAT_EQ(b.fCutoff1.load(), 0.666f);
  b.setCutoff1(0.333f);
  b.setCutoff2(0.2f);
  EXPECT_FLOAT_EQ(b.fCutoff2.load(), 0.333f);
  for (float bad : {1.5f, -0.1f, std::nanf("")}) {
    SCOPED_TRACE(bad);
    b.setCutoff1(bad);
    b.setCutoff2(bad);
    EXPECT_FLOAT_EQ(b.fCutoff1.load(), 0.333f);
    EXPECT_FLOAT_EQ(b.fCutoff2.load(), 0.333f);
  }
  EXPECT_FLOAT_EQ(b.lpf[0].cf.load(), Modulator::getValueFrequencyScaled(0.333f));

  SCOPED_TRACE("a count of 5000 writes 4096 frames; 0 or less writes nothing");
  std::vector<float> left(5000, 0.5f), right(5000, -0.5f);
  b.reset();
  b.setCutoff2(0.9f);
  b.split(left.data(), right.data(), 0);
  b.split(left.data(), right.data(), -3);
  EXPECT_EQ(b.bufferHP[0][0], 0.0f);
  b.split(left.data(), right.data(), 5000);
  EXPECT_NE(b.bufferHP[0][4095], 0.0f);
  EXPECT_NE(b.bufferBP[1][4095], 0.0f);
}

TEST(DspFilters, BandSplitSumsBackAndMatchesReference) {
  const std::vector<float> left = noise(4096, 2), right = noise(4096, 3);
  for (float lower : {0.0f, 0.333f, 0.6f}) {
    for (float upper : {0.666f, 1.0f}) {
      SCOPED_TRACE(testing::Message() << "edges " << lower << " " << upper);
      BandSplitFilter3 fast, reference;
      fast.setCutoff1(lower), fast.setCutoff2(upper);
      reference.setCutoff1(lower), reference.setCutoff2(upper);
      // Several calls of odd lengths: the state carries over between calls.
      int done = 0;
      for (int n : {1, 2, 3, 17, 512, 1000, 2561}) {
        fast.split(left.data() + done, right.data() + done, n);
        reference.splitReference(left.data() + done, right.data() + done, n);
        for (int c = 0; c < 2; ++c) {
          for (auto band :
               {&BandSplitFilter3::bufferLP, &BandSplitFilter3::bufferBP, &BandSplitFilter3::bufferHP}) {
            ASSERT_EQ(0, std::memcmp((fast.*band)[c].data(), (reference.*band)[c].data(), n * sizeof(float)));
          }
          const float* in = (c == 0 ? left : right).data() + done;
          for (int i = 0; i < n; ++i) {
            const float sum = fast.bufferLP[c][i] + fast.bufferBP[c][i] + fast.bufferHP[c][i];
            ASSERT_NEAR(sum, in[i], 1e-6f) << "channel " << c << " frame " << i;
          }
        }
        done += n;
      }
      EXPECT_EQ(fast.hpf[0].b3, reference.hpf[0].b3);
      EXPECT_EQ(fast.lpf[1].r3, reference.lpf[1].r3);
    }
  }
}

TEST(DspFilters, MidSideSplitter) {
  MidSideSplitter ms;
  const std::vector<float> l = noise(5000, 4), r = noise(5000, 5);
  ms.split(l.data(), r.data(), 5000);
  EXPECT_EQ(ms.getMid()[0], (l[0] + r[0]) * 0.5f);
  EXPECT_EQ(ms.getSide()[4095], (l[4095] - r[4095]) * 0.5f);
  std::vector<float> l2(5000, 9.0f), r2(5000, 9.0f);
  ms.mix(l2.data(), r2.data(), 5000);
  for (int i = 0; i < 4096; ++i) {
    ASSERT_NEAR(l2[i], l[i], 1e-6f);
    ASSERT_NEAR(r2[i], r[i], 1e-6f);
  }
  EXPECT_EQ(l2[4096], 9.0f);  // only 4096 frames are written
  ms.mix(l2.data(), r2.data(), -1);
  ms.reset();
  EXPECT_EQ(ms.getMid()[10], 0.0f);
  EXPECT_EQ(getAbsVal(-2.0f), 2.0f);
  EXPECT_EQ(getAbsVal(3.0f), 3.0f);
}

TEST(DspFilters, FollowerRampsAndHold) {
  Follower f;
  EXPECT_EQ(f.attackTime, 480.0f);
  EXPECT_EQ(f.releaseTime, 24000.0f);
  EXPECT_EQ(f.decayTime, 4);

  SCOPED_TRACE("rises linearly to 1 in 480 samples");
  std::vector<float> ones(480, 1.0f);
  f.processBuffer(ones.data(), 240);
  EXPECT_NEAR(f.currentPeak.load(), 0.5, 1e-12);
  f.processBuffer(ones.data(), 240);
  EXPECT_NEAR(f.currentPeak.load(), 1.0, 1e-12);
  EXPECT_EQ(f.getPeakLimited(), 1.0f);

  SCOPED_TRACE("holds 4 samples after the input drops, then falls by 1/24000");
  const double top = f.currentPeak.load();
  const float zero = 0.0f;
  for (int i = 0; i < 4; ++i) {
    f.processSample(&zero);
    EXPECT_EQ(f.currentPeak.load(), top);
  }
  f.processSample(&zero);
  EXPECT_NEAR(top - f.currentPeak.load(), 1.0 / 24000.0, 1e-15);
  std::vector<float> zeros(30000, 0.0f);
  f.processBuffer(zeros.data(), 30000);
  EXPECT_EQ(f.currentPeak.load(), 0.0);

  SCOPED_TRACE("per-sample, buffer and stereo forms agree");
  Follower a, b, d, e, g;
  const std::vector<float> in = noise(3000, 6), other = noise(3000, 7, 0.3f);
  for (int i = 0; i < 3000; ++i) {
    a.processSample(&in[i]);
    d.processSample(&other[i]);
  }
  b.processBuffer(in.data(), 3000);
  EXPECT_EQ(a.currentPeak.load(), b.currentPeak.load());
  EXPECT_EQ(a.decayTime, b.decayTime);
  Follower::processStereo(e, g, in.data(), other.data(), 1000);
  Follower::processStereo(e, g, in.data() + 1000, other.data() + 1000, 2000);
  EXPECT_EQ(a.currentPeak.load(), e.currentPeak.load());
  EXPECT_EQ(d.currentPeak.load(), g.currentPeak.load());
  EXPECT_EQ(d.decayTime, g.decayTime);

  SCOPED_TRACE("setters");
  f.setRelease(5.0f);
  EXPECT_EQ(f.fRelease, 5.0f);
  f.setAttack(5.0f);
  EXPECT_EQ(f.fAttack, 0.01f);
  f.setAttack(0.0f);
  EXPECT_EQ(f.attackTime, 16.0f);
  f.setDecay(std::nanf(""));
  EXPECT_EQ(f.fDecay, 0.0001f);
  f.setDecay(0.001f);
  EXPECT_EQ(f.decayTime, 48);
  f.currentPeak.store(3.0);
  EXPECT_EQ(f.getPeakLimited(), 1.0f);
  f.reset();
  EXPECT_EQ(f.getPeakLimited(), 0.0f);
}
