#include "KeyedByBand.h"

#include <algorithm>

#include "BandSplitLanes.h"
#include "CompressorMath.h"
#include "MidSideSplitter.h"

using namespace compressor_math;

namespace keyed_by_band {

#if defined(__SSE2__)
namespace {

// The detector inputs of one frame from its band (lanes 2 and 3 of `rest`: left l, right r), in
// lanes 0 (A) and 1 (B), with the operations of the two-step path, operands in the same order:
//   mode 0: |l|, |r|                      (magnitudesPair of the band)
//   mode 1: 0.5|l + r|, 0.5|r + l|        (halfSumMagnitudesPair of the band, B's sum reversed)
//   mode 2: |(l + r) 0.5|, |(l - r) 0.5|  (magnitudesPair of the band's mid and side)
//   mode 3: |(l + r) 0.5| twice           (the band's mid for both)
template <int kMode>
inline __m128 keyFromBand(__m128 rest) {
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  const __m128 half = _mm_set1_ps(0.5f);
  if constexpr (kMode == 0)
    return _mm_and_ps(_mm_movehl_ps(rest, rest), magnitude);
  // Lanes 2 and 3: swapped r, l; sum l + r, r + l.
  const __m128 swapped = _mm_shuffle_ps(rest, rest, _MM_SHUFFLE(2, 3, 2, 3));
  const __m128 sum = _mm_add_ps(rest, swapped);
  if constexpr (kMode == 1)
    return _mm_mul_ps(half, _mm_and_ps(_mm_movehl_ps(sum, sum), magnitude));
  if constexpr (kMode == 2) {
    // l + r, l - r (and r + l, r - l above them).
    const __m128 midSide = _mm_unpackhi_ps(sum, _mm_sub_ps(rest, swapped));
    return _mm_and_ps(_mm_mul_ps(midSide, half), magnitude);
  }
  const __m128 mid = _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(2, 2, 2, 2));
  return _mm_and_ps(_mm_mul_ps(mid, half), magnitude);
}

// Both detectors, as runDetectorPair runs them (positive coefficients, attack >= release in both
// or in neither: the selected product is the larger or the smaller of the two), frame by frame
// in the filters' loop, one chunk of kChunk frames at a time; after each chunk, the settling of
// the levels and the chunk's gain (the side-chain forms' second pass). The filters have read
// the chunk's frames by then, so it may be rewritten in place.
template <int kMode, bool kAttackNotFaster>
void run(Compressor2& compressor, const Compressor1::Snapshot& sa, const Compressor1::Snapshot& sb,
         BandSplitFilter3& band, const float* left, const float* right, float* a, float* b, int n) {
  Compressor1& A = compressor.c[0];
  Compressor1& B = compressor.c[1];
  const __m128 attack = _mm_setr_ps(sa.attack, sb.attack, 0.0f, 0.0f);
  const __m128 release = _mm_setr_ps(sa.release, sb.release, 0.0f, 0.0f);
  alignas(16) float levels[kPairScratch];
  for (int base = 0; base < n; base += kChunk) {
    const int frames = std::min(n - base, kChunk);
    __m128 level = _mm_setr_ps(A.level, B.level, 0.0f, 0.0f);
    auto step = [&](int k, __m128 rest) {
      const __m128 d = _mm_sub_ps(keyFromBand<kMode>(rest), level);
      const __m128 toAttack = _mm_mul_ps(attack, d), toRelease = _mm_mul_ps(release, d);
      level = _mm_add_ps(
          level, kAttackNotFaster ? _mm_max_ps(toAttack, toRelease) : _mm_min_ps(toAttack, toRelease));
      _mm_store_sd(reinterpret_cast<double*>(levels + 2 * k), _mm_castps_pd(level));
    };
    band.splitBandFeeding(left + base, right + base, frames, step, base);
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, level);
    A.level = settled(lanes[0]);
    B.level = settled(lanes[1]);
    A.applyGainLane(a + base, levels, frames, sa);
    B.applyGainLane(b + base, levels + 1, frames, sb);
  }
}

template <int kMode>
void runMode(Compressor2& compressor, const Compressor1::Snapshot& sa, const Compressor1::Snapshot& sb,
             BandSplitFilter3& band, const float* left, const float* right, float* a, float* b, int n) {
  if (sa.attack >= sa.release)
    run<kMode, true>(compressor, sa, sb, band, left, right, a, b, n);
  else
    run<kMode, false>(compressor, sa, sb, band, left, right, a, b, n);
}

}  // namespace
#endif

bool compress(Compressor2& compressor, BandSplitFilter3& band, int mode, float* left, float* right,
              int count) {
#if defined(__SSE2__)
  const int n = std::min(count, BandSplitFilter3::kCapacity);
  if (mode < 0 || mode > 3 || n <= 0 || left == right || !band.hasThreeSections())
    return false;
  const Compressor1::Snapshot sa = compressor.c[0].snapshot();
  const Compressor1::Snapshot sb = compressor.c[1].snapshot();
  const bool positive = sa.attack > 0.0f && sa.release > 0.0f && sb.attack > 0.0f && sb.release > 0.0f;
  if (!positive || (sa.attack >= sa.release) != (sb.attack >= sb.release))
    return false;
  switch (mode) {
    case 0:
      runMode<0>(compressor, sa, sb, band, left, right, left, right, n);
      return true;
    case 1:
      runMode<1>(compressor, sa, sb, band, left, right, left, right, n);
      return true;
    default:
      break;
  }
  // Mid and side are made before the pass (the filters read left and right as they came) and
  // mixed back after it.
  MidSideSplitter& ms = compressor.ms;
  ms.split(left, right, n);
  if (mode == 2)
    runMode<2>(compressor, sa, sb, band, left, right, ms.getMid(), ms.getSide(), n);
  else
    runMode<3>(compressor, sa, sb, band, left, right, ms.getMid(), ms.getSide(), n);
  ms.mix(left, right, n);
  return true;
#else
  (void)compressor, (void)band, (void)mode, (void)left, (void)right, (void)count;
  return false;
#endif
}

}  // namespace keyed_by_band
