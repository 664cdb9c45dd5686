// The sound card, through SDL2 audio: float32 stereo at the device's preferred rate, in blocks
// of about 512 frames, pulled by a render function on SDL's device thread.
//
// Without a sound card (no device opens with the configured or default driver) it falls back
// to SDL's "dummy" driver, which calls back paced in real time and plays nothing, and says so
// in one line on stderr (once per process). Opening fails only when not even that opens.
//
// Threads: open, start, pause and close are [control] (serialised inside: SDL's audio set-up is
// not thread safe); the render function runs on the device thread [render].
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AVFoundation/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioDeviceOutput {
 public:
  // Fills `frames` frames of each of `channels` planar channels. [render]
  using RenderFunction = void (*)(void* context, float* const* channels, std::uint32_t frames) noexcept;

  static constexpr std::uint32_t kChannels = 2;
  static constexpr std::uint32_t kBlockFrames = 512;

  // The default device's preferred rate, or 48 kHz when it cannot be asked. [control]
  static double preferredSampleRate();
  // Opens the device paused. Null, with the reason in *error, when no output at all opens.
  static std::unique_ptr<AudioDeviceOutput> open(double sampleRate, RenderFunction render, void* context,
                                                 std::string* error);
  ~AudioDeviceOutput();  // closes; no callback runs after it returns
  AudioDeviceOutput(const AudioDeviceOutput&) = delete;
  AudioDeviceOutput& operator=(const AudioDeviceOutput&) = delete;

  // Lets the device call back / stops it; pause() returns only when no callback is running.
  void start();
  void pause();
  std::uint32_t blockFrames() const { return blockFrames_; }

 private:
  friend struct AudioDeviceOutputTesting;
  // Device opens still to fail as if there were no device (set by tests only).
  static std::atomic<int> failingOpens_;

  AudioDeviceOutput() = default;
  // SDL's callback: the one entry of the device thread. [render]
  static void deviceCallback(void* self, std::uint8_t* stream, int bytes) noexcept;
  void pull(float* interleaved, std::uint32_t frames) noexcept;

  std::uint32_t device_ = 0;
  std::uint32_t blockFrames_ = kBlockFrames;
  RenderFunction render_ = nullptr;
  void* context_ = nullptr;
  std::vector<float> planar_;  // kChannels x blockFrames_
};
