// State-variable filter of up to four cascaded sections, used in high-pass or low-pass form by
// the side-chain band splitter. The normalised cutoff (0..1) is mapped through
// Modulator::getValueFrequencyScaled to the frequency coefficient; the coefficients do not
// depend on the sample rate.
//
// One section, for input x and state (band, low):
//   u = 0.5 x;  low' = low + cf band;  high = u - low' - cq band;  band' = cf high + band
// Section k+1 takes section k's high (high-pass form) or low' (low-pass form) as its x; the
// last section's value times `booster` is the output. fPoles 3 runs sections 1 to 3.
//
// Threads: setCutoff may come from any thread that sets parameters (coefficients are relaxed
// atomics, read by the render thread); processing is [render]; reset/init while not rendering.
#pragma once

#include <atomic>

#include "Interpolator2.h"
#include "Modulator.h"

class SVFilter4Pole1 {
 public:
  SVFilter4Pole1();

  void init();
  void reset();
  void setCutoff(float c);  // normalised 0..1
  void setSamplerate(float sr) { fSamplerate = sr; }
  // Recomputes cf, cq and booster when the mapped cutoff or the resonance changed.
  void processParameters();

  // Number of sections that run for the current fPoles (1..4).
  int sectionCount() const { return 1 + (fPoles > 1.0f) + (fPoles > 2.0f) + (fPoles > 3.0f); }

  void processSampleHP(float* sample);
  void processSampleLP(float* sample);
  // out = filtered input, rest = input - out; rest may be the same location as in.
  void processSampleHP(const float* in, float* out, float* rest);
  void processSampleLP(const float* in, float* out, float* rest);
  void processBufferHP(const float* in, float* out, float* rest, int count);
  void processBufferLP(const float* in, float* out, float* rest, int count);

  float fPoles = 3.0f;
  float fMode = 0.0f;
  float fSamplerate = 48000.0f;  // Hz; stored only
  float f = 0.0f;
  std::atomic<float> fCutoff{0.5f};
  float fResonance = 0.0f;
  std::atomic<float> cutoff{0.5f};     // mapped cutoff of the last update
  std::atomic<float> resonance{0.0f};  // resonance of the last update
  std::atomic<float> booster{0.0f};
  std::atomic<float> cf{0.0f};  // frequency coefficient
  std::atomic<float> cq{0.0f};  // damping coefficient
  // band (b) and low (r) state of sections 1..4
  float b1 = 0.0f, r1 = 0.0f, b2 = 0.0f, r2 = 0.0f, b3 = 0.0f, r3 = 0.0f, b4 = 0.0f, r4 = 0.0f;
  Interpolator2 interpolator;
  Modulator modulator;  // its construction guarantees the cutoff table exists

 private:
  float filter(float x, bool highPass);
};
