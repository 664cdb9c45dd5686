#include "AudioToolbox/internal/PeakLimiterDSP.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Reductions are counted in quanta of 2^-22 (Q per unit) and summed as 32-bit integers
// (at most 256 * 2^22 = 2^30), so the running mean never drifts: after any overload the sum
// returns to exactly 0 and the gain to exactly 1.
constexpr float kQuantum = 4194304.0f;  // Q = 2^22
// Larger magnitudes (after pre-gain) and non-finite samples are taken as silence: Q / 1e18 is
// still a normal float, so the required reduction stays exact.
constexpr float kLargestSample = 1e18f;
// The release memory (in quanta) is set to 0 below this at the end of each hold block, so it
// ends exactly at 0 and never runs through subnormal numbers (within one block of at most
// 2.2 ms it falls by less than a factor 2^15 at the shortest decay time, far from them).
constexpr float kReleaseFloor = 1.0f / 256.0f;

// Maximum and minimum by value, NaN-free inputs assumed. The SSE forms below are
// _mm_max_ps(b, a) and _mm_min_ps(b, a), which give exactly the same results.
inline float larger(float a, float b) {
  return a < b ? b : a;
}
inline float smaller(float a, float b) {
  return b < a ? b : a;
}

float limited(float value, float lo, float hi, float fallback) {
  if (std::isnan(value))
    return fallback;
  return std::clamp(value, lo, hi);
}

// Per-frame factor that covers 99 % of the distance to the target in `seconds`:
// c^(seconds * rate) = 0.01.
float coefficientFor(float seconds, double sampleRate) {
  return float(std::exp(std::log(0.01) / (double(seconds) * sampleRate)));
}

// Pass 1 for one frame: x' (silenced when unusable) into the delay line, v into `reduction`.
inline void prepareFrame(float inLeft, float inRight, float preGain, float& delayLeft, float& delayRight,
                         float& reduction) {
  const float left = inLeft * preGain, right = inRight * preGain;
  const float magLeft = std::fabs(left), magRight = std::fabs(right);
  // NaN fails the comparison, so it is silenced with infinities and huge values.
  const bool usableLeft = magLeft <= kLargestSample, usableRight = magRight <= kLargestSample;
  delayLeft = usableLeft ? left : 0.0f;
  delayRight = usableRight ? right : 0.0f;
  const float peak = larger(usableLeft ? magLeft : 0.0f, usableRight ? magRight : 0.0f);
  reduction = kQuantum - kQuantum / larger(peak, 1.0f);
}

// Pass 3 for one frame: the delayed sample times the gain, limited to full scale.
inline float gainFor(std::int32_t sum, float meanScale) {
  return 1.0f - float(sum) * meanScale;
}
inline float outputFrame(float delayed, float gain) {
  return smaller(larger(delayed * gain, -1.0f), 1.0f);
}

// Passes 2 and 3 of one lap, in one loop.
struct LapOutput {
  const float* held;       // H of each frame
  const float* delayLeft;  // x' of W frames ago
  const float* delayRight;
  std::int32_t* quantized;  // the ring of max(H, u), from this lap's first frame
  float* outLeft;
  float* outRight;
};

// Pass 2, frame by frame: the release memory moves towards the hold value by
//   u = H + (u - H) * (H > u ? attack : decay).
// With d = u - H, the attack product is the one wanted when d < 0 and the decay product when
// d > 0; when the attack coefficient is the smaller, that is always the larger of d * attack
// and d * decay, otherwise the smaller: the same value without a selection per frame.
// Pass 3: the running sum of max(H, u) over the last W frames (in whole quanta, exact in any
// order), and the output, the sample of W frames ago times 1 - sum / (W Q).
// Four frames per round where SSE2 exists: the four steps of the recursion on the lanes of the
// hold values, then the sums and outputs of the four frames together, which the processor can
// work on while the recursion goes on.
// kResting: every H of the lap and u are 0 (nothing to limit for the last W+1 frames). Then u
// stays exactly +0 (d = +0, both products +0, H + 0 = +0), and the recursion is skipped.
template <bool kAttackNotSlower, bool kResting = false>
void releaseAndOutput(const LapOutput& lap, std::uint32_t frames, float attackCoef, float decayCoef,
                      float meanScale, float& release, std::int32_t& sum) {
  std::size_t k = 0;
#if defined(__SSE2__)
  // The recursion on the low lanes of registers: larger(a, b) is _mm_max_ss(b, a) and
  // smaller(a, b) is _mm_min_ss(b, a), also for equal values and NaN.
  const __m128 attack1 = _mm_set_ss(attackCoef), decay1 = _mm_set_ss(decayCoef);
  __m128 release1 = _mm_set_ss(release);
  auto step = [&](__m128 hold) {
    const __m128 distance = _mm_sub_ss(release1, hold);
    const __m128 toAttack = _mm_mul_ss(distance, attack1), toDecay = _mm_mul_ss(distance, decay1);
    release1 =
        _mm_add_ss(hold, kAttackNotSlower ? _mm_max_ss(toDecay, toAttack) : _mm_min_ss(toDecay, toAttack));
    return release1;
  };
  const std::size_t groups = frames & ~std::uint32_t(3);
  const __m128 scale4 = _mm_set1_ps(meanScale), one4 = _mm_set1_ps(1.0f), minusOne4 = _mm_set1_ps(-1.0f);
  __m128i sum4 = _mm_set1_epi32(sum);
  for (; k < groups; k += 4) {
    const __m128 held4 = _mm_loadu_ps(lap.held + k);
    __m128 released4 = _mm_setzero_ps();
    if constexpr (!kResting) {
      const __m128 u0 = step(held4);
      const __m128 u1 = step(_mm_shuffle_ps(held4, held4, _MM_SHUFFLE(1, 1, 1, 1)));
      const __m128 u2 = step(_mm_movehl_ps(held4, held4));
      const __m128 u3 = step(_mm_shuffle_ps(held4, held4, _MM_SHUFFLE(3, 3, 3, 3)));
      released4 = _mm_movelh_ps(_mm_unpacklo_ps(u0, u1), _mm_unpacklo_ps(u2, u3));
    }
    // larger(H, u) is _mm_max_ps(u, H); truncation as in the scalar conversion.
    const __m128i quantum = _mm_cvttps_epi32(_mm_max_ps(released4, held4));
    __m128i change =
        _mm_sub_epi32(quantum, _mm_loadu_si128(reinterpret_cast<const __m128i*>(lap.quantized + k)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lap.quantized + k), quantum);
    change = _mm_add_epi32(change, _mm_slli_si128(change, 4));
    change = _mm_add_epi32(change, _mm_slli_si128(change, 8));
    const __m128i sums = _mm_add_epi32(change, _mm_shuffle_epi32(sum4, _MM_SHUFFLE(3, 3, 3, 3)));
    sum4 = sums;
    const __m128 gain = _mm_sub_ps(one4, _mm_mul_ps(_mm_cvtepi32_ps(sums), scale4));
    const __m128 left = _mm_mul_ps(_mm_loadu_ps(lap.delayLeft + k), gain);
    const __m128 right = _mm_mul_ps(_mm_loadu_ps(lap.delayRight + k), gain);
    _mm_storeu_ps(lap.outLeft + k, _mm_min_ps(one4, _mm_max_ps(minusOne4, left)));
    _mm_storeu_ps(lap.outRight + k, _mm_min_ps(one4, _mm_max_ps(minusOne4, right)));
  }
  release = kResting ? 0.0f : _mm_cvtss_f32(release1);
  if (k > 0) {
    sum = _mm_cvtsi128_si32(_mm_shuffle_epi32(sum4, _MM_SHUFFLE(3, 3, 3, 3)));
  }
#endif
  for (; k < frames; ++k) {
    const float hold = lap.held[k];
    if constexpr (kResting) {
      release = 0.0f;
    } else {
      const float distance = release - hold;
      const float toAttack = distance * attackCoef, toDecay = distance * decayCoef;
      release = hold + (kAttackNotSlower ? larger(toAttack, toDecay) : smaller(toAttack, toDecay));
    }
    const std::int32_t quantum = std::int32_t(larger(hold, release));
    sum += quantum - lap.quantized[k];
    lap.quantized[k] = quantum;
    const float gain = gainFor(sum, meanScale);
    lap.outLeft[k] = outputFrame(lap.delayLeft[k], gain);
    lap.outRight[k] = outputFrame(lap.delayRight[k], gain);
  }
}

// Block end: suffixMax[j] = max(reduction[j .. count-1]).
void suffixMaxima(const float* reduction, float* suffixMax, std::uint32_t count) {
  std::size_t j = count;
#if defined(__SSE2__)
  // Within each group of four, shifting lanes down (zeros, the neutral value, fill in) and
  // taking maxima twice gives each lane the maximum of itself and the lanes above; then the
  // maximum of everything above the group. Maxima are exact in any order.
  __m128 above = _mm_setzero_ps();
  while (j >= 4) {
    j -= 4;
    __m128 group = _mm_loadu_ps(reduction + j);
    group = _mm_max_ps(group, _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(group), 4)));
    group = _mm_max_ps(group, _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(group), 8)));
    group = _mm_max_ps(group, above);
    _mm_storeu_ps(suffixMax + j, group);
    above = _mm_shuffle_ps(group, group, 0);
  }
#endif
  float suffix = j < count ? suffixMax[j] : 0.0f;
  while (j-- > 0) {
    suffix = larger(suffix, reduction[j]);
    suffixMax[j] = suffix;
  }
}

}  // namespace

PeakLimiterDSP::PeakLimiterDSP() {
  allocate(48000.0);
}

void PeakLimiterDSP::setAttackTime(float seconds) {
  attackTime_.store(limited(seconds, kMinAttackTime, kMaxAttackTime, kDefaultAttackTime),
                    std::memory_order_relaxed);
}

void PeakLimiterDSP::setDecayTime(float seconds) {
  decayTime_.store(limited(seconds, kMinDecayTime, kMaxDecayTime, kDefaultDecayTime),
                   std::memory_order_relaxed);
}

void PeakLimiterDSP::setPreGain(float decibels) {
  preGain_.store(limited(decibels, kMinPreGain, kMaxPreGain, kDefaultPreGain), std::memory_order_relaxed);
}

void PeakLimiterDSP::allocate(double sampleRate) {
  if (std::isnan(sampleRate))
    sampleRate = 48000.0;
  sampleRate_ = std::clamp(sampleRate, kMinSampleRate, kMaxSampleRate);
  // W = 2^round(log2(1.5 ms * rate)), at most kMaxLookAheadFrames.
  const double exponent = std::round(std::log2(kNominalLookAhead * sampleRate_));
  window_ = std::min(kMaxLookAheadFrames, std::uint32_t(1) << int(exponent));
  meanScale_ = 1.0f / (kQuantum * float(window_));  // exact: W is a power of two
  coefficientsValid_ = false;
  reset();
}

void PeakLimiterDSP::reset() {
  index_ = 0;
  phase_ = 0;
  prefixMax_ = 0;
  release_ = 0;
  sum_ = 0;
  reduction_.fill(0.0f);
  suffixMax_.fill(0.0f);
  quantized_.fill(0);
  delayLeft_.fill(0.0f);
  delayRight_.fill(0.0f);
}

void PeakLimiterDSP::updateCoefficients() {
  const float attack = attackTime(), decay = decayTime(), preGain = this->preGain();
  if (!coefficientsValid_ || attack != cachedAttack_)
    attackCoef_ = coefficientFor(attack, sampleRate_);
  if (!coefficientsValid_ || decay != cachedDecay_)
    decayCoef_ = coefficientFor(decay, sampleRate_);
  if (!coefficientsValid_ || preGain != cachedPreGain_)
    preGainFactor_ = std::pow(10.0f, preGain / 20.0f);
  cachedAttack_ = attack;
  cachedDecay_ = decay;
  cachedPreGain_ = preGain;
  coefficientsValid_ = true;
}

void PeakLimiterDSP::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                             std::uint32_t frames) {
  updateCoefficients();
  while (frames > 0) {
    const std::uint32_t lap = std::min(frames, window_ - index_);
    processLap(inLeft, inRight, outLeft, outRight, lap);
    inLeft += lap;
    inRight += lap;
    outLeft += lap;
    outRight += lap;
    frames -= lap;
  }
}

// Two passes over the lap, four frames at a time where SSE2 exists, with the same arithmetic per
// frame as the scalar code (maxima and integer sums are exact in any order, so results do not
// depend on how calls split the stream). All inputs of the lap are read by the first pass, before
// the second writes any output: in place is safe.
void PeakLimiterDSP::processLap(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                                std::uint32_t frames) {
  const std::uint32_t start = index_;
  const std::uint32_t readAt = phase_ * window_ + start;
  const std::uint32_t writeAt = (phase_ ^ 1u) * window_ + start;
  float* const reduction = reduction_.data() + start;

  // 1. x' = input * pre-gain into the delay line; v = Q - Q / max(1, peak) into the hold
  //    block, so 1 - v/Q is the largest gain that keeps the frame within full scale; and the
  //    hold value H = max(v over the last W+1 frames): the previous block from this position on
  //    (suffixMax) and this block so far (a running maximum).
  float* const held = held_.data();
  {
    const float preGain = preGainFactor_;
    float* const delayLeft = delayLeft_.data() + writeAt;
    float* const delayRight = delayRight_.data() + writeAt;
    const float* const suffixMax = suffixMax_.data() + start;
    float prefixMax = prefixMax_;
    std::size_t k = 0;
#if defined(__SSE2__)
    const std::size_t groups = frames & ~std::uint32_t(3);
    const __m128 gain4 = _mm_set1_ps(preGain), largest4 = _mm_set1_ps(kLargestSample);
    const __m128 quantum4 = _mm_set1_ps(kQuantum), one4 = _mm_set1_ps(1.0f);
    const __m128 magnitude4 = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 prefix4 = _mm_set1_ps(prefixMax);
    for (; k < groups; k += 4) {
      const __m128 left = _mm_mul_ps(_mm_loadu_ps(inLeft + k), gain4);
      const __m128 right = _mm_mul_ps(_mm_loadu_ps(inRight + k), gain4);
      const __m128 usableLeft = _mm_cmple_ps(_mm_and_ps(left, magnitude4), largest4);
      const __m128 usableRight = _mm_cmple_ps(_mm_and_ps(right, magnitude4), largest4);
      const __m128 cleanLeft = _mm_and_ps(left, usableLeft), cleanRight = _mm_and_ps(right, usableRight);
      _mm_storeu_ps(delayLeft + k, cleanLeft);
      _mm_storeu_ps(delayRight + k, cleanRight);
      const __m128 peak = _mm_max_ps(_mm_and_ps(cleanRight, magnitude4), _mm_and_ps(cleanLeft, magnitude4));
      const __m128 v = _mm_sub_ps(quantum4, _mm_div_ps(quantum4, _mm_max_ps(one4, peak)));
      _mm_storeu_ps(reduction + k, v);
      // Running maximum: each lane with the lanes below it (shifted up, zeros filling in: v is
      // never below +0), then with the frames before the group. Maxima are exact in any order.
      __m128 run = _mm_max_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 4)));
      run = _mm_max_ps(run, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(run), 8)));
      run = _mm_max_ps(run, prefix4);
      prefix4 = _mm_shuffle_ps(run, run, _MM_SHUFFLE(3, 3, 3, 3));
      _mm_storeu_ps(held + k, _mm_max_ps(run, _mm_loadu_ps(suffixMax + k)));
    }
    prefixMax = _mm_cvtss_f32(prefix4);
#endif
    for (; k < frames; ++k) {
      prepareFrame(inLeft[k], inRight[k], preGain, delayLeft[k], delayRight[k], reduction[k]);
      prefixMax = larger(prefixMax, reduction[k]);
      held[k] = larger(suffixMax[k], prefixMax);
    }
    prefixMax_ = prefixMax;
  }

  // 2. The release memory u, frame by frame (the one recursion of the limiter), and 3. the
  //    running sum of max(H, u) over the last W frames and the output.
  const float* const delayed[2] = {delayLeft_.data() + readAt, delayRight_.data() + readAt};
  const LapOutput lap{held, delayed[0], delayed[1], quantized_.data() + start, outLeft, outRight};
  // H of the lap is at most the larger of the previous block's maximum from here on and this
  // block's maximum so far.
  if (release_ == 0.0f && prefixMax_ == 0.0f && suffixMax_[start] == 0.0f) {
    releaseAndOutput<true, true>(lap, frames, attackCoef_, decayCoef_, meanScale_, release_, sum_);
  } else if (attackCoef_ <= decayCoef_) {
    releaseAndOutput<true>(lap, frames, attackCoef_, decayCoef_, meanScale_, release_, sum_);
  } else {
    releaseAndOutput<false>(lap, frames, attackCoef_, decayCoef_, meanScale_, release_, sum_);
  }

  index_ = start + frames;
  if (index_ == window_) {
    // Block end: the suffix maxima of the block just completed serve the next block (van Herk /
    // Gil-Werman running maximum: three comparisons per frame at any W), and the halves of the
    // delay line swap.
    index_ = 0;
    phase_ ^= 1u;
    prefixMax_ = 0.0f;
    if (release_ < kReleaseFloor)
      release_ = 0.0f;
    suffixMaxima(reduction_.data(), suffixMax_.data(), window_);
  }
}
