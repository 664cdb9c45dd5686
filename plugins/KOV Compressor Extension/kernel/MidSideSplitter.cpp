#include "MidSideSplitter.h"

#include <algorithm>

void MidSideSplitter::clear() {
  for (auto& b : buffer) b.fill(0.0f);
}

void MidSideSplitter::split(const float* left, const float* right, int count) {
  const int n = std::min(count, kCapacity);
  float* mid = buffer[0].data();
  float* side = buffer[1].data();
  for (int i = 0; i < n; ++i) {
    mid[i] = (left[i] + right[i]) * 0.5f;
    side[i] = (left[i] - right[i]) * 0.5f;
  }
}

void MidSideSplitter::mix(float* left, float* right, int count) const {
  const int n = std::min(count, kCapacity);
  const float* mid = buffer[0].data();
  const float* side = buffer[1].data();
  for (int i = 0; i < n; ++i) {
    left[i] = mid[i] + side[i];
    right[i] = mid[i] - side[i];
  }
}
