#include "Compressor1.h"

#include <cmath>

#include "CompressorMath.h"

using namespace compressor_math;

Compressor1::Compressor1() {
  _Samplerate.store(48000.0f, relaxed);
  level = 0.0f;
  gain.store(1.0f, relaxed);
  init();
}

void Compressor1::init() {
  fThreshold.store(0.5f, relaxed);
  fRatio.store(0.5f, relaxed);
  fAttack.store(0.02f, relaxed);
  fRelease.store(0.5f, relaxed);
  fMakeUp.store(0.53f, relaxed);
  fInvert.store(0.0f, relaxed);
  fMix.store(1.0f, relaxed);
  reset();
}

void Compressor1::reset() {
  level = 0.0f;
  gain.store(1.0f, relaxed);
  updateParameters();
}

// A setting that is NaN leaves its working value as it was; every other value goes through its
// formula (limits in CompressorMath.h). The stored setting always keeps the value given.
void Compressor1::updateParameters() {
  const float sr = _Samplerate.load(relaxed);
  if (const float t = fThreshold.load(relaxed); t == t)
    _Threshold.store(thresholdFor(t), relaxed);
  if (const float r = fRatio.load(relaxed); r == r)
    _Ratio.store(ratioFor(r), relaxed);
  if (const float a = fAttack.load(relaxed); a == a)
    _Attack.store(timeCoefficientFor(a, sr), relaxed);
  if (const float r = fRelease.load(relaxed); r == r)
    _Release.store(timeCoefficientFor(r, sr), relaxed);
  if (const float g = fMakeUp.load(relaxed); g == g)
    _MakeUp.store(makeUpFor(g), relaxed);
}

void Compressor1::setThreshold(float t) {
  fThreshold.store(t, relaxed);
  if (t == t)
    _Threshold.store(thresholdFor(t), relaxed);
}

void Compressor1::setRatio(float r) {
  fRatio.store(r, relaxed);
  if (r == r)
    _Ratio.store(ratioFor(r), relaxed);
}

void Compressor1::setAttack(float a) {
  fAttack.store(a, relaxed);
  if (a == a)
    _Attack.store(timeCoefficientFor(a, _Samplerate.load(relaxed)), relaxed);
}

void Compressor1::setRelease(float r) {
  fRelease.store(r, relaxed);
  if (r == r)
    _Release.store(timeCoefficientFor(r, _Samplerate.load(relaxed)), relaxed);
}

void Compressor1::setGain(float g) {
  fMakeUp.store(g, relaxed);
  if (g == g)
    _MakeUp.store(makeUpFor(g), relaxed);
}

Compressor1::Snapshot Compressor1::snapshot() const {
  Snapshot s;
  s.threshold = _Threshold.load(relaxed);
  s.ratio = _Ratio.load(relaxed);
  s.attack = _Attack.load(relaxed);
  s.release = _Release.load(relaxed);
  s.makeUp = _MakeUp.load(relaxed);
  s.mix = mixFor(fMix.load(relaxed));
  s.dryShare = 1.0 - static_cast<double>(s.mix);
  s.invert = fInvert.load(relaxed) > 0.5f;
  return s;
}

float Compressor1::detectorStep(float x) {
  const float coefficient = (x > level) ? _Attack.load(relaxed) : _Release.load(relaxed);
  level += coefficient * (x - level);
  return level;
}

void Compressor1::finishSample(float* sample) {
  const Snapshot s = snapshot();
  const float g = gainFor(level, s.threshold, s.ratio);
  gain.store(g, relaxed);
  *sample = mixSample(*sample, g, s);
}

void Compressor1::processSample(float* sample, const float* key) {
  detectorStep(std::fabs(key ? *key : *sample));
  finishSample(sample);
}

void Compressor1::processSampleLinked(float* sample, const float* other, const float* key,
                                      const float* otherKey) {
  // The magnitude of the sum, not the sum of the magnitudes.
  detectorStep(key ? 0.5f * std::fabs(*key + *otherKey) : 0.5f * std::fabs(*sample + *other));
  finishSample(sample);
}

void Compressor1::detect(const float* x, float* levels, int n, const Snapshot& s) {
  level = settled(runDetector(level, s.attack, s.release, x, levels, n));
}

void Compressor1::applyGain(float* buffer, const float* levels, int n, const Snapshot& s) {
  if (n <= 0)
    return;
  applyGainLaw(buffer, levels, n, s);
  gain.store(gainFor(levels[n - 1], s.threshold, s.ratio), relaxed);
}

void Compressor1::applyGainLane(float* buffer, const float* levels, int n, const Snapshot& s) {
  if (n <= 0)
    return;
  applyGainLaw<2>(buffer, levels, n, s);
  gain.store(gainFor(levels[2 * (n - 1)], s.threshold, s.ratio), relaxed);
}

// The buffer forms work in chunks so that the detector input and levels fit on the stack.
// `fill(base, x, n)` writes the detector input of samples base .. base + n - 1 into x.
template <typename Fill>
void Compressor1::processChunks(float* buffer, int count, Fill fill) {
  const Snapshot s = snapshot();
  alignas(16) float x[kChunk];
  alignas(16) float levels[kChunk];
  for (int base = 0; base < count; base += kChunk) {
    const int n = (count - base < kChunk) ? count - base : kChunk;
    fill(base, x, n);
    detect(x, levels, n, s);
    applyGain(buffer + base, levels, n, s);
  }
}

void Compressor1::processBuffer(float* buffer, int count) {
  processChunks(buffer, count, [&](int base, float* x, int n) { magnitudes(buffer + base, x, n); });
}

void Compressor1::processBufferLinked(float* buffer, const float* other, int count) {
  processChunks(buffer, count,
                [&](int base, float* x, int n) { halfSumMagnitudes(buffer + base, other + base, x, n); });
}

void Compressor1::processBufferSidechain(float* buffer, const float* key, int count) {
  processChunks(buffer, count, [&](int base, float* x, int n) { magnitudes(key + base, x, n); });
}

void Compressor1::processBufferSidechainLinked(float* buffer, const float* other, const float* key,
                                               const float* otherKey, int count) {
  if (!key) {
    processBufferLinked(buffer, other, count);
    return;
  }
  processChunks(buffer, count,
                [&](int base, float* x, int n) { halfSumMagnitudes(key + base, otherKey + base, x, n); });
}

float Compressor1::getCompression() const {
  const float g = gain.load(relaxed);
  if (!(g > 0.0f))
    return 1.0f;
  // Natural logarithm (not base 10): the gauge is calibrated to this scale.
  double d = static_cast<double>(20.0f * std::log(g));
  if (d < -60.0)
    d = -60.0;
  return static_cast<float>(1.0 - d / -60.0);
}
