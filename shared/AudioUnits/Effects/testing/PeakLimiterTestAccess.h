// Test-only access to the peak-limiter wrapper's self-test engine. Built into
// kov_peaklimiter_testing; no deliverable links it.
#pragma once

#include <memory>

class AUPeakLimiter;
class AVAudioEngine;

struct PeakLimiterTestAccess {
  // The private engine of the latest self-test (null before the first).
  static std::shared_ptr<AVAudioEngine> engine(const AUPeakLimiter& limiter);
};
