// The render loop's event splitting and the compressor kernel: parameters, paths, modes,
// bypass, meters, MIDI and unusual buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ChildStdout.h"
#include "DSPKernel.h"
#include "KOV_Compressor_Extension_DSPKernel.h"
#include "dsp_reference.h"

namespace {

using Kernel = KOV_Compressor_Extension_DSPKernel;
using dsp_reference::Events;

// Records what the render loop asks of a kernel.
struct RecordingKernel : DSPKernel {
  std::vector<std::string> calls;
  void process(AUAudioFrameCount frames, AUAudioFrameCount offset) override {
    calls.push_back("process " + std::to_string(frames) + " at " + std::to_string(offset));
  }
  void setParameterAutomated(AUParameterAddress address, AUValue value, AUEventSampleTime) override {
    calls.push_back("param " + std::to_string(address) + "=" + std::to_string(static_cast<int>(value)));
  }
  void handleMIDIEvent(const AUMIDIEvent& e) override {
    calls.push_back("midi " + std::to_string(e.data[0]));
  }
};

std::vector<std::string> render(double sampleTime, AUAudioFrameCount frames, const Events& events) {
  RecordingKernel k;
  AudioTimeStamp ts;
  ts.mSampleTime = sampleTime;
  k.processWithEvents(&ts, frames, events.head(), nullptr);
  return k.calls;
}

using dsp_reference::music;

// Stereo input and output buffers of n frames wired into a kernel.
struct Stereo {
  std::vector<float> inL, inR, outL, outR;
  StackAudioBufferList<2> in, out;
  explicit Stereo(int n, unsigned seed = 1)
      : inL(music(n, seed)), inR(music(n, seed + 1)), outL(n, 0.0f), outR(n, 0.0f) {
    in.mBuffers[0] = {1, static_cast<UInt32>(n * 4), inL.data()};
    in.mBuffers[1] = {1, static_cast<UInt32>(n * 4), inR.data()};
    out.mBuffers[0] = {1, static_cast<UInt32>(n * 4), outL.data()};
    out.mBuffers[1] = {1, static_cast<UInt32>(n * 4), outR.data()};
  }
  void wire(Kernel& k) { k.setBuffers(in.list(), out.list()); }
  bool outputIsInput() const { return outL == inL && outR == inR; }
};

void quietly(Kernel& k, AUParameterAddress a, float v) {
  testing::internal::CaptureStdout();
  k.setParameter(a, v);
  testing::internal::GetCapturedStdout();
}

// A kernel with strong compression and the plain path.
void strong(Kernel& k, float mode) {
  quietly(k, 2, 0.6f);
  quietly(k, 3, 0.9f);
  quietly(k, 0, 0.01f);
  quietly(k, 6, mode);
  quietly(k, 9, 0.0f);
  quietly(k, 10, 1.0f);
  quietly(k, 5, 1.0f);
}

// A strong kernel (side chain on for hp > 0) wired to n frames of the test signal.
struct Rig {
  Kernel k;
  Stereo s;
  Rig(int n, float mode, float hp = 0.0f) : s(n) {
    strong(k, mode);
    quietly(k, 9, hp);
    s.wire(k);
  }
};

}  // namespace

TEST(DspRenderLoop, EventSplitting) {
  using V = std::vector<std::string>;
  const AURenderEventType ramp = AURenderEventParameterRamp, midi = AURenderEventMIDI;
  struct Case {
    const char* what;
    double sampleTime;
    AUAudioFrameCount frames;
    Events events;
    V calls;
  };
  const Case cases[] = {
      {"no events: one call with all frames", 1000, 512, {}, {"process 512 at 0"}},
      {"frame count 0: nothing at all", 1000, 0, {{1000, 1, 1}}, {}},
      {"an event before the buffer applies first, without an empty stretch",
       1000,
       64,
       {{900, 1, 5}},
       {"param 1=5", "process 64 at 0"}},
      {"two events at one time in the middle: two stretches, both applied between",
       1000,
       512,
       {{1100, 1, 2}, {1100, 2, 3}},
       {"process 100 at 0", "param 1=2", "param 2=3", "process 412 at 100"}},
      {"ramp is an immediate change; MIDI and SysEx reach the handler; event lists are ignored",
       1000,
       40,
       {{1010, 4, 7, ramp},
        {1020, 0x90, 0, midi},
        {1020, 0xF0, 0, AURenderEventMIDISysEx},
        {1030, 0x80, 0, AURenderEventMIDIEventList}},
       {"process 10 at 0", "param 4=7", "process 10 at 10", "midi 144", "midi 240", "process 10 at 20",
        "process 10 at 30"}},
      {"events at and after the end apply after the last frame",
       1000,
       64,
       {{1010, 1, 1}, {1064, 2, 2}, {5000, 3, 3}},
       {"process 10 at 0", "param 1=1", "process 54 at 10", "param 2=2", "param 3=3"}},
      {"hostile time stamps: NaN",
       std::nan(""),
       8,
       {{INT64_MAX, 1, 1}, {INT64_MIN, 2, 2}},
       {"process 8 at 0", "param 1=1", "param 2=2"}},
      {"hostile time stamps: -1e300",
       -1e300,
       4,
       {{INT64_MIN, 1, 1}, {3, 2, 2}},
       {"param 1=1", "process 4 at 0", "param 2=2"}},
      {"hostile time stamps: 1e300", 1e300, 4, {}, {"process 4 at 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(render(c.sampleTime, c.frames, c.events), c.calls);
  }
}

TEST(DspKernel, ParameterStorageAndPrint) {
  Kernel k;
  testing::internal::CaptureStdout();
  k.setParameter(3, 0.5f);
  k.setParameter(11, 1.0f);
  k.setParameter(14, -2.25f);
  k.setParameter(15, 9.0f);
  k.setParameter(~0ull, 9.0f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "unit received parameter : address:3, value:0.500000\n"
            "unit received parameter : address:11, value:1.000000\n"
            "unit received parameter : address:14, value:-2.250000\n");
  EXPECT_EQ(k.getParameter(3), 0.5f);
  EXPECT_EQ(k.getParameter(11), 1.0f);
  EXPECT_EQ(k.getParameter(15), 0.0f);

  SCOPED_TRACE("routing to A and B and to the band splitter");
  const struct {
    AUParameterAddress address;
    std::atomic<float> Compressor1::*setting;
    float value;
  } routes[] = {{0, &Compressor1::fAttack, 0.3f},    {1, &Compressor1::fRelease, 0.4f},
                {2, &Compressor1::fThreshold, 0.2f}, {3, &Compressor1::fRatio, 0.5f},
                {4, &Compressor1::fMakeUp, 0.7f},    {5, &Compressor1::fMix, 0.25f},
                {8, &Compressor1::fInvert, 1.0f}};
  for (const auto& r : routes)
    quietly(k, r.address, r.value);
  quietly(k, 9, 0.5f);
  quietly(k, 10, 0.8f);
  for (const auto& r : routes) {
    SCOPED_TRACE(r.address);
    for (const Compressor1& c : k.compressor.c)
      EXPECT_EQ((c.*r.setting).load(), r.value);
  }
  EXPECT_EQ(k.splitB.fCutoff1.load(), 0.5f);
  EXPECT_EQ(k.splitB.fCutoff2.load(), 0.8f);

  SCOPED_TRACE("reset: band edges 0 and 1, stored values kept");
  k.reset();
  EXPECT_EQ(k.splitB.fCutoff1.load(), 0.0f);
  EXPECT_EQ(k.splitB.fCutoff2.load(), 1.0f);
  EXPECT_EQ(k.getParameter(9), 0.5f);
  EXPECT_EQ(k.compressor.c[0].fAttack.load(), 0.3f);
}

// A redirected stdout (a pipe, a log file) holds the parameter line as soon as it is printed,
// not when later output pushes it out of the stdio buffer.
TEST(DspKernel, ParameterLineReachesAPipeAtOnce) {
  EXPECT_EQ(child_stdout::printedBeforeExit([] { Kernel().setParameter(2, 0.25f); }),
            "unit received parameter : address:2, value:0.250000\n");
}

TEST(DspKernel, PathSelection) {
  struct Case {
    float hp, lp;
    bool sidechain;
  };
  for (const Case& c : {Case{0.6f, 1.0f, true}, Case{0.0f, 1.0f, false}, Case{0.000001f, 1.0f, true},
                        Case{0.0f, 0.99f, true}}) {
    SCOPED_TRACE(testing::Message() << c.hp << " " << c.lp);
    Kernel k;
    quietly(k, 9, c.hp);
    quietly(k, 10, c.lp);
    Stereo s(256);
    s.wire(k);
    k.process(256, 0);
    EXPECT_EQ(k.splitB.bufferBP[0][10] != 0.0f, c.sidechain);
  }
  SCOPED_TRACE("after reset with 9 stored at 0.6 the band is 0..1 until 9 or 10 is set");
  Kernel k;
  quietly(k, 9, 0.6f);
  quietly(k, 10, 1.0f);
  k.reset();
  EXPECT_EQ(k.splitB.lpf[0].cf.load(), 0.0012f);
  EXPECT_EQ(k.splitB.hpf[0].cf.load(), 1.0f);
  quietly(k, 9, 0.6f);
  EXPECT_NEAR(k.splitB.lpf[0].cf.load(), 0.0375f, 1e-4);
}

TEST(DspKernel, ModesAndMeters) {
  auto run = [](float mode) {
    Rig r(2048, mode);
    r.k.process(2048, 0);
    return r.s.outL;
  };
  SCOPED_TRACE("mode 2.7 acts as 2, -0.5 as 0");
  EXPECT_EQ(run(2.7f), run(2.0f));
  EXPECT_EQ(run(-0.5f), run(0.0f));
  EXPECT_NE(run(0.0f), run(1.0f));
  EXPECT_NE(run(2.0f), run(3.0f));

  for (float mode : {4.0f, -1.0f, std::nanf(""), 1e9f, -1e9f, INFINITY}) {
    SCOPED_TRACE(mode);
    Rig r(2048, mode);
    r.k.process(2048, 0);
    EXPECT_TRUE(r.s.outputIsInput());
    EXPECT_EQ(r.k.getDynamicsValue1(), 1.0f);
    EXPECT_GT(r.k.getPeakValue1(), 0.0f);
  }
}

TEST(DspKernel, BypassesAndShortLists) {
  {
    SCOPED_TRACE("parameter 7: dry, peak meters move, gain-reduction meters stand still");
    Rig r(2048, 0.0f);
    r.k.process(1024, 0);
    const float reduction = r.k.getDynamicsValue1();
    EXPECT_LT(reduction, 1.0f);
    quietly(r.k, 7, 1.0f);
    r.k.process(1024, 1024);
    EXPECT_TRUE(std::equal(r.s.inL.begin() + 1024, r.s.inL.end(), r.s.outL.begin() + 1024));
    EXPECT_EQ(r.k.getDynamicsValue1(), reduction);
    EXPECT_GT(r.k.getPeakValue1(), 0.0f);
  }
  for (int variant = 0; variant < 2; ++variant) {
    SCOPED_TRACE(variant == 0 ? "bypassed: copy only, no meter" : "mono: copy only, no meter");
    Rig r(512, 0.0f);
    if (variant == 0)
      r.k.setBypassed(true);
    else
      r.k.init(1, 48000.0);
    r.s.wire(r.k);
    r.k.process(512, 0);
    EXPECT_EQ(r.s.outL, r.s.inL);
    EXPECT_EQ(r.s.outR, variant == 0 ? r.s.inR : std::vector<float>(512, 0.0f));
    EXPECT_EQ(r.k.getPeakValue1(), 0.0f);
    EXPECT_EQ(r.k.getDynamicsValue1(), 1.0f);
  }
  SCOPED_TRACE("a list of one buffer: that channel passes through, nothing past the list");
  Rig r(512, 0.0f);
  r.s.out.mNumberBuffers = 1;
  r.k.process(512, 0);
  EXPECT_EQ(r.s.outL, r.s.inL);
  EXPECT_EQ(r.s.outR, std::vector<float>(512, 0.0f));
  r.s.out.mNumberBuffers = 2;
  r.s.out.mBuffers[1].mData = nullptr;
  r.k.process(512, 0);
  EXPECT_EQ(r.s.outL, r.s.inL);
  r.k.setBuffers(nullptr, nullptr);
  r.k.process(512, 0);
}

TEST(DspKernel, LongStretchesAndHostileValues) {
  SCOPED_TRACE("more than 4096 frames: processed in parts, same as separate calls");
  for (float mode : {0.0f, 1.0f, 2.0f, 3.0f}) {
    for (float hp : {0.0f, 0.5f}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " hp " << hp);
      Rig whole(10000, mode, hp), parts(10000, mode, hp);
      whole.k.process(10000, 0);
      parts.k.process(4096, 0);
      parts.k.process(4096, 4096);
      parts.k.process(1808, 8192);
      EXPECT_EQ(whole.s.outL, parts.s.outL);
      EXPECT_EQ(whole.s.outR, parts.s.outR);
    }
  }
  SCOPED_TRACE("NaN and huge parameters never make NaN audio");
  const float hostile[] = {std::nanf(""), 1e30f, -1e30f, INFINITY, -INFINITY};
  for (AUParameterAddress address = 0; address <= 10; ++address) {
    for (float v : hostile) {
      SCOPED_TRACE(testing::Message() << "address " << address << " value " << v);
      Rig r(1024, 1.0f);
      quietly(r.k, address, v);
      r.k.process(1024, 0);
      for (int i = 0; i < 1024; ++i) {
        ASSERT_TRUE(std::isfinite(r.s.outL[i]) && std::isfinite(r.s.outR[i])) << i;
      }
      EXPECT_TRUE(std::isfinite(r.k.getDynamicsValue1()));
    }
  }
  Kernel k;
  k.setSamplerate(std::nanf(""));
  k.setSamplerate(-5.0f);
  k.init(2, 1e300);
  EXPECT_EQ(k.getSamplerate(), 48000.0f);
  k.init(2, 96000.0);
  EXPECT_EQ(k.getSamplerate(), 96000.0f);
  EXPECT_EQ(k.follower[0].attackTime, 960.0f);
}

TEST(DspKernel, MidiFilter) {
  Kernel k;
  std::vector<int> forwarded;
  AUMIDIOutputEventBlock out = [&](AUEventSampleTime, UInt8 cable, NSInteger length, const UInt8* bytes) {
    EXPECT_EQ(cable, 0);
    EXPECT_EQ(length, 3);
    forwarded.push_back(bytes[0]);
    return noErr;
  };
  Events e;
  for (UInt8 status : {0xF8, 0xFA, 0xFB, 0xFC, 0xFF, 0xFE, 0x90})
    e.add({0, status, 0, AURenderEventMIDI});
  AudioTimeStamp ts;
  Stereo s(16);
  s.wire(k);
  k.processWithEvents(&ts, 16, e.head(), &out);
  EXPECT_TRUE(forwarded.empty());  // MIDI forwarding is off
  EXPECT_EQ(k.midiOut, &out);
  k.midiThru = true;
  k.processWithEvents(&ts, 16, e.head(), &out);
  EXPECT_EQ(forwarded, (std::vector<int>{0xFE, 0x90}));
}

namespace {

// One stretch of the kernel composed filter by filter and sample by sample from the same classes:
// the band split (side chain only), the compression keyed by the band (or its mid and side) or
// by the signal, then the meters.
void referenceStretch(Kernel& ref, int mode, bool sidechain, float* L, float* R, int n) {
  if (!sidechain) {
    dsp_reference::compress(ref.compressor, mode, false, L, R, nullptr, nullptr, n);
  } else {
    ref.splitB.splitReference(L, R, n);
    const float* keyA = ref.splitB.getBPLeft();
    const float* keyB = ref.splitB.getBPRight();
    if (mode >= 2) {
      ref.splitS.split(keyA, keyB, n);
      keyA = ref.splitS.getMid();
      keyB = ref.splitS.getSide();
    }
    if (mode >= 0 && mode <= 3)
      dsp_reference::compress(ref.compressor, mode, true, L, R, keyA, keyB, n);
  }
  for (int i = 0; i < n; ++i) {
    ref.follower[0].processSample(L + i);
    ref.follower[1].processSample(R + i);
  }
}

}  // namespace

// The whole stretch (copy, band split, compression, meters) against the filter-by-filter,
// sample-by-sample composition of the same classes.
TEST(DspKernel, StretchMatchesPerSampleComposition) {
  for (float hp : {0.0f, 0.6f}) {
    for (int mode = 0; mode < 4; ++mode) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << (hp != 0.0f ? ", side-chain" : ", plain"));
      Rig rig(6000, static_cast<float>(mode), hp);
      Kernel& fast = rig.k;
      Kernel ref;
      strong(ref, static_cast<float>(mode));
      quietly(ref, 9, hp);
      for (Kernel* k : {&fast, &ref})
        quietly(*k, 1, 0.2f);
      std::vector<float> l = rig.s.inL, r = rig.s.inR;
      int done = 0;
      for (int n : {5, 512, 4096, 1387}) {
        fast.process(n, done);
        referenceStretch(ref, mode, hp != 0.0f, l.data() + done, r.data() + done, n);
        done += n;
      }
      ASSERT_EQ(0, std::memcmp(rig.s.outL.data(), l.data(), l.size() * sizeof(float)));
      ASSERT_EQ(0, std::memcmp(rig.s.outR.data(), r.data(), r.size() * sizeof(float)));
      EXPECT_EQ(fast.getDynamicsValue1(), ref.getDynamicsValue1());
      EXPECT_EQ(fast.getDynamicsValue2(), ref.getDynamicsValue2());
      EXPECT_EQ(fast.follower[0].currentPeak.load(), ref.follower[0].currentPeak.load());
      EXPECT_EQ(fast.follower[1].currentPeak.load(), ref.follower[1].currentPeak.load());
      EXPECT_EQ(fast.follower[1].decayTime, ref.follower[1].decayTime);
    }
  }
}

namespace {
// One channel of the dual mode written straight from the formulas, settings read every sample.
struct FormulaChannel {
  float attack = 0, release = 0, threshold = 0, ratio = 0, makeUp = 0, mix = 0;
  float level = 0.0f;

  float process(float dry) {
    const float sr = 48000.0f;
    const float thr = std::pow(10.0f, 3.0f * (threshold - 1.0f));
    const float factor = 1.0f - std::log(1.0f + 100.0f * ratio) / std::log(101.0f);
    auto coefficient = [&](float a) {
      const double q = 1.0 / (50.0 + static_cast<double>(0.5f * sr) * static_cast<double>(a * a));
      return std::pow(10.0f, static_cast<float>(q)) - 1.0f;
    };
    const float g = std::pow(10.0f, static_cast<float>(1.5 * static_cast<double>(2.0f * makeUp - 1.0f)));
    const float x = std::fabs(dry);
    level += (x > level ? coefficient(attack) : coefficient(release)) * (x - level);
    const float gain = level > thr ? std::sqrt((factor * (level - thr) + thr) / level) : 1.0f;
    const float wet = dry * gain * g;
    return static_cast<float>(static_cast<double>(wet * mix) +
                              (1.0 - static_cast<double>(mix)) * static_cast<double>(dry));
  }
  void set(AUParameterAddress address, float v) {
    float* const fields[] = {&attack, &release, &threshold, &ratio, &makeUp, &mix};
    *fields[address] = v;
  }
};
}  // namespace

TEST(DspKernel, SettingsOutsideTheRangeFollowTheFormulas) {
  const int n = 4000;
  Rig rig(n, 0.0f);
  FormulaChannel left, right;
  const float start[] = {0.01f, 0.3f, 0.6f, 0.9f, 0.5f, 1.0f};  // attack .. mix, addresses 0-5
  for (AUParameterAddress a = 0; a <= 5; ++a) {
    quietly(rig.k, a, start[a]);
    left.set(a, start[a]);
    right.set(a, start[a]);
  }
  // Make-up +42 dB, threshold -72 dB, a slower attack, release -0.5 (as 0.5), mix 1.5, -0.25.
  const Events events{{400, 2, -0.2f},  {900, 4, 1.2f},  {1500, 0, 2.0f},
                      {2200, 1, -0.5f}, {3000, 5, 1.5f}, {3500, 5, -0.25f}};
  AudioTimeStamp ts;
  ts.mSampleTime = 0.0;
  testing::internal::CaptureStdout();
  rig.k.processWithEvents(&ts, n, events.head(), nullptr);
  testing::internal::GetCapturedStdout();

  std::size_t next = 0;
  for (int i = 0; i < n; ++i) {
    for (; next < events.list.size() && events.list[next].parameter.eventSampleTime == i; ++next) {
      left.set(events.list[next].parameter.parameterAddress, events.list[next].parameter.value);
      right.set(events.list[next].parameter.parameterAddress, events.list[next].parameter.value);
    }
    ASSERT_EQ(rig.s.outL[i], left.process(rig.s.inL[i])) << "sample " << i;
    ASSERT_EQ(rig.s.outR[i], right.process(rig.s.inR[i])) << "sample " << i;
  }
  EXPECT_GT(std::fabs(rig.s.outL[1000]), 4.0f * std::fabs(rig.s.inL[1000]));  // the +42 dB is there
}

// The side chain in two steps (the whole band first, then the keyed compression) where the
// one-pass form does not apply: a detector coefficient that rounds to 0 (a time setting so long
// that 10^q - 1 is 0 in single precision), attack and release each in turn, and a mode value
// that selects no mode (the band is still split, nothing is compressed). Bit for bit the
// per-sample composition, as the one-pass form is in StretchMatchesPerSampleComposition.
TEST(DspKernel, TwoStepSideChainMatchesPerSampleComposition) {
  struct Case {
    const char* what;
    AUParameterAddress address;
    float value;
    std::vector<int> modes;
  };
  const Case cases[] = {
      {"attack coefficient 0", 0, 1.0e6f, {0, 1, 2, 3}},
      {"release coefficient 0", 1, 1.0e6f, {0, 1, 2, 3}},
      {"no mode", 1, 0.2f, {-1}},
  };
  for (const Case& c : cases) {
    for (int mode : c.modes) {
      SCOPED_TRACE(testing::Message() << c.what << ", mode " << mode);
      const float modeValue = mode < 0 ? 5.0f : static_cast<float>(mode);
      Rig rig(6000, modeValue, 0.6f);
      Kernel& fast = rig.k;
      Kernel ref;
      strong(ref, modeValue);
      quietly(ref, 9, 0.6f);
      for (Kernel* k : {&fast, &ref})
        quietly(*k, c.address, c.value);
      ASSERT_EQ(fast.compressor.c[0].snapshot().attack == 0.0f, c.address == 0 && mode >= 0);
      ASSERT_EQ(fast.compressor.c[1].snapshot().release == 0.0f, c.address == 1 && mode >= 0);
      std::vector<float> l = rig.s.inL, r = rig.s.inR;
      int done = 0;
      for (int n : {5, 512, 4096, 1387}) {
        fast.process(n, done);
        referenceStretch(ref, mode, true, l.data() + done, r.data() + done, n);
        done += n;
      }
      ASSERT_EQ(0, std::memcmp(rig.s.outL.data(), l.data(), l.size() * sizeof(float)));
      ASSERT_EQ(0, std::memcmp(rig.s.outR.data(), r.data(), r.size() * sizeof(float)));
      EXPECT_EQ(fast.splitB.bufferBP[0][100], ref.splitB.bufferBP[0][100]) << "the band was split";
      EXPECT_NE(fast.splitB.bufferBP[0][100], 0.0f);
      if (mode < 0) {
        EXPECT_EQ(rig.s.outL, rig.s.inL) << "nothing compressed";
      } else {
        EXPECT_NE(rig.s.outL, rig.s.inL);
      }
    }
  }
}
