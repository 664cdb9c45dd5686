// A value holder with a target and a ramp length, carried by every state-variable filter.
// Nothing reads it while processing; only its initial value is set.
#pragma once

#include <cstdint>

class Interpolator2 {
 public:
  Interpolator2() { setInitialValue(0.5f); }

  // Jumps to v: current and destination value both become v.
  void setInitialValue(float v) {
    currentValue = v;
    destinationValue = v;
  }

  float destinationValue = 0.0f;
  float currentValue = 0.0f;
  float increase = 0.0f;     // per sample
  std::int64_t time = 1024;  // samples of a ramp
  std::int64_t delay = 0;    // samples before a ramp starts
};
