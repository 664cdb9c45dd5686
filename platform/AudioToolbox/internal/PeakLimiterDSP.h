// The signal path of the system peak limiter: a linked look-ahead brick-wall limiter for one or
// two channels whose output never exceeds full scale (|y| <= 1.0) after its pre-gain.
//
// How it limits, per frame n (x' = input times pre-gain, delayed by W frames on output):
//   required reduction  v[n] = 1 - 1 / max(1, |x'L[n]|, |x'R[n]|)        (0 = no reduction)
//   held reduction      H[n] = max v[n-W .. n]                           (W+1 frames)
//   release memory      u[n] = H + (u[n-1] - H) * c,  c = attack coefficient while H > u,
//                                                      decay coefficient otherwise
//   applied reduction   R[n] = mean over max(H, u)[n-W+1 .. n]           (W frames)
//   output              y[n] = x'[n-W] * (1 - R[n]), then limited to [-1, 1]
// Every term of the mean covers frame n-W in its hold window, so 1 - R[n] <= 1 / |x'[n-W]|:
// the gain ramps down linearly over the look-ahead and reaches the required gain no later than
// the peak. Reductions are summed as whole quanta of 2^-22, which rounds the gain up by less
// than 3e-7; the final limit takes off that excess (at most 3e-5 of full scale for peaks of
// +40 dB).
//
// Attack time: how long the gain reduction of a sustained overload takes to build up the
// release memory u (99 % of the way). Decay time: how long the gain takes to come back once the
// overload is over (99 % of the way). Short peaks are always caught by the look-ahead; a long
// attack lets the gain spring back sooner after them, a short one holds it down for the decay.
//
// Look-ahead W: the power of two nearest to 1.5 ms at the sample rate (16 frames at 8 kHz,
// 64 at 44.1/48 kHz, 128 at 88.2/96 kHz, 256 at 176.4/192 kHz); it is the latency. A power of
// two makes the mean's scale exact, so the gain stays within [0, 1]. A signal at or below full
// scale passes bit for bit, delayed.
//
// Samples that are not finite or exceed 1e18 after pre-gain are taken as silence.
//
// Threads: parameter setters and getters are [any] (relaxed atomics, read once per block by
// `process`). `allocate` and `reset` are [main] while no render call runs (reset allocates
// nothing and may also be called on the render thread between blocks). `process` is [render]:
// no allocation, lock, system call or exception. All storage is a fixed member array.
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AudioToolbox/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <array>
#include <atomic>
#include <cstdint>

class PeakLimiterDSP {
 public:
  // Parameter ranges and defaults (seconds, seconds, decibels).
  static constexpr float kMinAttackTime = 0.001f, kMaxAttackTime = 0.03f, kDefaultAttackTime = 0.012f;
  static constexpr float kMinDecayTime = 0.001f, kMaxDecayTime = 0.06f, kDefaultDecayTime = 0.024f;
  static constexpr float kMinPreGain = -40.0f, kMaxPreGain = 40.0f, kDefaultPreGain = 0.0f;
  // Sample rates the limiter runs at; others are taken to the nearest bound.
  static constexpr double kMinSampleRate = 8000.0, kMaxSampleRate = 192000.0;
  static constexpr double kNominalLookAhead = 0.0015;  // seconds
  static constexpr std::uint32_t kMaxLookAheadFrames = 256;

  PeakLimiterDSP();

  // Parameter values are limited to their ranges; NaN gives the default. [any]
  void setAttackTime(float seconds);
  void setDecayTime(float seconds);
  void setPreGain(float decibels);
  float attackTime() const { return attackTime_.load(std::memory_order_relaxed); }
  float decayTime() const { return decayTime_.load(std::memory_order_relaxed); }
  float preGain() const { return preGain_.load(std::memory_order_relaxed); }

  // Fixes the look-ahead for the sample rate and clears the state. [main]
  void allocate(double sampleRate);
  // Clears delay line, hold and release memory: the next frame starts from silence. [main]
  void reset();

  double sampleRate() const { return sampleRate_; }
  std::uint32_t lookAheadFrames() const { return window_; }
  double latencySeconds() const { return double(window_) / sampleRate_; }

  // Limits `frames` frames. Input and output may be the same memory (in place) or separate;
  // for mono pass the same pointers for both channels. Any frame count. [render]
  void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
               std::uint32_t frames);

 private:
  void updateCoefficients();
  // Limits frames that stay within one hold block (index_ + frames <= W).
  void processLap(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                  std::uint32_t frames);

  std::atomic<float> attackTime_{kDefaultAttackTime};
  std::atomic<float> decayTime_{kDefaultDecayTime};
  std::atomic<float> preGain_{kDefaultPreGain};

  // Render-thread copies of the parameters and what follows from them.
  float cachedAttack_ = 0, cachedDecay_ = 0, cachedPreGain_ = 0;
  float attackCoef_ = 0, decayCoef_ = 0, preGainFactor_ = 1;
  bool coefficientsValid_ = false;

  double sampleRate_ = 48000.0;
  std::uint32_t window_ = 64;  // W
  float meanScale_ = 0;        // 1 / (W quanta per unit), a power of two

  // State. Reductions are in quanta (see the .cpp). Every ring is indexed by `index_`, the
  // position in the current hold block of W frames.
  std::uint32_t index_ = 0;
  std::uint32_t phase_ = 0;  // which half of the delay rings is read in this block
  float prefixMax_ = 0;      // max of v over the current block so far
  float release_ = 0;        // u
  std::int32_t sum_ = 0;     // sum of `quantized_` over the ring
  alignas(16) std::array<float, kMaxLookAheadFrames> reduction_{};         // v of the current block
  alignas(16) std::array<float, kMaxLookAheadFrames> suffixMax_{};         // max of v from here to the
                                                                           // end of the previous block
  alignas(16) std::array<std::int32_t, kMaxLookAheadFrames> quantized_{};  // max(H, u), truncated
  // x' of the last 2W frames: one half is read (W frames old) while the other is written.
  alignas(16) std::array<float, 2 * kMaxLookAheadFrames> delayLeft_{};
  alignas(16) std::array<float, 2 * kMaxLookAheadFrames> delayRight_{};
  // Scratch of one lap: the hold value H of each frame.
  alignas(16) std::array<float, kMaxLookAheadFrames> held_{};
};
