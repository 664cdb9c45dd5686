// The application's audio session (AVAudioSession). Linux has no session to configure: the calls
// succeed and change nothing, unless a test has asked them to fail (to reach callers' error
// paths; then they throw NSError(NSOSStatusErrorDomain, '!pri') and change nothing).
// Threads: [any].
#pragma once

#include <atomic>
#include <string>

#include "Foundation/NSError.h"

using AVAudioSessionCategory = std::string;
using AVAudioSessionMode = std::string;
inline const AVAudioSessionCategory AVAudioSessionCategoryPlayback = "AVAudioSessionCategoryPlayback";
inline const AVAudioSessionMode AVAudioSessionModeDefault = "AVAudioSessionModeDefault";
using AVAudioSessionCategoryOptions = unsigned long;
using AVAudioSessionSetActiveOptions = unsigned long;

class AVAudioSession {
 public:
  static AVAudioSession& sharedInstance();

  // setCategory(_:mode:options:) throws.
  void setCategory(const AVAudioSessionCategory& category, const AVAudioSessionMode& mode,
                   AVAudioSessionCategoryOptions options);
  // setActive(_:options:) throws.
  void setActive(bool active, AVAudioSessionSetActiveOptions options);

  const AVAudioSessionCategory& category() const { return category_; }
  bool isActive() const { return active_.load(); }

 private:
  friend struct AVAudioSessionTesting;
  // The error code of a failure a test asked for, '!pri'.
  static constexpr std::int64_t kFailureCode = 561017449;
  static std::atomic<bool> failing_;  // set by tests only

  AVAudioSession() = default;
  void failIfAsked() const;
  AVAudioSessionCategory category_ = "AVAudioSessionCategorySoloAmbient";
  std::atomic<bool> active_{false};
};
