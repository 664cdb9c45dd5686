// Helpers of the audio-unit tests: capturing printed lines (the main loop drained first, so that
// lines queued by safeprint are included) and a few signal helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"

namespace unittest {

// Starts capturing stdout with nothing left over from earlier work.
inline void beginCapture() {
  MainLoop::runUntilIdle();
  std::fflush(stdout);
  testing::internal::CaptureStdout();
}

// Prints what is queued for the main loop, stops capturing and returns the lines.
inline std::vector<std::string> endCapture(bool drain = true) {
  if (drain) MainLoop::runUntilIdle();
  std::fflush(stdout);
  const std::string text = testing::internal::GetCapturedStdout();
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
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
