// Modulator's shared lookup tables, the cutoff mapping the filters read from them and its
// settings; NoiseOscillator's settings.
#include <gtest/gtest.h>

#include <cmath>

#include "Modulator.h"
#include "NoiseOscillator.h"

TEST(DspModulator, TablesAreBuiltOnceWithTheirValues) {
  Modulator first;
  const std::uint64_t live = Modulator::instanceCount();
  {
    Modulator second;
    EXPECT_EQ(Modulator::instanceCount(), live + 1);
  }
  EXPECT_EQ(Modulator::instanceCount(), live);
  struct Case {
    const float* table;
    int index;
    float value, tolerance;
  };
  const Case cases[] = {
      {Modulator::freqTable, 69, 440.0f, 1e-3f},        {Modulator::freqFactors, 72, 2.0f, 1e-5f},
      {Modulator::waveSine, 1024, 1.0f, 1e-6f},         {Modulator::waveRampExponUp, 2048, 0.125f, 1e-6f},
      {Modulator::wave100, 2048, 440.0f, 1e-4f},        {Modulator::waveRampLogUp, 2048, 0.015625f, 1e-8f},
      {Modulator::constantTable(0), 1024, 1.0f, 1e-6f},  // triangle
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_NEAR(c.table[c.index], c.value, c.tolerance);
  }
  EXPECT_EQ(Modulator::constantTable(65), nullptr);
  EXPECT_EQ(Modulator::constantTable(2), Modulator::constantTable(2));  // built once
}

TEST(DspModulator, TableValues) {
  const Modulator tablesBuilt;
  EXPECT_GE(Modulator::instanceCount(), 1u);
  {
    SCOPED_TRACE("note frequencies");
    EXPECT_NEAR(Modulator::freqTable[0], 8.1758f, 1e-4);
    EXPECT_NEAR(Modulator::freqTable[60], 261.63f, 1e-2);
    EXPECT_NEAR(Modulator::freqTable[127], 12543.85f, 0.05);
    EXPECT_FLOAT_EQ(Modulator::freqFactors[60], 1.0f);
    EXPECT_EQ(Modulator::maxFrequency, 14080.0f);
  }
  {
    SCOPED_TRACE("waves");
    EXPECT_FLOAT_EQ(Modulator::waveSine[0], 0.5f);
    EXPECT_NEAR(Modulator::waveSine[3072], 0.0f, 1e-6);
    EXPECT_FLOAT_EQ(Modulator::waveSaw[0], 1.0f);
    EXPECT_FLOAT_EQ(Modulator::waveRampLinUp[2048], 0.5f);
    EXPECT_FLOAT_EQ(Modulator::waveRampLinDown[2048], 0.5f);
    EXPECT_FLOAT_EQ(Modulator::waveRampExponDown[4095 - 2048], 0.125f);
    EXPECT_NEAR(Modulator::waveSineSquar[1024], 1.0f, 1e-6);
    EXPECT_NEAR(Modulator::waveSineSquar[3072], 0.0f, 1e-6);
    EXPECT_NEAR(Modulator::waveSineQuad[1024], 1.0f, 1e-6);
    EXPECT_FLOAT_EQ(Modulator::wave100[0], 13.75f);
    EXPECT_FLOAT_EQ(Modulator::waveRampLogUp[0], 0.0f);
    EXPECT_EQ(Modulator::waveRampLogDown[0], Modulator::waveRampLogUp[4095]);
  }
}

TEST(DspModulator, FrequencyScaledCutoffMapping) {
  const Modulator tablesBuilt;  // the first instance builds the shared tables
  struct Case {
    float x, expected, tolerance;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 0.0f},        {0.333f, 0.00326f, 1e-5f},   {0.5f, 0.015625f, 0.0f},
      {0.6f, 0.0375f, 1e-4f},    {0.666f, 0.0656f, 1e-4f},    {0.9f, 0.4496f, 1e-4f},
      {0.999f, 0.9904f, 1e-4f},  {1.0f, 1.0f, 0.0f},          {7.5f, 1.0f, 0.0f},
      {-0.5f, -0.015625f, 0.0f}, {std::nanf(""), 0.0f, 0.0f}, {-INFINITY, -1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_NEAR(Modulator::getValueFrequencyScaled(c.x), c.expected, c.tolerance);
  }
}

TEST(DspModulator, SettingsAndTables) {
  Modulator m;
  SCOPED_TRACE("after construction");
  EXPECT_EQ(m.getMode(), 1);
  EXPECT_EQ(m.lobits, 12);
  EXPECT_EQ(m.getGain(), 0.5f);
  EXPECT_EQ(m.getFrequency(), 1.0f);
  EXPECT_EQ(m.waveTable1, Modulator::waveSine);
  EXPECT_EQ(m.waveTable2, Modulator::waveSine);
  EXPECT_NEAR(m.sicvt, 349.525f, 1e-3);

  SCOPED_TRACE("tables");
  m.setTable(2);
  EXPECT_EQ(m.waveTable1, Modulator::table_sine());
  EXPECT_EQ(m.waveTable2, Modulator::constantTable(2));
  m.setTable(65);
  EXPECT_EQ(m.waveTable2, Modulator::waveSine);
  m.setTable(-1);
  EXPECT_EQ(m.waveTable1, Modulator::waveSine);
  m.setTables(Modulator::waveSaw, Modulator::waveSaw, 0);  // refused size: taken as 4096
  EXPECT_EQ(m.lobits, 12);
  m.setTables(Modulator::waveSaw, Modulator::waveSaw, 1 << 24);
  EXPECT_EQ(m.lobits, 0);
  m.setTables(Modulator::waveSaw, Modulator::waveSaw, 1);
  EXPECT_EQ(m.lobits, 24);

  SCOPED_TRACE("frequency, phase, rate, gain, shape");
  m.setFrequency(48000.0f);
  EXPECT_EQ(m.getFrequency(), 47999.0f);
  m.setFrequency(-3.0f);
  EXPECT_EQ(m.getFrequency(), 0.0f);
  m.setPhase(0.5f);
  EXPECT_EQ(m.phase, 8388608);
  EXPECT_EQ(m.getPhase(), 0.5f);
  m.setPhase(-0.1f);
  EXPECT_EQ(m.phase, 0);
  m.setPhase(std::nanf(""));
  EXPECT_EQ(m.phase, 0);
  m.setPhase(1e30f);
  EXPECT_GT(m.phase, 0);
  m.setSamplerate(0.0f);
  EXPECT_EQ(m.fSamplerate, 48000.0f);
  m.setGain(3.0f);
  EXPECT_EQ(m.getGain(), 1.0f);
  m.setShape(-2.0f);
  EXPECT_EQ(m.getShape(), 0.0f);
}

TEST(DspModulator, ConstantTablesAreSingleCyclesOfPeakOne) {
  EXPECT_EQ(Modulator::constantTable(65), nullptr);
  EXPECT_EQ(Modulator::constantTable(-2), nullptr);
  const float* sine = Modulator::table_sine();
  EXPECT_NEAR(sine[1024], 1.0f, 1e-6);
  EXPECT_NEAR(sine[3072], -1.0f, 1e-6);
  const float* tri = Modulator::constantTable(0);
  EXPECT_FLOAT_EQ(tri[1024], 1.0f);
  EXPECT_FLOAT_EQ(tri[3072], -1.0f);
  const float* sqr = Modulator::constantTable(2);
  EXPECT_EQ(sqr[100], 1.0f);
  EXPECT_EQ(sqr[3000], -1.0f);
  for (int n = -1; n <= 64; ++n) {
    SCOPED_TRACE(n);
    const float* t = Modulator::constantTable(n);
    ASSERT_NE(t, nullptr);
    float peak = 0.0f;
    for (int i = 0; i < Modulator::kTableSize; ++i)
      peak = std::fmax(peak, std::fabs(t[i]));
    EXPECT_NEAR(peak, 1.0f, 1e-6);
    EXPECT_NEAR(t[0], 0.0f, 1e-6);
    EXPECT_EQ(Modulator::constantTable(n), t);  // built once
  }
}

TEST(DspNoiseOscillator, Settings) {
  NoiseOscillator n;
  EXPECT_EQ(n.randseed, 33333u);
  EXPECT_EQ(n.fFrequency, 1.0f);
  EXPECT_EQ(n.freq, 44100.0f);
  n.setFrequency(2.0f);
  EXPECT_EQ(n.fFrequency, 1.0f);
  n.setFrequency(0.5f);
  EXPECT_EQ(n.freq, 22050.0f);
  n.setSamplerate(1.0f);
  EXPECT_EQ(n.freq, 1.0f);  // 0.5 Hz raised to 1
  n.setFrequency(std::nanf(""));
  EXPECT_EQ(n.fFrequency, 0.0f);
}
