// Two gain computers, A (c[0]) and B (c[1]), and the eight ways the kernel runs a stereo pair:
// dual, linked, mid-side and mid-side linked, each with or without a side-chain key. In the
// dual and linked modes A works on the left channel and B on the right; in the mid-side modes
// A works on mid and B on side, through the own splitter `ms`.
//
//   dual:        A on left, B on right, each from its own level (or key)
//   linked:      A from 0.5|left + right|, then B from 0.5|right + left'| with left' as A left it
//                (with keys: both from 0.5|keyA + keyB|)
//   mid-side:    A on mid, B on side (keyed: by keyA and keyB)
//   MS linked:   A on mid from the mid; B on side keyed by the mid as it was before A's pass
//                (keyed: both keyed by keyA), so mid and side move together
//
// The mid-side forms handle at most 4096 frames (the splitter's capacity); the kernel never
// passes more. Threads: [render] for processing, see Compressor1 for the settings.
#pragma once

#include <array>

#include "Compressor1.h"
#include "MidSideSplitter.h"

class Compressor2 {
 public:
  Compressor2();

  void init();
  void reset();
  void setSamplerate(float sr);

  void processBuffers(float* left, float* right, int count);
  void processBuffersLinked(float* left, float* right, int count);
  void processBuffersMidSide(float* left, float* right, int count);
  void processBuffersMidSideLinked(float* left, float* right, int count);
  void processBuffersSidechain(float* left, float* right, const float* keyA, const float* keyB, int count);
  void processBuffersSidechainLinked(float* left, float* right, const float* keyA, const float* keyB,
                                     int count);
  void processBuffersSidechainMidSide(float* left, float* right, const float* keyA, const float* keyB,
                                      int count);
  void processBuffersSidechainMidSideLinked(float* left, float* right, const float* keyA, const float* keyB,
                                            int count);

  std::array<Compressor1, 2> c;
  float fSamplerate = 48000.0f;
  MidSideSplitter ms;

 private:
  // A on a keyed by |sourceA|, B on b keyed by |sourceB|, both detectors in one loop.
  void processPair(float* a, float* b, const float* sourceA, const float* sourceB, int count);
  template <typename Fill>
  void processPairChunks(float* a, float* b, int count, Fill fill);
};
