// A moment on the host's clock and/or on a sample timeline. Immutable. [any]
#pragma once

#include <memory>
#include <string>

#include "AudioToolbox/CoreAudioTypes.h"

class AVAudioTime {
 public:
  // init(hostTime:) — the sample time is invalid.
  static std::shared_ptr<AVAudioTime> makeWithHostTime(UInt64 hostTime);
  // init(sampleTime:atRate:) — the host time is invalid.
  static std::shared_ptr<AVAudioTime> makeWithSampleTime(AUEventSampleTime sampleTime, double sampleRate);
  // init(audioTimeStamp:sampleRate:) — validity from the stamp's flags.
  static std::shared_ptr<AVAudioTime> make(const AudioTimeStamp& timeStamp, double sampleRate);

  bool isHostTimeValid() const { return (stamp_.mFlags & kAudioTimeStampHostTimeValid) != 0; }
  UInt64 hostTime() const { return stamp_.mHostTime; }
  bool isSampleTimeValid() const { return (stamp_.mFlags & kAudioTimeStampSampleTimeValid) != 0; }
  AUEventSampleTime sampleTime() const { return AUEventSampleTime(stamp_.mSampleTime); }
  double sampleRate() const { return sampleRate_; }

  // "<AVAudioTime 0x…: host time 0, sample time invalid>" style, one line:
  // "<AVAudioTime 0x…: hostTime = 0; sampleTime = invalid; rate = 0.0>"
  std::string description() const;

  AVAudioTime(const AudioTimeStamp& stamp, double sampleRate) : stamp_(stamp), sampleRate_(sampleRate) {}

 private:
  AudioTimeStamp stamp_;
  double sampleRate_;
};
