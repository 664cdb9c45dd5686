#include "AVFoundation/AVAudioTime.h"

#include <cstdio>

#include "Foundation/ObjectAddress.h"

std::shared_ptr<AVAudioTime> AVAudioTime::makeWithHostTime(UInt64 hostTime) {
  AudioTimeStamp stamp;
  stamp.mHostTime = hostTime;
  stamp.mFlags = kAudioTimeStampHostTimeValid;
  return std::make_shared<AVAudioTime>(stamp, 0.0);
}

std::shared_ptr<AVAudioTime> AVAudioTime::makeWithSampleTime(AUEventSampleTime sampleTime,
                                                             double sampleRate) {
  AudioTimeStamp stamp;
  stamp.mSampleTime = double(sampleTime);
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  return std::make_shared<AVAudioTime>(stamp, sampleRate);
}

std::shared_ptr<AVAudioTime> AVAudioTime::make(const AudioTimeStamp& timeStamp, double sampleRate) {
  return std::make_shared<AVAudioTime>(timeStamp, sampleRate);
}

std::string AVAudioTime::description() const {
  char host[32] = "invalid";
  char sample[32] = "invalid";
  if (isHostTimeValid())
    std::snprintf(host, sizeof host, "%llu", (unsigned long long)stamp_.mHostTime);
  if (isSampleTimeValid())
    std::snprintf(sample, sizeof sample, "%lld", (long long)sampleTime());
  char text[160];
  std::snprintf(text, sizeof text, "<AVAudioTime %s: hostTime = %s; sampleTime = %s; rate = %g>",
                describeAddress(this).c_str(), host, sample, sampleRate_);
  return text;
}
