#include "NoiseOscillator.h"

NoiseOscillator::NoiseOscillator() {
  fFrequency = 44100.0f;
  fFrequency = 1.0f;
  init();
  setSamplerate(44100.0f);
  setFrequency(fFrequency);
}

void NoiseOscillator::init() {
  noise = 0.0f;
  noise2 = 0.0f;
  last = 0.0f;
  inc = 0.0f;
  skip = 0.0f;
}

void NoiseOscillator::setSamplerate(float sr) {
  samplerate = sr;
  freq = fFrequency * sr;
  if (freq < 1.0f) {
    freq = 1.0f;
  } else if (freq > sr) {
    freq = sr;
  }
}

void NoiseOscillator::setFrequency(float f) {
  // NaN counts as 0, so that freq stays a number.
  fFrequency = (f > 1.0f) ? 1.0f : (f >= 0.0f ? f : 0.0f);
  freq = fFrequency * samplerate;
}
