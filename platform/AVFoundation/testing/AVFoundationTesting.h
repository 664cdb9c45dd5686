// Failures on demand for tests of the audio engine's callers: the device that does not open and
// the session that refuses. Built into platform_audio_testing only; a deliverable never links it.
#pragma once

// Device opens of the engine's output. [control]
struct AudioDeviceOutputTesting {
  // Makes the next `count` device opens fail as if there were no device (1: the fallback runs;
  // 2: no output at all).
  static void failOpens(int count);
};

// The audio session. [any]
struct AVAudioSessionTesting {
  // The error code the session's calls throw while failing (NSOSStatusErrorDomain), '!pri'.
  static constexpr long long kFailureCode = 561017449;
  // While set, setCategory and setActive throw NSError (NSOSStatusErrorDomain, kFailureCode)
  // and change nothing.
  static void setFailing(bool failing);
};
