// Gain computers: derived values, detector, gain law, meter, and the eight stereo operations
// against the straightforward per-sample code (bit for bit).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "Compressor1.h"
#include "Compressor2.h"
#include "dsp_reference.h"

namespace {
using dsp_reference::music;

void settle(Compressor1& c, float threshold, float ratio, float attack, float release, float gain, float mix,
            float invert) {
  c.setThreshold(threshold);
  c.setRatio(ratio);
  c.setAttack(attack);
  c.setRelease(release);
  c.setGain(gain);
  c.fMix = mix;
  c.fInvert = invert;
}

void configure(Compressor2& c, float mix, float invert) {
  for (Compressor1& one : c.c)
    settle(one, 0.7f, 0.8f, 0.05f, 0.3f, 0.6f, mix, invert);
}

// A stereo compressor with both halves set by configure(mix 1, no audition).
struct Configured : Compressor2 {
  Configured() { configure(*this, 1.0f, 0.0f); }
};

const char* const kModeNames[] = {"dual", "linked", "mid-side", "mid-side linked"};

// The buffer form of mode 0-3 (dual, linked, mid-side, mid-side linked), keyed or not.
void fastOp(Compressor2& c, int mode, bool keyed, float* l, float* r, const float* a, const float* b, int n) {
  using Plain = void (Compressor2::*)(float*, float*, int);
  using Keyed = void (Compressor2::*)(float*, float*, const float*, const float*, int);
  static constexpr std::array<Plain, 4> plain = {
      &Compressor2::processBuffers, &Compressor2::processBuffersLinked, &Compressor2::processBuffersMidSide,
      &Compressor2::processBuffersMidSideLinked};
  static constexpr std::array<Keyed, 4> keyedByMode = {
      &Compressor2::processBuffersSidechain, &Compressor2::processBuffersSidechainLinked,
      &Compressor2::processBuffersSidechainMidSide, &Compressor2::processBuffersSidechainMidSideLinked};
  if (keyed)
    (c.*keyedByMode[std::size_t(mode)])(l, r, a, b, n);
  else
    (c.*plain[std::size_t(mode)])(l, r, n);
}

// Same output bits and detector state (NaN payloads may differ; any NaN level acts alike).
void expectSame(const Compressor2& fast, const Compressor2& reference, const std::vector<float>& fl,
                const std::vector<float>& rl, const std::vector<float>& fr, const std::vector<float>& rr) {
  ASSERT_EQ(0, std::memcmp(fl.data(), rl.data(), fl.size() * sizeof(float)));
  ASSERT_EQ(0, std::memcmp(fr.data(), rr.data(), fr.size() * sizeof(float)));
  for (int c = 0; c < 2; ++c) {
    const float f = fast.c[c].level, r = reference.c[c].level;
    EXPECT_TRUE(f == r || (std::isnan(f) && std::isnan(r))) << "detector " << c << ": " << f << " " << r;
  }
}
}  // namespace

// Every derived value at its defaults and at the edges of each setting, case by case.
TEST(DspCompressor, DerivedValues) {
  Compressor1 c;
  EXPECT_NEAR(c._Threshold.load(), 0.0316f, 1e-4);
  EXPECT_NEAR(c._Ratio.load(), 0.148f, 1e-3);
  EXPECT_NEAR(c._Attack.load(), 0.0394f, 1e-4);
  EXPECT_NEAR(c._Release.load(), 0.00038f, 1e-5);
  EXPECT_NEAR(c._MakeUp.load(), 1.230f, 1e-3);
  EXPECT_EQ(c.getCompression(), 1.0f);

  struct Case {
    const char* what;
    std::function<void()> set;
    const std::atomic<float>& value;
    float expected, tolerance;
  };
  const Case cases[] = {
      {"threshold 0", [&] { c.setThreshold(0.0f); }, c._Threshold, 0.001f, 1e-7f},
      {"threshold 1", [&] { c.setThreshold(1.0f); }, c._Threshold, 1.0f, 0.0f},
      {"ratio 0", [&] { c.setRatio(0.0f); }, c._Ratio, 1.0f, 0.0f},
      {"ratio 1", [&] { c.setRatio(1.0f); }, c._Ratio, 0.0f, 1e-7f},
      {"ratio 5 stops at 1", [&] { c.setRatio(5.0f); }, c._Ratio, 0.0f, 1e-7f},
      {"ratio -0.005 expands", [&] { c.setRatio(-0.005f); }, c._Ratio,
       1.0f + std::log(2.0f) / std::log(101.0f), 1e-6f},
      {"ratio -3 stops at the largest finite factor", [&] { c.setRatio(-3.0f); }, c._Ratio,
       1.0f + 24.0f * std::log(2.0f) / std::log(101.0f), 1e-5f},
      {"ratio -inf acts as 0", [&] { c.setRatio(-INFINITY); }, c._Ratio, 1.0f, 0.0f},
      {"attack 0", [&] { c.setAttack(0.0f); }, c._Attack, 0.0471f, 1e-4f},
      {"attack 1", [&] { c.setAttack(1.0f); }, c._Attack, 0.0000957f, 1e-7f},
      {"attack 2", [&] { c.setAttack(2.0f); }, c._Attack, std::pow(10.0f, 1.0f / 96050.0f) - 1.0f, 1e-9f},
      {"attack 1e30 holds the detector", [&] { c.setAttack(1e30f); }, c._Attack, 0.0f, 0.0f},
      {"attack inf acts as 1", [&] { c.setAttack(INFINITY); }, c._Attack, 0.0000957f, 1e-7f},
      {"release 1", [&] { c.setRelease(1.0f); }, c._Release, 0.0000957f, 1e-7f},
      {"release -0.5 acts as 0.5", [&] { c.setRelease(-0.5f); }, c._Release,
       std::pow(10.0f, 1.0f / 6050.0f) - 1.0f, 1e-8f},
      {"threshold -0.2: -72 dB", [&] { c.setThreshold(-0.2f); }, c._Threshold, 2.5119e-4f, 1e-8f},
      {"threshold 100 stops at 10^38", [&] { c.setThreshold(100.0f); }, c._Threshold, 1e38f, 1e32f},
      {"threshold -inf acts as 0", [&] { c.setThreshold(-INFINITY); }, c._Threshold, 0.001f, 1e-7f},
      {"gain 0", [&] { c.setGain(0.0f); }, c._MakeUp, 0.0316f, 1e-4f},
      {"gain 0.5", [&] { c.setGain(0.5f); }, c._MakeUp, 1.0f, 0.0f},
      {"gain 1.2: +42 dB", [&] { c.setGain(1.2f); }, c._MakeUp, 125.89f, 1e-2f},
      {"gain 1e9 stops at 10^6 (+120 dB)", [&] { c.setGain(1e9f); }, c._MakeUp, 1e6f, 1.0f},
      {"gain 1", [&] { c.setGain(1.0f); }, c._MakeUp, 31.62f, 1e-2f},
      {"NaN gain keeps the value", [&] { c.setGain(std::nanf("")); }, c._MakeUp, 31.62f, 1e-2f},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    k.set();
    EXPECT_NEAR(k.value.load(), k.expected, k.tolerance);
  }
  EXPECT_TRUE(std::isnan(c.fMakeUp.load()));  // the setting keeps what was given
  EXPECT_EQ(c.fRatio.load(), -INFINITY);

  SCOPED_TRACE("mix: as given within +-10^6, NaN as 0, infinities as the ends of 0..1");
  for (const auto& [given, taken] : std::vector<std::pair<float, float>>{{2.0f, 2.0f},
                                                                         {-1.0f, -1.0f},
                                                                         {-3.4e38f, -1e6f},
                                                                         {1e30f, 1e6f},
                                                                         {-INFINITY, 0.0f},
                                                                         {INFINITY, 1.0f},
                                                                         {std::nanf(""), 0.0f}}) {
    c.fMix.store(given);
    EXPECT_EQ(c.snapshot().mix, taken) << given;
    EXPECT_EQ(c.snapshot().dryShare, 1.0 - static_cast<double>(taken)) << given;
  }

  SCOPED_TRACE("time coefficients stay within 0..1 even at a rate no kernel lets through");
  Compressor1 odd;
  odd.setSamplerate(-1e-3f);
  odd.setAttack(1.0f);  // 10^(1 / (50 - 0.0005)) - 1: just as at rate 0
  EXPECT_NEAR(odd._Attack.load(), 0.0471f, 1e-4f);
  odd.setSamplerate(-100.0f);
  odd.setAttack(1.0f);  // 10^(1 / 0) - 1 would be infinite
  EXPECT_EQ(odd._Attack.load(), 1.0f);
  odd.setSamplerate(-1000.0f);
  odd.setRelease(1.0f);  // 10^(1 / -450) - 1 < 0
  EXPECT_EQ(odd._Release.load(), 0.0f);

  SCOPED_TRACE("setSamplerate waits for the next update");
  Compressor1 d;
  const float attack = d._Attack.load();
  d.setSamplerate(96000.0f);
  EXPECT_EQ(d._Attack.load(), attack);
  d.reset();
  EXPECT_LT(d._Attack.load(), attack);
}

// The detector steps and the gain law sample by sample.
TEST(DspCompressor, DetectorAndGainLaw) {
  Compressor1 c;
  settle(c, 0.5f, 1.0f, 0.02f, 0.5f, 0.5f, 1.0f, 0.0f);  // ratio 1: _Ratio 0, unity make-up
  const float thr = c._Threshold.load();

  SCOPED_TRACE("attack step: level moves by _Attack of the distance");
  float s = 0.5f;
  c.processSample(&s, nullptr);
  EXPECT_FLOAT_EQ(c.level, c._Attack.load() * 0.5f);

  SCOPED_TRACE("input equal to the envelope uses the release coefficient (no change)");
  const float lv = c.level;
  float same = lv;
  c.processSample(&same, nullptr);
  EXPECT_EQ(c.level, lv);

  SCOPED_TRACE("envelope exactly at the threshold gives gain 1");
  c.level = thr;
  float at = thr;
  c.processSample(&at, nullptr);
  EXPECT_EQ(c.gain.load(), 1.0f);
  EXPECT_EQ(at, thr);

  SCOPED_TRACE("above: gain = sqrt(thr / level) for ratio 1 (infinite)");
  c.level = 0.5f;
  float above = 0.5f;
  c.processSample(&above, nullptr);
  EXPECT_FLOAT_EQ(c.gain.load(), std::sqrt(thr / 0.5f));
  EXPECT_FLOAT_EQ(above, 0.5f * c.gain.load());

  SCOPED_TRACE("gain reduction grows with level");
  float previous = 1.0f;
  for (float level : {0.05f, 0.1f, 0.3f, 0.9f}) {
    c.level = level;
    float x = level;
    c.processSample(&x, nullptr);
    EXPECT_LT(c.gain.load(), previous);
    previous = c.gain.load();
  }

  SCOPED_TRACE("release: a falling input decays the level by _Release of the distance");
  c.level = 0.5f;
  float quiet = 0.0f;
  c.processSample(&quiet, nullptr);
  EXPECT_FLOAT_EQ(c.level, 0.5f - c._Release.load() * 0.5f);

  SCOPED_TRACE("step response: 1 - (1 - _Attack)^n rising, decay by (1 - _Release)^n falling");
  Compressor1 step;
  settle(step, 1.0f, 0.0f, 0.3f, 0.2f, 0.5f, 1.0f, 0.0f);
  const double attack = step._Attack.load(), release = step._Release.load();
  std::vector<float> ones(2000, 1.0f), zeros(3000, 0.0f);
  step.processBuffer(ones.data(), 2000);
  EXPECT_NEAR(step.level, 1.0 - std::pow(1.0 - attack, 2000.0), 1e-4);
  const double top = step.level;
  step.processBuffer(zeros.data(), 3000);
  EXPECT_NEAR(step.level, top * std::pow(1.0 - release, 3000.0), 1e-4);

  SCOPED_TRACE("linked detector hears half the magnitude of the sum");
  Compressor1 l;
  float a = 0.6f;
  const float b = -0.2f;
  l.processSampleLinked(&a, &b, nullptr, nullptr);
  EXPECT_FLOAT_EQ(l.level, l._Attack.load() * 0.2f);
}

TEST(DspCompressor, MixAuditionAndMeter) {
  Compressor1 c;
  SCOPED_TRACE("ratio 0 leaves the signal alone apart from make-up and mix");
  settle(c, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 1.0f, 0.0f);
  std::vector<float> in = music(2000, 1), out = in;
  c.processBuffer(out.data(), 2000);
  EXPECT_EQ(out, in);

  SCOPED_TRACE("audition with ratio 0 outputs silence at mix 1");
  c.fInvert = 1.0f;
  out = in;
  c.processBuffer(out.data(), 2000);
  EXPECT_EQ(out, std::vector<float>(2000, 0.0f));

  SCOPED_TRACE("mix 0 outputs the dry input (NaN and -inf mix count as 0)");
  settle(c, 0.2f, 1.0f, 0.0f, 0.5f, 0.9f, 0.0f, 0.0f);
  for (float mix : {0.0f, std::nanf(""), -INFINITY}) {
    c.fMix = mix;
    out = in;
    c.processBuffer(out.data(), 2000);
    for (int i = 0; i < 2000; ++i)
      ASSERT_EQ(out[i], in[i]);
  }
  EXPECT_LT(c.getCompression(), 1.0f);

  SCOPED_TRACE("meter: 1 + max(20 ln g, -60) / 60");
  for (float g : {1.0f, 0.5f, 0.1f, 0.01f, 0.0f, -1.0f}) {
    SCOPED_TRACE(g);
    c.gain = g;
    const double d = g > 0.0f ? std::max(-60.0, static_cast<double>(20.0f * std::log(g))) : 0.0;
    EXPECT_NEAR(c.getCompression(), g > 0.0f ? 1.0 + d / 60.0 : 1.0, 1e-6);
  }
}

// The eight stereo operations against per-sample reference code, over calls of odd lengths.
TEST(DspCompressor, StereoOperationsMatchPerSampleCode) {
  std::vector<float> left = music(4096, 11), right = music(4096, 12);
  std::vector<float> keyA = music(4096, 13), keyB = music(4096, 14);
  for (int hostile = 0; hostile < 2; ++hostile) {
    if (hostile) {
      // Infinite and NaN samples late in the buffers: from there on the levels are not finite.
      left[3000] = INFINITY, right[3100] = -INFINITY, left[3500] = std::nanf(""), keyA[3200] = INFINITY;
      keyB[3300] = std::nanf("");
    }
    for (int op = 0; op < 8; ++op) {
      const int mode = op % 4;
      const bool keyed = op >= 4;
      for (float invert : {0.0f, 1.0f}) {
        for (float mix : {1.0f, 0.7f}) {
          SCOPED_TRACE(testing::Message()
                       << (keyed ? "side-chain " : "") << kModeNames[mode] << ", audition " << invert
                       << ", mix " << mix << (hostile ? ", with inf and NaN" : ""));
          Compressor2 fast, reference;
          configure(fast, mix, invert);
          configure(reference, mix, invert);
          std::vector<float> fl = left, fr = right, rl = left, rr = right;
          int done = 0;
          for (int n : {1, 3, 250, 257, 1000, 2585}) {
            fastOp(fast, mode, keyed, fl.data() + done, fr.data() + done, keyA.data() + done,
                   keyB.data() + done, n);
            dsp_reference::compress(reference, mode, keyed, rl.data() + done, rr.data() + done,
                                    keyA.data() + done, keyB.data() + done, n);
            done += n;
          }
          expectSame(fast, reference, fl, rl, fr, rr);
        }
      }
    }
  }
}

TEST(DspCompressor, MidSideModesKeepAMonoSignalMono) {
  for (int linked = 0; linked < 2; ++linked) {
    SCOPED_TRACE(linked);
    Configured c;
    const std::vector<float> original = music(3000, 5);
    std::vector<float> l = original, r = l;
    if (linked)
      c.processBuffersMidSideLinked(l.data(), r.data(), 3000);
    else
      c.processBuffersMidSide(l.data(), r.data(), 3000);
    EXPECT_EQ(l, r);
    EXPECT_NE(l, original);
  }
}

// Cases the fast stereo forms must also get right: keys that are the left channel itself (B
// must hear it as A left it), and a coefficient of 0 (absurd sample rates) meeting an infinite
// input, where the detector's pick of attack or release decides between inf and NaN.
TEST(DspCompressor, UnusualCallsMatchPerSampleCode) {
  const std::vector<float> left = music(1500, 21), right = music(1500, 22), key = music(1500, 23);
  for (int linked = 0; linked < 2; ++linked) {
    for (int aliased = 0; aliased < 2; ++aliased) {
      SCOPED_TRACE(testing::Message() << (linked ? "side-chain linked" : "side-chain dual") << ", key "
                                      << (aliased ? "B" : "A") << " is the left channel");
      Configured fast, reference;
      std::vector<float> fl = left, fr = right, rl = left, rr = right;
      const float* fa = aliased ? key.data() : fl.data();
      const float* fb = aliased ? fl.data() : key.data();
      fastOp(fast, linked, true, fl.data(), fr.data(), fa, fb, 1500);
      const float* ra = aliased ? key.data() : rl.data();
      const float* rb = aliased ? rl.data() : key.data();
      dsp_reference::compress(reference, linked, true, rl.data(), rr.data(), ra, rb, 1500);
      expectSame(fast, reference, fl, rl, fr, rr);
    }
  }
  for (int zero = 0; zero < 2; ++zero) {
    SCOPED_TRACE(zero ? "attack coefficient 0, infinite input" : "release coefficient 0, infinite input");
    Compressor2 fast, reference;
    for (Compressor2* c : {&fast, &reference}) {
      configure(*c, 0.7f, 0.0f);  // with a dry share, an infinite sample shows its gain (inf or NaN)
      c->setSamplerate(1.0e8f);
      for (Compressor1& one : c->c) {
        one.setAttack(zero ? 1.0f : 0.05f);
        one.setRelease(zero ? 0.05f : 1.0f);
      }
    }
    ASSERT_EQ(zero ? fast.c[0]._Attack.load() : fast.c[0]._Release.load(), 0.0f);
    ASSERT_GT(zero ? fast.c[0]._Release.load() : fast.c[0]._Attack.load(), 0.0f);
    for (int mode = 0; mode < 4; ++mode) {
      SCOPED_TRACE(kModeNames[mode]);
      std::vector<float> fl = left, fr = right;
      fl[700] = INFINITY, fr[900] = -INFINITY;
      std::vector<float> rl = fl, rr = fr;
      fastOp(fast, mode, false, fl.data(), fr.data(), nullptr, nullptr, 1500);
      dsp_reference::compress(reference, mode, false, rl.data(), rr.data(), nullptr, nullptr, 1500);
      expectSame(fast, reference, fl, rl, fr, rr);
      fast.reset();
      reference.reset();
    }
  }
}

TEST(DspCompressor, ModeProperties) {
  SCOPED_TRACE("linked: a loud left and a silent right; B hears half the compressed left");
  {
    Configured c;
    std::vector<float> l(2000, 0.8f), r(2000, 0.0f);
    Compressor1 probe;
    settle(probe, 0.7f, 0.8f, 0.05f, 0.3f, 0.6f, 1.0f, 0.0f);
    c.processBuffersLinked(l.data(), r.data(), 2000);
    // B's detector input is 0.5 |0 + left'|: run it by hand.
    for (float v : l) {
      float x = 0.0f;
      const float other = v;
      probe.processSampleLinked(&x, &other, nullptr, nullptr);
    }
    EXPECT_EQ(c.c[1].level, probe.level);
    EXPECT_NE(c.c[1].level, c.c[0].level);
  }
  SCOPED_TRACE("side-chain linked: both detectors get the same input");
  {
    Configured c;
    const std::vector<float> a = music(3000, 1), b = music(3000, 2);
    std::vector<float> l = music(3000, 3), r = music(3000, 4);
    c.processBuffersSidechainLinked(l.data(), r.data(), a.data(), b.data(), 3000);
    EXPECT_EQ(c.c[0].level, c.c[1].level);
    EXPECT_EQ(c.c[0].gain.load(), c.c[1].gain.load());
  }
  SCOPED_TRACE("mid-side linked: side gets the mid's gain reduction");
  {
    Configured c;
    std::vector<float> l = music(3000, 6), r(3000);
    for (int i = 0; i < 3000; ++i)
      r[i] = 0.5f * l[i];
    c.processBuffersMidSideLinked(l.data(), r.data(), 3000);
    EXPECT_EQ(c.c[0].gain.load(), c.c[1].gain.load());
  }
  SCOPED_TRACE("mid-side forms stop at the splitter's 4096 frames");
  {
    Configured c;
    std::vector<float> l(5000, 0.9f), r(5000, 0.1f);
    c.processBuffersMidSide(l.data(), r.data(), 5000);
    EXPECT_NE(l[4095], 0.9f);
    EXPECT_EQ(l[4096], 0.9f);
  }
}

// One buffer for both channels (plain dual and linked, side-chain dual): B hears what A wrote, as
// in A's whole pass followed by B's; counts of 0 and below change nothing in any mode.
TEST(DspCompressor, OneBufferForBothChannelsAndEmptyCalls) {
  const std::vector<float> signal = music(1500, 31), key = music(1500, 32);
  for (int op = 0; op < 3; ++op) {
    const bool keyed = op == 2;
    const int mode = op == 1 ? 1 : 0;
    SCOPED_TRACE(keyed ? "side-chain dual" : kModeNames[mode]);
    Configured fast, reference;
    std::vector<float> f = signal, r = signal;
    fastOp(fast, mode, keyed, f.data(), f.data(), key.data(), key.data(), 1500);
    dsp_reference::compress(reference, mode, keyed, r.data(), r.data(), key.data(), key.data(), 1500);
    expectSame(fast, reference, f, r, f, r);
    EXPECT_NE(f, signal);
  }
  for (int mode = 0; mode < 4; ++mode) {
    for (bool keyed : {false, true}) {
      SCOPED_TRACE(testing::Message() << (keyed ? "side-chain " : "") << kModeNames[mode]);
      Configured c;
      std::vector<float> l = signal, r = key;
      for (int count : {0, -5})
        fastOp(c, mode, keyed, l.data(), r.data(), key.data(), signal.data(), count);
      EXPECT_EQ(l, signal);
      EXPECT_EQ(r, key);
      EXPECT_EQ(c.c[0].level, 0.0f);
      EXPECT_EQ(c.c[1].level, 0.0f);
    }
  }
}
