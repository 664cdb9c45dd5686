// Helpers of the engine tests: test signals, WAV files written by hand (exact samples through
// FFmpeg), temporary folders, an offline engine with a player, and waiting for other threads.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <filesystem>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/AVAudioPlayerNode.h"
#include "Foundation/URL.h"
#include "TemporaryFolder.h"

namespace engine_test {

using Channels = std::vector<std::vector<float>>;

// A folder of its own under the system's temporary folder, removed with the object.
class TemporaryFolder : public test_support::TemporaryFolder {
 public:
  TemporaryFolder() : test_support::TemporaryFolder("kov-engine") {}
};

// A 32-bit float WAV file: FFmpeg decodes it to exactly these samples.
inline void writeWav(const std::string& path, const Channels& channels, int rate) {
  const std::uint32_t frames = std::uint32_t(channels[0].size()), count = std::uint32_t(channels.size());
  const std::uint32_t dataBytes = frames * count * 4, byteRate = std::uint32_t(rate) * count * 4;
  // RIFF size, fmt size 16, IEEE float (3), channels, rate, byte rate, block align, 32 bits, data size
  const std::uint32_t fields[] = {
      36 + dataBytes, 16, 3 | count << 16, std::uint32_t(rate), byteRate, count * 4 | 32 << 16, dataBytes};
  std::vector<float> interleaved;
  for (std::uint32_t n = 0; n < frames; ++n)
    for (const auto& channel : channels)
      interleaved.push_back(channel[n]);
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4).write(reinterpret_cast<const char*>(&fields[0]), 4).write("WAVEfmt ", 8);
  out.write(reinterpret_cast<const char*>(&fields[1]), 20).write("data", 4);
  out.write(reinterpret_cast<const char*>(&fields[6]), 4);
  out.write(reinterpret_cast<const char*>(interleaved.data()), std::streamsize(dataBytes));
}

// A sine of `hz` at `level`, `frames` long, at `rate`.
inline std::vector<float> sine(double hz, double level, std::size_t frames, double rate, double phase = 0.0) {
  std::vector<float> out(frames);
  for (std::size_t n = 0; n < frames; ++n)
    out[n] = float(level * std::sin(2.0 * std::numbers::pi * hz * n / rate + phase));
  return out;
}

// A distinct value for every frame (a ramp plus a tone), so a repeated or skipped frame shows.
inline Channels rampSignal(std::size_t frames) {
  Channels c(2, std::vector<float>(frames));
  for (std::size_t n = 0; n < frames; ++n) {
    c[0][n] = float(n) / float(frames) - 0.5f;
    c[1][n] = 0.25f * float(std::sin(0.01 * double(n)));
  }
  return c;
}

inline std::shared_ptr<AVAudioFile> openFile(const std::string& path) {
  std::shared_ptr<NSError> error;
  auto file = AVAudioFile::forReading(URL::fileURLWithPath(path), &error);
  EXPECT_TRUE(file) << (error ? error->description() : "");
  return file;
}

// writeWav, then openFile.
inline std::shared_ptr<AVAudioFile> wavFile(const std::string& path, const Channels& channels, int rate) {
  writeWav(path, channels, rate);
  return openFile(path);
}

// Runs `condition` until true or 10 s pass.
inline bool waitFor(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// An engine in offline manual rendering (stereo unless told otherwise, 512 frames a call) with
// one attached player.
struct OfflineEngine {
  std::shared_ptr<AVAudioEngine> engine = std::make_shared<AVAudioEngine>();
  std::shared_ptr<AVAudioPlayerNode> player = std::make_shared<AVAudioPlayerNode>();
  std::shared_ptr<AVAudioFormat> format;
  std::shared_ptr<AVAudioPCMBuffer> buffer;

  explicit OfflineEngine(double rate = 48000.0, AVAudioChannelCount channels = 2,
                         AVAudioFrameCount maxFrames = 512)
      : format(AVAudioFormat::makeStandard(rate, channels)),
        buffer(AVAudioPCMBuffer::make(format, maxFrames)) {
    engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline, format, maxFrames);
    engine->attach(player);
  }
  // Player -> main mixer with `format` (the file's when null), `file` scheduled, engine started, playing.
  void play(const std::shared_ptr<AVAudioFile>& file, std::shared_ptr<AVAudioFormat> connection = nullptr,
            AVAudioNodeCompletionHandler done = nullptr) {
    engine->connect(player, engine->mainMixerNode(), connection ? connection : file->processingFormat());
    player->scheduleFile(file, nullptr, std::move(done));
    engine->start();
    player->play();
  }
  // Renders `frames` frames in calls of at most the maximum, appended to the result.
  Channels render(std::size_t frames, AVAudioFrameCount block = 512) {
    Channels out(format->channelCount());
    while (frames > 0) {
      const AVAudioFrameCount n = AVAudioFrameCount(std::min<std::size_t>(frames, block));
      EXPECT_EQ(engine->renderOffline(n, *buffer), AVAudioEngineManualRenderingStatus::success);
      for (std::size_t c = 0; c < out.size(); ++c)
        out[c].insert(out[c].end(), buffer->floatChannelData()[c], buffer->floatChannelData()[c] + n);
      frames -= n;
    }
    return out;
  }
};

// Normalised cross-correlation of a and b at lag `lag` (b shifted right by lag).
inline double correlation(const std::vector<float>& a, const std::vector<float>& b, long lag) {
  double ab = 0, aa = 0, bb = 0;
  for (long n = 0; n < long(a.size()); ++n) {
    const long m = n - lag;
    if (m < 0 || m >= long(b.size()))
      continue;
    ab += double(a[std::size_t(n)]) * b[std::size_t(m)];
    aa += double(a[std::size_t(n)]) * a[std::size_t(n)];
    bb += double(b[std::size_t(m)]) * b[std::size_t(m)];
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

inline float peak(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  float p = 0.0f;
  for (std::size_t n = from; n < std::min(to, x.size()); ++n)
    p = std::max(p, std::fabs(x[n]));
  return p;
}

}  // namespace engine_test
