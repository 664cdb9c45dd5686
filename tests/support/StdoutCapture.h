// Capturing what a test prints on stdout. Lines printed through safeprint and work queued for
// the main queue print only when the main loop runs, so capturing starts with the loop drained:
// nothing left over from earlier work lands in the capture. [main]
//
//   stdout_capture::beginCapture();
//   safeprint("line");
//   MainLoop::runUntilIdle();
//   EXPECT_EQ(stdout_capture::endCapture(), "line\n");
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"

namespace stdout_capture {

// Prints what is queued for the main loop, then starts capturing stdout.
inline void beginCapture() {
  MainLoop::runUntilIdle();
  std::fflush(stdout);
  testing::internal::CaptureStdout();
}

// Stops capturing and returns the text printed since beginCapture(). The main loop is not run
// here: run it first for lines still queued.
inline std::string endCapture() {
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// The lines of a text without their '\n'; a last piece without '\n' is a line too.
inline std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size())
    lines.push_back(text.substr(start));
  return lines;
}

}  // namespace stdout_capture
