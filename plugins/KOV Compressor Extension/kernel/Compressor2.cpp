#include "Compressor2.h"

#include <algorithm>

#include "CompressorMath.h"

using namespace compressor_math;

Compressor2::Compressor2() {
  fSamplerate = 48000.0f;
  setSamplerate(48000.0f);
  init();
}

void Compressor2::init() {
  c[0].init();
  c[1].init();
  reset();
}

void Compressor2::reset() {
  c[0].reset();
  c[1].reset();
  ms.reset();
}

void Compressor2::setSamplerate(float sr) {
  fSamplerate = sr;
  c[0].setSamplerate(sr);
  c[1].setSamplerate(sr);
}

// A compresses a with its detector on |sourceA|, B compresses b with its detector on
// |sourceB|. The two detectors are independent, so they run in one loop. A source may be the
// buffer it keys: each magnitude is taken before its own sample is rewritten.
void Compressor2::processPair(float* a, float* b, const float* sourceA, const float* sourceB, int count) {
  Compressor1& A = c[0];
  Compressor1& B = c[1];
  const Compressor1::Snapshot sa = A.snapshot();
  const Compressor1::Snapshot sb = B.snapshot();
  alignas(16) float xA[kChunk];
  alignas(16) float xB[kChunk];
  alignas(16) float levelsA[kChunk];
  alignas(16) float levelsB[kChunk];
  for (int base = 0; base < count; base += kChunk) {
    const int n = std::min(count - base, kChunk);
    magnitudes(sourceA + base, xA, n);
    const float* xb = xA;
    if (sourceB != sourceA) {
      magnitudes(sourceB + base, xB, n);
      xb = xB;
    }
    runDetector2(A.level, sa.attack, sa.release, xA, levelsA, B.level, sb.attack, sb.release, xb,
                 levelsB, n);
    A.applyGain(a + base, levelsA, n, sa);
    B.applyGain(b + base, levelsB, n, sb);
  }
}

void Compressor2::processBuffers(float* left, float* right, int count) {
  if (right == left) {
    // One buffer for both channels: B hears what A wrote, as in A's pass followed by B's.
    c[0].processBuffer(left, count);
    c[1].processBuffer(right, count);
    return;
  }
  processPair(left, right, left, right, count);
}

void Compressor2::processBuffersLinked(float* left, float* right, int count) {
  // B's detector needs left as A has already written it, sample by sample; working chunk by
  // chunk (A's chunk, then B's) keeps that order for every sample.
  Compressor1& A = c[0];
  Compressor1& B = c[1];
  const Compressor1::Snapshot sa = A.snapshot();
  const Compressor1::Snapshot sb = B.snapshot();
  alignas(16) float x[kChunk];
  alignas(16) float levels[kChunk];
  for (int base = 0; base < count; base += kChunk) {
    const int n = std::min(count - base, kChunk);
    halfSumMagnitudes(left + base, right + base, x, n);
    A.detect(x, levels, n, sa);
    A.applyGain(left + base, levels, n, sa);
    halfSumMagnitudes(right + base, left + base, x, n);
    B.detect(x, levels, n, sb);
    B.applyGain(right + base, levels, n, sb);
  }
}

void Compressor2::processBuffersMidSide(float* left, float* right, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0) return;
  ms.split(left, right, n);
  processPair(ms.getMid(), ms.getSide(), ms.getMid(), ms.getSide(), n);
  ms.mix(left, right, n);
}

void Compressor2::processBuffersMidSideLinked(float* left, float* right, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0) return;
  ms.split(left, right, n);
  // Both detectors read the mid before A rewrites it: A compresses the mid by its own level,
  // B the side by the same key.
  processPair(ms.getMid(), ms.getSide(), ms.getMid(), ms.getMid(), n);
  ms.mix(left, right, n);
}

void Compressor2::processBuffersSidechain(float* left, float* right, const float* keyA,
                                          const float* keyB, int count) {
  if (right == left || keyB == left) {
    c[0].processBufferSidechain(left, keyA, count);
    c[1].processBufferSidechain(right, keyB, count);
    return;
  }
  processPair(left, right, keyA, keyB, count);
}

void Compressor2::processBuffersSidechainLinked(float* left, float* right, const float* keyA,
                                                const float* keyB, int count) {
  // Nothing writes the keys, so A (0.5|keyA + keyB|) and B (0.5|keyB + keyA|) see the same
  // input: one half-sum, two detectors.
  Compressor1& A = c[0];
  Compressor1& B = c[1];
  const Compressor1::Snapshot sa = A.snapshot();
  const Compressor1::Snapshot sb = B.snapshot();
  alignas(16) float x[kChunk];
  alignas(16) float levelsA[kChunk];
  alignas(16) float levelsB[kChunk];
  for (int base = 0; base < count; base += kChunk) {
    const int n = std::min(count - base, kChunk);
    halfSumMagnitudes(keyA + base, keyB + base, x, n);
    runDetector2(A.level, sa.attack, sa.release, x, levelsA, B.level, sb.attack, sb.release, x,
                 levelsB, n);
    A.applyGain(left + base, levelsA, n, sa);
    B.applyGain(right + base, levelsB, n, sb);
  }
}

void Compressor2::processBuffersSidechainMidSide(float* left, float* right, const float* keyA,
                                                 const float* keyB, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0) return;
  ms.split(left, right, n);
  processPair(ms.getMid(), ms.getSide(), keyA, keyB, n);
  ms.mix(left, right, n);
}

void Compressor2::processBuffersSidechainMidSideLinked(float* left, float* right, const float* keyA,
                                                       const float* /*keyB*/, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0) return;
  ms.split(left, right, n);
  processPair(ms.getMid(), ms.getSide(), keyA, keyA, n);
  ms.mix(left, right, n);
}
