#include "MidSideSplitter.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void MidSideSplitter::clear() {
  for (auto& b : buffer)
    b.fill(0.0f);
}

void MidSideSplitter::split(const float* left, const float* right, int count) {
  const int n = std::min(count, kCapacity);
  float* mid = buffer[0].data();
  float* side = buffer[1].data();
  int i = 0;
#if defined(__SSE2__)
  const __m128 half = _mm_set1_ps(0.5f);
  for (; i + 4 <= n; i += 4) {
    const __m128 l = _mm_loadu_ps(left + i);
    const __m128 r = _mm_loadu_ps(right + i);
    _mm_store_ps(mid + i, _mm_mul_ps(_mm_add_ps(l, r), half));
    _mm_store_ps(side + i, _mm_mul_ps(_mm_sub_ps(l, r), half));
  }
#endif
  for (; i < n; ++i) {
    mid[i] = (left[i] + right[i]) * 0.5f;
    side[i] = (left[i] - right[i]) * 0.5f;
  }
}

void MidSideSplitter::mix(float* left, float* right, int count) const {
  const int n = std::min(count, kCapacity);
  const float* mid = buffer[0].data();
  const float* side = buffer[1].data();
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= n; i += 4) {
    const __m128 m = _mm_load_ps(mid + i);
    const __m128 s = _mm_load_ps(side + i);
    _mm_storeu_ps(left + i, _mm_add_ps(m, s));
    _mm_storeu_ps(right + i, _mm_sub_ps(m, s));
  }
#endif
  for (; i < n; ++i) {
    left[i] = mid[i] + side[i];
    right[i] = mid[i] - side[i];
  }
}
