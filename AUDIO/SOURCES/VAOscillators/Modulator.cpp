#include "Modulator.h"

#include <cmath>
#include <mutex>

std::atomic<std::uint64_t> Modulator::count{0};
float Modulator::maxFrequency = 22050.0f;
float Modulator::freqTable[128];
float Modulator::freqFactors[128];
float Modulator::waveSine[kTableSize];
float Modulator::waveSaw[kTableSize];
float Modulator::waveSineSquar[kTableSize];
float Modulator::waveSineQuad[kTableSize];
float Modulator::waveRampLinUp[kTableSize];
float Modulator::waveRampLinDown[kTableSize];
float Modulator::waveRampExponUp[kTableSize];
float Modulator::waveRampExponDown[kTableSize];
float Modulator::wave100[kTableSize];
float Modulator::waveRampLogUp[kTableSize];
float Modulator::waveRampLogDown[kTableSize];

namespace {
constexpr float kTwoPi = 6.2831855f;
constexpr float kInvTableSize = 0.00024414063f;  // 1/4096
std::once_flag tablesBuilt;
}  // namespace

Modulator::Modulator() {
  setSamplerate(48000.0f);
  init();
}

Modulator::~Modulator() {
  count.fetch_sub(1, std::memory_order_relaxed);
}

void Modulator::buildTables() {
  // Equal-tempered note frequencies: 6.875 Hz * r^(n+3), r = 2^(1/12); n 69 is 440 Hz.
  const double r = 1.059463094359;
  double f = 6.875 * r * r * r;
  for (int n = 0; n < 128; ++n) {
    freqTable[n] = static_cast<float>(f);
    f *= r;
  }
  for (int n = 0; n < 128; ++n)
    freqFactors[n] = freqTable[n] / freqTable[60];

  for (int i = 0; i < kTableSize; ++i) {
    const float x = static_cast<float>(i) * kInvTableSize;
    waveSine[i] = (std::sin(kTwoPi * x) + 1.0f) * 0.5f;
  }
  for (int i = 0; i < kTableSize; ++i) {
    waveSaw[i] = 1.0f - static_cast<float>(i) * kInvTableSize;
  }
  for (int i = 0; i < kTableSize; ++i) {
    const float x = static_cast<float>(i) * kInvTableSize;
    // Eighth root of |sin| as three square roots: a sine pushed towards a square.
    const float q = std::sqrt(std::sqrt(std::sqrt(std::fabs(std::sin(kTwoPi * x)))));
    waveSineSquar[i] = (i < kTableSize / 2) ? (1.0f + q) * 0.5f : (1.0f - q) * 0.5f;
  }
  for (int i = 0; i < kTableSize; ++i) {
    const float s = std::sin(kTwoPi * (static_cast<float>(i) * kInvTableSize));
    waveSineQuad[i] = (s * s * s + 1.0f) * 0.5f;
  }
  for (int i = 0; i < kTableSize; ++i)
    waveRampLinUp[i] = static_cast<float>(i) * kInvTableSize;
  for (int i = 0; i < kTableSize; ++i) {
    waveRampLinDown[i] = 1.0f - static_cast<float>(i) * kInvTableSize;
  }
  for (int i = 0; i < kTableSize; ++i) {
    const float x = static_cast<float>(i) * kInvTableSize;
    waveRampExponUp[i] = x * x * x;
  }
  for (int i = 0; i < kTableSize; ++i)
    waveRampExponDown[i] = waveRampExponUp[kTableSize - 1 - i];

  maxFrequency = 440.0f * std::pow(2.0f, 5.0f);
  // Ten octaves around 440 Hz: 13.75 Hz .. ~14056 Hz.
  for (int i = 0; i < kTableSize; ++i) {
    const float x = static_cast<float>(i) * kInvTableSize;
    wave100[i] = 440.0f * std::pow(2.0f, 10.0f * x - 5.0f);
  }
  // 2^(10x - 10) * x: a logarithmic sweep that also reaches 0 at x = 0.
  for (int i = 0; i < kTableSize; ++i) {
    const float x = static_cast<float>(i) * kInvTableSize;
    waveRampLogUp[i] = wave100[i] / maxFrequency * x;
  }
  for (int i = 0; i < kTableSize; ++i)
    waveRampLogDown[i] = waveRampLogUp[kTableSize - 1 - i];
}

void Modulator::init() {
  // The first instance fills the tables; later instances (also after all were destroyed) would
  // fill them with the same values, so one guarded build is enough and keeps readers safe.
  count.fetch_add(1, std::memory_order_relaxed);
  std::call_once(tablesBuilt, &Modulator::buildTables);

  lobits = 12;  // doublings from 4096 to 2^24
  setMode(1);
  setPhase(0.0f);
  setFrequency(1.0f);
  setGain(0.5f);
  retrigger();
  setTable(65);
}

void Modulator::setSamplerate(float sr) {
  if (sr == 0.0f)
    return;
  fSamplerate = sr;
  sicvt = 16777216.0f / sr;
}

void Modulator::setPhase(float p) {
  // Values too large for the 64-bit phase are held at its top (converting them would be
  // undefined).
  if (p >= 0.0f) {
    const double v = kPhaseOne * static_cast<double>(p);
    phase = (v < 9.2e18) ? static_cast<std::int64_t>(v) : static_cast<std::int64_t>(9.2e18);
  } else {
    phase = 0;
  }
}

float Modulator::getPhase() const {
  return static_cast<float>(static_cast<double>(phase) / kPhaseOne);
}

void Modulator::setFrequency(float f) {
  fFrequency = f;
  if (fFrequency < 0.0f) {
    fFrequency = 0.0f;
  } else if (fFrequency >= fSamplerate) {
    fFrequency = fSamplerate - 1.0f;
  }
}

void Modulator::setGain(float g) {
  fGain = (g < -1.0f) ? -1.0f : (g > 1.0f ? 1.0f : g);
}

void Modulator::setShape(float s) {
  fShape = (s < 0.0f) ? 0.0f : (s > 1.0f ? 1.0f : s);
}

void Modulator::retrigger() {
  setPhase(0.0f);
  currentIndex = 0;
  cycles = 0;
  currentValue = 0.0f;
}

void Modulator::setTable(std::int32_t n) {
  if (n >= 0 && n <= 64) {
    setTables(table_sine(), constantTable(n), kTableSize);
  } else {
    setTables(waveSine, waveSine, kTableSize);
  }
}

void Modulator::setTables(const float* first, const float* second, std::int32_t size) {
  // Only powers of two from 1 to 2^24 have a whole number of doublings up to 2^24.
  if (size < 1 || size > (1 << 24) || (size & (size - 1)) != 0)
    size = kTableSize;
  waveTable1 = first;
  waveTable2 = second;
  std::int64_t bits = 0;
  for (std::int64_t s = size; s < (1 << 24); s <<= 1)
    ++bits;
  lobits = bits;
}

float Modulator::getValueFrequencyScaled(float x) {
  const float scaled = std::fabs(x) * static_cast<float>(kTableSize);
  float value;
  if (!(scaled >= 0.0f)) {
    value = 0.0f;  // NaN
  } else if (scaled >= static_cast<float>(kTableSize)) {
    value = 1.0f;
  } else {
    value = waveRampLogUp[static_cast<int>(scaled)];
  }
  return (x < 0.0f) ? -value : value;
}
