// One-channel gain computer with a peak detector. Five normalised settings (threshold, ratio,
// attack, release, make-up gain) become working coefficients in the setters; processing then
// runs per sample, in place:
//   x = |key| or |sample| (linked: 0.5 |a + b|)
//   level += (x > level ? _Attack : _Release) * (x - level)
//   gain = level > _Threshold ? sqrt((_Ratio (level - _Threshold) + _Threshold) / level) : 1
//   wet = sample * gain (audition: sample - that), times _MakeUp; out = wet mix + dry (1 - mix)
//
// The buffer forms give exactly the per-sample results; they run the detector (a recursion)
// as one pass and the gain law and mix as a second, four samples at a time.
//
// Threads: setters and the fields fInvert/fMix are written by whichever thread sets
// parameters, processing is [render]; settings, coefficients and the meter value are relaxed
// atomics, read once per buffer by the buffer forms. reset/init/setSamplerate while not
// rendering.
#pragma once

#include <atomic>

class Compressor1 {
 public:
  Compressor1();

  void init();
  void reset();
  void updateParameters();

  // Normalised settings, taken as given; 0..1 is the designed range, values outside it follow
  // the same formulas (CompressorMath.h).
  void setThreshold(float t);  // 0..1 -> -60 dB .. 0 dB
  void setRatio(float r);      // 0..1 -> no compression .. infinite ratio
  void setAttack(float a);     // 0..1 -> fast .. slow
  void setRelease(float r);    // 0..1 -> fast .. slow
  void setGain(float g);       // 0..1 -> -30 dB .. +30 dB
  // Stores the rate only; attack and release follow at their next update.
  void setSamplerate(float sr) { _Samplerate.store(sr, relaxed); }

  void processSample(float* sample, const float* key);
  void processSampleLinked(float* sample, const float* other, const float* key, const float* otherKey);

  void processBuffer(float* buffer, int count);
  void processBufferLinked(float* buffer, const float* other, int count);
  void processBufferSidechain(float* buffer, const float* key, int count);
  void processBufferSidechainLinked(float* buffer, const float* other, const float* key,
                                    const float* otherKey, int count);

  // Gain-reduction meter 0..1: 1 - max(20 ln(gain), -60) / -60; 1 means no reduction. [any]
  float getCompression() const;

  // Working values for one buffer, read once from the atomics.
  struct Snapshot {
    float threshold, ratio, attack, release, makeUp, mix;
    double dryShare;  // 1 - mix, in double precision
    bool invert;
  };
  Snapshot snapshot() const;

  // The two passes of the buffer forms, usable on any detector input:
  // runs the detector over x[0..n) (already magnitudes), writing the level after each sample.
  void detect(const float* x, float* levels, int n, const Snapshot& s);
  // Applies gain law, audition, make-up and mix for n samples in place from the levels.
  void applyGain(float* buffer, const float* levels, int n, const Snapshot& s);
  // The same with one lane of interleaved level pairs (levels[2i] for sample i).
  void applyGainLane(float* buffer, const float* levels, int n, const Snapshot& s);

  static constexpr auto relaxed = std::memory_order_relaxed;

  std::atomic<float> fThreshold{0.5f};
  std::atomic<float> fRatio{0.5f};
  std::atomic<float> fAttack{0.02f};
  std::atomic<float> fRelease{0.5f};
  std::atomic<float> fMakeUp{0.53f};
  std::atomic<float> fInvert{0.0f};  // audition when > 0.5
  std::atomic<float> fMix{1.0f};     // wet share
  std::atomic<float> _Samplerate{48000.0f};
  std::atomic<float> _Threshold{0.0f};
  std::atomic<float> _Ratio{0.0f};
  std::atomic<float> _Attack{0.0f};
  std::atomic<float> _Release{0.0f};
  std::atomic<float> _MakeUp{0.0f};
  float level = 0.0f;             // detector state [render]
  std::atomic<float> gain{1.0f};  // gain of the last sample

 private:
  template <typename Fill>
  void processChunks(float* buffer, int count, Fill fill);
  float detectorStep(float x);
  void finishSample(float* sample);
};
