#include "AVFoundation/AVAudioSession.h"

std::atomic<bool> AVAudioSession::failing_{false};

AVAudioSession& AVAudioSession::sharedInstance() {
  static AVAudioSession session;
  return session;
}

void AVAudioSession::failIfAsked() const {
  if (failing_.load())
    throw NSError(NSOSStatusErrorDomain, kFailureCode);
}

void AVAudioSession::setCategory(const AVAudioSessionCategory& category, const AVAudioSessionMode&,
                                 AVAudioSessionCategoryOptions) {
  failIfAsked();
  category_ = category;
}

void AVAudioSession::setActive(bool active, AVAudioSessionSetActiveOptions) {
  failIfAsked();
  active_.store(active);
}
