// Modulator's shared lookup tables and the cutoff mapping the filters read from them.
#include <gtest/gtest.h>

#include <cmath>

#include "Modulator.h"

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

TEST(DspModulator, FrequencyScaledCutoffMapping) {
  const Modulator tablesBuilt;  // the first instance builds the shared tables
  struct Case {
    float x, expected, tolerance;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 0.0f},          {0.333f, 0.00326f, 1e-5f}, {0.5f, 0.015625f, 0.0f},
      {0.6f, 0.0375f, 1e-4f},      {0.9f, 0.4496f, 1e-4f},    {0.999f, 0.9904f, 1e-4f},
      {1.0f, 1.0f, 0.0f},          {7.5f, 1.0f, 0.0f},        {-0.5f, -0.015625f, 0.0f},
      {std::nanf(""), 0.0f, 0.0f}, {-INFINITY, -1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_NEAR(Modulator::getValueFrequencyScaled(c.x), c.expected, c.tolerance);
  }
}
