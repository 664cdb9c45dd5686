// Table-lookup oscillator with process-wide lookup tables. In this system its only use is the
// class operation getValueFrequencyScaled, which maps a normalised filter cutoff (0..1) through
// waveRampLogUp to a state-variable-filter frequency coefficient. The rest (settings, the
// constant wave tables, the noise oscillator) is configured but not played.
//
// Threads: instances are made and configured on the thread that builds the kernel; the tables
// are built exactly once per process, guarded, so instances may be made on several threads.
// getValueFrequencyScaled is [any] once an instance exists (it only reads a finished table).
#pragma once

#include <atomic>
#include <cstdint>

#include "NoiseOscillator.h"

class Modulator {
 public:
  static constexpr int kTableSize = 4096;
  // Phase is kept in units of 2^-24 of a cycle.
  static constexpr double kPhaseOne = 16777216.0;

  Modulator();
  ~Modulator();
  Modulator(const Modulator&) = delete;
  Modulator& operator=(const Modulator&) = delete;

  // Counts the instance, builds the run-time tables on first use and puts the oscillator back
  // to its defaults (mode 1, phase 0, 1 Hz, gain 0.5, waveSine twice).
  void init();

  void setSamplerate(float sr);  // ignored for 0; sicvt = 2^24 / sr
  void setMode(std::int32_t mode) { lMode = mode; }
  std::int32_t getMode() const { return lMode; }
  void setPhase(float p);  // cycles; negative (and NaN) gives 0
  float getPhase() const;
  void setFrequency(float f);  // Hz, kept within 0..fSamplerate-1
  float getFrequency() const { return fFrequency; }
  void setGain(float g);  // clamped to -1..1
  float getGain() const { return fGain; }
  void setShape(float s);  // clamped to 0..1
  float getShape() const { return fShape; }
  void setNumCycles(std::int32_t n) { numCycles = n; }
  std::int32_t getNumCycles() const { return numCycles; }
  void retrigger();
  // n 0..64 pairs table_sine with the n-th selectable constant table; anything else selects
  // waveSine twice.
  void setTable(std::int32_t n);
  // size must be a power of two from 1 to 2^24; anything else is taken as 4096.
  void setTables(const float* first, const float* second, std::int32_t size);

  // Normalised cutoff -> filter coefficient: waveRampLogUp[|x|*4096], 1 at and above 1,
  // negated for negative x; NaN gives 0. [any]
  static float getValueFrequencyScaled(float x);

  // Constant wave tables (one cycle, peak magnitude about 1), built on first use and never
  // written afterwards: n = -1 is table_sine, 0 table_tri, 1 table_saw, 2 table_sqr and 3..64
  // table_03..table_64. Null for any other n. [any]
  static const float* constantTable(int n);
  static const float* table_sine() { return constantTable(-1); }

  static std::uint64_t instanceCount() { return count.load(std::memory_order_relaxed); }

  void (*onCycleEnd)(void*) = nullptr;
  void (*onSyncReceived)(void*) = nullptr;
  void* triggerDestination = nullptr;
  NoiseOscillator noise;
  bool isBidirectional = false;
  std::int32_t lMode = 9;
  float fSamplerate = 48000.0f;  // Hz
  float fFrequency = 1.0f;       // Hz
  float fGain = 1.0f;
  float fShape = 1.0f;
  float currentValue = 0.0f;
  float sicvt = 0.0f;  // phase increment per hertz
  std::int64_t lobits = 0;
  std::int64_t phase = 0;
  std::int64_t currentIndex = 0;
  std::int32_t cycles = 0;
  std::int32_t numCycles = 0;
  const float* waveTable1 = nullptr;
  const float* waveTable2 = nullptr;

  // Process-wide run-time tables (filled once by the first init()).
  static std::atomic<std::uint64_t> count;
  static float maxFrequency;  // 22050 until the tables are built, then 14080
  static float freqTable[128];
  static float freqFactors[128];
  static float waveSine[kTableSize];
  static float waveSaw[kTableSize];
  static float waveSineSquar[kTableSize];
  static float waveSineQuad[kTableSize];
  static float waveRampLinUp[kTableSize];
  static float waveRampLinDown[kTableSize];
  static float waveRampExponUp[kTableSize];
  static float waveRampExponDown[kTableSize];
  static float wave100[kTableSize];
  static float waveRampLogUp[kTableSize];
  static float waveRampLogDown[kTableSize];

 private:
  static void buildTables();
};
