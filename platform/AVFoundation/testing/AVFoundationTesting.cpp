#include "AVFoundation/testing/AVFoundationTesting.h"

#include "AVFoundation/AVAudioSession.h"
#include "AVFoundation/internal/AudioDeviceOutput.h"

void AudioDeviceOutputTesting::failOpens(int count) {
  AudioDeviceOutput::failingOpens_.store(count);
}

void AVAudioSessionTesting::setFailing(bool failing) {
  static_assert(kFailureCode == AVAudioSession::kFailureCode);
  AVAudioSession::failing_.store(failing);
}
