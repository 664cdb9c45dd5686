#include "AVFoundation/AVAudioSession.h"

namespace {
std::atomic<bool> failing{false};
}

AVAudioSession& AVAudioSession::sharedInstance() {
  static AVAudioSession session;
  return session;
}

void AVAudioSession::setFailingForTesting(bool value) {
  failing.store(value);
}

void AVAudioSession::failIfAsked() const {
  if (failing.load())
    throw NSError(NSOSStatusErrorDomain, kFailureCodeForTesting);
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
