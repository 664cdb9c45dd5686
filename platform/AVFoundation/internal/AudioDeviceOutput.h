// The sound card, through SDL2 audio: float32 stereo at the device's preferred rate, in blocks
// of about 512 frames, pulled by a render function on SDL's device thread.
//
// Without a sound card (no device opens with the configured or default driver) it falls back
// to SDL's "dummy" driver, which calls back paced in real time and plays nothing, and says so
// in one line on stderr (once per process). Opening fails only when not even that opens.
//
// The output is a module of its own (libplatform_audio_device.so, beside the audio library),
// loaded the first time an engine needs the device (its rate, or a start outside manual
// rendering): SDL2, ALSA and the sound servers they bring are not loaded by a process that only
// hosts units or renders offline. A module that does not load makes every open fail with the
// loader's message as the reason, and the preferred rate 48 kHz.
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
  virtual ~AudioDeviceOutput() = default;  // closes; no callback runs after it returns
  AudioDeviceOutput(const AudioDeviceOutput&) = delete;
  AudioDeviceOutput& operator=(const AudioDeviceOutput&) = delete;

  // Lets the device call back / stops it; pause() returns only when no callback is running.
  virtual void start() = 0;
  virtual void pause() = 0;
  std::uint32_t blockFrames() const { return blockFrames_; }

 protected:
  AudioDeviceOutput() = default;
  std::uint32_t blockFrames_ = kBlockFrames;

 private:
  friend struct AudioDeviceOutputTesting;
  // Device opens still to fail as if there were no device (set by tests only).
  static std::atomic<int> failingOpens_;
};

// What the module's entry hands back: its two calls. [control]
struct AudioDeviceModuleCalls {
  double (*preferredSampleRate)();
  // As AudioDeviceOutput::open; each attempt to open a device first takes one from
  // `*failingOpens` while it is above 0 and then fails as if there were no device.
  AudioDeviceOutput* (*open)(double sampleRate, AudioDeviceOutput::RenderFunction render, void* context,
                             std::atomic<int>* failingOpens, std::string* error);
};

// The module's entry: const AudioDeviceModuleCalls* ().
#define KOV_AUDIO_DEVICE_ENTRY kov_audio_device_calls
#define KOV_AUDIO_DEVICE_MODULE "libplatform_audio_device.so"
