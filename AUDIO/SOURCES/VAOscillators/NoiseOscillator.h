// A small noise source carried by every Modulator. Only its settings are built here; nothing in
// the effect draws samples from it.
// Threads: constructed and configured on the thread that builds its owner.
#pragma once

#include <cstdint>

class NoiseOscillator {
 public:
  NoiseOscillator();

  // Clears the running values (noise, noise2, last, inc, skip).
  void init();
  // freq = fFrequency * sr, kept within 1..sr.
  void setSamplerate(float sr);
  // fFrequency = f clamped to 0..1; freq = fFrequency * samplerate (no further clamp).
  void setFrequency(float f);

  std::uint32_t randseed = 33333;
  float fFrequency = 1.0f;  // normalised 0..1
  float fVolume = 1.0f;
  std::int64_t lMode = 0;
  float samplerate = 44100.0f;  // Hz
  float freq = 44100.0f;        // Hz
  float noise = 0.0f;
  float noise2 = 0.0f;
  float last = 0.0f;
  float inc = 0.0f;
  float skip = 0.0f;
};
