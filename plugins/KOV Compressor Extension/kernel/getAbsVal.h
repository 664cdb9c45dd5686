// Magnitude of a sample. [any]
#pragma once

inline float getAbsVal(float x) {
  return (x < 0.0f) ? -x : x;
}
