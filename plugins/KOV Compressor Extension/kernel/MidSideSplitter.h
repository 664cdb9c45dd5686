// Converts a stereo pair to mid and side and back, through two fixed 4096-frame arrays.
//   mid = (l + r) / 2, side = (l - r) / 2;   l = mid + side, r = mid - side.
// Threads: [render] for split/mix; reset/clear while not rendering.
#pragma once

#include <array>

class MidSideSplitter {
 public:
  static constexpr int kCapacity = 4096;  // frames, the system's scratch length

  MidSideSplitter() { reset(); }

  void reset() { init(); }
  void init() { clear(); }
  void clear();

  // Writes min(count, 4096) frames of mid and side; a count of 0 or less writes nothing.
  void split(const float* left, const float* right, int count);
  // Writes min(count, 4096) frames of left and right from mid and side.
  void mix(float* left, float* right, int count) const;

  float* getMid() { return buffer[0].data(); }
  float* getSide() { return buffer[1].data(); }

  alignas(16) std::array<std::array<float, kCapacity>, 2> buffer{};
};
