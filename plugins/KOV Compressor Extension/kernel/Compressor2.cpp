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
// |sourceB|. The two detectors are independent, so they run as one pair. A source may be the
// buffer it keys: each magnitude is taken before its own sample is rewritten.
void Compressor2::processPair(float* a, float* b, const float* sourceA, const float* sourceB, int count) {
  processPairChunks(a, b, count,
                    [&](int base, float* x, int n) { magnitudesPair(sourceA + base, sourceB + base, x, n); });
}

// A and B run their detectors as one interleaved pair, chunk by chunk. `fill(base, x, n)`
// writes the detector inputs of samples base .. base + n - 1 into x, A's and B's alternating.
template <typename Fill>
void Compressor2::processPairChunks(float* a, float* b, int count, Fill fill) {
  Compressor1& A = c[0];
  Compressor1& B = c[1];
  const Compressor1::Snapshot sa = A.snapshot();
  const Compressor1::Snapshot sb = B.snapshot();
  alignas(16) float x[kPairScratch];
  alignas(16) float levels[kPairScratch];
  for (int base = 0; base < count; base += kChunk) {
    const int n = std::min(count - base, kChunk);
    fill(base, x, n);
    runDetectorPair(A.level, sa.attack, sa.release, B.level, sb.attack, sb.release, x, levels, n);
    A.applyGainLane(a + base, levels, n, sa);
    B.applyGainLane(b + base, levels + 1, n, sb);
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
  // B's detector needs left as A has already written it. A's chunk k+1 depends only on the
  // input, so it is paired with B's chunk k: A runs one chunk ahead of B.
  if (count <= 0)
    return;
  if (right == left) {
    c[0].processBufferLinked(left, right, count);
    c[1].processBufferLinked(right, left, count);
    return;
  }
  Compressor1& A = c[0];
  Compressor1& B = c[1];
  const Compressor1::Snapshot sa = A.snapshot();
  const Compressor1::Snapshot sb = B.snapshot();
  alignas(16) float x[kPairScratch];
  alignas(16) float levels[kPairScratch];

  int n = std::min(count, kChunk);  // chunk k = [base, base + n)
  halfSumMagnitudes(left, right, x, n);
  A.detect(x, levels, n, sa);
  A.applyGain(left, levels, n, sa);
  for (int base = 0; base < count; base += kChunk) {
    n = std::min(count - base, kChunk);
    const int next = base + kChunk;
    const int m = next < count ? std::min(count - next, kChunk) : 0;  // frames of chunk k+1
    // Pairs: A on chunk k+1 (left, right as given) and B on chunk k (right, left'). Without a
    // chunk k+1 the pair reads nothing (and points nowhere past the buffers).
    const int ahead = m > 0 ? next : base;
    halfSumMagnitudesPair(left + ahead, right + ahead, right + base, left + base, x, m);
    runDetectorPair(A.level, sa.attack, sa.release, B.level, sb.attack, sb.release, x, levels, m);
    if (m > 0)
      A.applyGainLane(left + next, levels, m, sa);
    B.applyGainLane(right + base, levels + 1, m, sb);
    if (m < n) {
      // The rest of B's chunk on its own (the last chunk, or one longer than its successor).
      alignas(16) float xb[kChunk];
      alignas(16) float lb[kChunk];
      halfSumMagnitudes(right + base + m, left + base + m, xb, n - m);
      B.detect(xb, lb, n - m, sb);
      B.applyGain(right + base + m, lb, n - m, sb);
    }
  }
}

void Compressor2::processBuffersMidSide(float* left, float* right, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0)
    return;
  ms.split(left, right, n);
  processPair(ms.getMid(), ms.getSide(), ms.getMid(), ms.getSide(), n);
  ms.mix(left, right, n);
}

void Compressor2::processBuffersMidSideLinked(float* left, float* right, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0)
    return;
  ms.split(left, right, n);
  // Both detectors read the mid before A rewrites it: A compresses the mid by its own level,
  // B the side by the same key.
  processPair(ms.getMid(), ms.getSide(), ms.getMid(), ms.getMid(), n);
  ms.mix(left, right, n);
}

void Compressor2::processBuffersSidechain(float* left, float* right, const float* keyA, const float* keyB,
                                          int count) {
  if (right == left || keyB == left) {
    c[0].processBufferSidechain(left, keyA, count);
    c[1].processBufferSidechain(right, keyB, count);
    return;
  }
  processPair(left, right, keyA, keyB, count);
}

void Compressor2::processBuffersSidechainLinked(float* left, float* right, const float* keyA,
                                                const float* keyB, int count) {
  if (keyA == left || keyB == left) {
    // A key that is the left channel: B hears it as A's pass left it.
    c[0].processBufferSidechainLinked(left, right, keyA, keyB, count);
    c[1].processBufferSidechainLinked(right, left, keyB, keyA, count);
    return;
  }
  // Nothing writes the keys: A hears 0.5|keyA + keyB|, B 0.5|keyB + keyA|, the same values.
  processPairChunks(left, right, count, [&](int base, float* x, int n) {
    halfSumMagnitudesPair(keyA + base, keyB + base, keyB + base, keyA + base, x, n);
  });
}

void Compressor2::processBuffersSidechainMidSide(float* left, float* right, const float* keyA,
                                                 const float* keyB, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0)
    return;
  ms.split(left, right, n);
  processPair(ms.getMid(), ms.getSide(), keyA, keyB, n);
  ms.mix(left, right, n);
}

void Compressor2::processBuffersSidechainMidSideLinked(float* left, float* right, const float* keyA,
                                                       const float* /*keyB*/, int count) {
  const int n = std::min(count, MidSideSplitter::kCapacity);
  if (n <= 0)
    return;
  ms.split(left, right, n);
  processPair(ms.getMid(), ms.getSide(), keyA, keyA, n);
  ms.mix(left, right, n);
}
