#include "AUPeakLimiterTesting.h"

std::shared_ptr<AVAudioEngine> AUPeakLimiterTesting::engine(const AUPeakLimiter& limiter) {
  return limiter.engine;
}
