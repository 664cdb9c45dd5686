// Test-only entry points of the peak-limiter wrapper. Built into kov_peaklimiter_testing, which
// only tests link.
#pragma once

#include <memory>

#include "AUPeakLimiter.h"

struct AUPeakLimiterTesting {
  // The private engine of the latest self-test (null before the first).
  static std::shared_ptr<AVAudioEngine> engine(const AUPeakLimiter& limiter);
};
