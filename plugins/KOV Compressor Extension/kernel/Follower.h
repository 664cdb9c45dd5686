// Peak meter run over the kernel's output: rises by a fixed step per sample (0 -> 1 in the
// attack time), holds for the hold time after the last rise, then falls by a fixed step
// (1 -> 0 in the release time).
// Threads: processing is [render]; getPeakLimited is [any] (the level is a relaxed atomic,
// written once per buffer); setters and init while not rendering.
#pragma once

#include <atomic>
#include <cstdint>

class Follower {
 public:
  Follower();

  // Also puts attack, release and hold back to 0.01 s, 0.5 s and 0.0001 s.
  void setSamplerate(float sr);
  void setAttack(float a);   // seconds, 0..1, else ignored
  void setRelease(float r);  // seconds, 0..10, else ignored
  void setDecay(float d);    // seconds of hold, 0..1, else ignored
  void init() { currentPeak.store(0.0, std::memory_order_relaxed); }
  void reset() { init(); }

  void processSample(const float* sample);
  void processBuffer(const float* buffer, std::int64_t count);
  // processBuffer of left on l and of right on r, in one loop.
  static void processStereo(Follower& left, Follower& right, const float* l, const float* r,
                            std::int64_t count);

  // The level limited to 0..1. [any]
  float getPeakLimited() const;

  float fSamplerate = 48000.0f;
  float fAttack = 0.01f;            // s
  float fRelease = 0.5f;            // s
  float fDecay = 0.0001f;           // s of hold
  float attackTime = 480.0f;        // samples
  float releaseTime = 24000.0f;     // samples
  std::int32_t decayTime = 4;       // samples of hold left
  double increase = 1.0 / 480.0;    // rise per sample
  double decrease = 1.0 / 24000.0;  // fall per sample
  std::atomic<double> currentPeak{0.0};

 private:
  std::int32_t holdSamples() const;
};
