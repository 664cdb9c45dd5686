// Helpers of the audio-unit tests: capturing printed lines (the main loop drained first, so that
// lines queued by safeprint are included) and leaving out the kernel's parameter lines.
#pragma once

#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "StdoutCapture.h"

namespace unittest {

// Starts capturing stdout with nothing left over from earlier work.
using stdout_capture::beginCapture;

// Prints what is queued for the main loop, stops capturing and returns the lines.
inline std::vector<std::string> endCapture(bool drain = true) {
  if (drain) MainLoop::runUntilIdle();
  return stdout_capture::splitLines(stdout_capture::endCapture());
}

// The lines without the kernel's per-parameter print ("unit received parameter : ...").
inline std::vector<std::string> withoutKernelLines(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    if (line.rfind("unit received parameter : ", 0) != 0) kept.push_back(line);
  }
  return kept;
}

}  // namespace unittest
