// Writes PCM audio as an AAC-LC ".m4a" file with FFmpeg's own AAC encoder (libavcodec) and MP4
// muxer (libavformat). The muxer records the encoder's priming and the true length in an edit
// list (counted in frames, not rounded to the movie's default milliseconds), so a reader that
// honours it gets back exactly the frames written. The output is
// bit-exact (no encoder or muxer version strings, no time stamps): the same samples give the
// same bytes on every run. Threads: [any]; one file per call, calls may run in parallel.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace loops {

struct AacFileWriteError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// `channels` holds one vector per channel (1 or 2), all of the same length. Throws
// AacFileWriteError naming the step that failed.
void writeAacFile(const std::string& path, const std::vector<const std::vector<float>*>& channels,
                  int sampleRate, int bitRate);

}  // namespace loops
