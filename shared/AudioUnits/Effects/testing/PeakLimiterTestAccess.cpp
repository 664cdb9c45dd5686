#include "PeakLimiterTestAccess.h"

#include "AUPeakLimiter.h"

std::shared_ptr<AVAudioEngine> PeakLimiterTestAccess::engine(const AUPeakLimiter& limiter) {
  return limiter.engine;
}
