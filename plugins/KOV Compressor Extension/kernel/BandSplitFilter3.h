// Divides a stereo pair into three bands with four state-variable filters: the high-pass
// filters (tuned to the upper edge fCutoff2) take off the part above the band, the low-pass
// filters (tuned to the lower edge fCutoff1) the part below it from what is left. The middle
// band is the compressor's side-chain key.
//
// Threads: setCutoff1/2 from any thread that sets parameters; split is [render]; reset,
// setSamplerate while not rendering.
#pragma once

#include <array>
#include <atomic>

#include "SVFilter4Pole1.h"

class BandSplitFilter3 {
 public:
  static constexpr int kCapacity = 4096;  // frames

  BandSplitFilter3();

  // Edges are normalised 0..1; values outside are ignored. The lower edge is kept at or below
  // the upper one.
  void setCutoff1(float c);
  void setCutoff2(float c);
  void setSamplerate(float sr);
  void reset() { init(); }
  void init();
  void clear();

  // Splits min(count, 4096) frames: bufferHP, bufferLP and bufferBP receive the parts above,
  // below and between the edges. Left and right, high- and low-pass run together, sample by
  // sample, with results identical to splitReference.
  void split(const float* left, const float* right, int count);
  // The band alone: bufferBP as split leaves it, and the filters in the same state; bufferHP
  // and bufferLP are left as they were (their filters still run: the band is what they leave).
  void splitBand(const float* left, const float* right, int count);
  // splitBand, handing each frame's band to sink(k, lanes) as soon as it is made (frames in
  // order; lanes 2 and 3 of the SSE vector hold the band of frame k, left and right), so that a
  // pass keyed by the band can run in the same loop. The band goes to bufferBP from frame `at`
  // (0 <= at < 4096; at most 4096 - at frames): a long stretch may be split in parts, with the
  // same results. Only where SSE2 exists and hasThreeSections() (as always here). Defined in
  // BandSplitLanes.h.
  template <typename Sink>
  void splitBandFeeding(const float* left, const float* right, int count, Sink&& sink, int at = 0);
  bool hasThreeSections() const;
  // The same split, one filter after the other, sample by sample.
  void splitReference(const float* left, const float* right, int count);

  float* getBPLeft() { return bufferBP[0].data(); }
  float* getBPRight() { return bufferBP[1].data(); }

  float fGainLP = 1.0f;
  float fGainBP = 1.0f;
  float fGainHP = 1.0f;
  float fSamplerate = 48000.0f;
  std::atomic<float> fCutoff1{0.33f};  // lower band edge
  std::atomic<float> fCutoff2{0.66f};  // upper band edge
  using Buffer = std::array<float, kCapacity>;
  alignas(16) std::array<Buffer, 2> bufferLP{};
  alignas(16) std::array<Buffer, 2> bufferHP{};
  alignas(16) std::array<Buffer, 2> bufferBP{};
  std::array<SVFilter4Pole1, 2> lpf;  // left, right; tuned to fCutoff1
  std::array<SVFilter4Pole1, 2> hpf;  // left, right; tuned to fCutoff2

 private:
  template <bool kAllBands>
  void splitLanes(const float* left, const float* right, int count);
};
