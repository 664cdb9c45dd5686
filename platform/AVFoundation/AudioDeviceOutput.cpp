#include "AVFoundation/internal/AudioDeviceOutput.h"

#include <SDL2/SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

std::mutex& sdlMutex() {
  static std::mutex mutex;
  return mutex;
}
bool fallbackAnnounced = false;  // under sdlMutex
int openDevices = 0;             // under sdlMutex

// ALSA's library prints its own lines on stderr when it finds no card; the fallback's one line
// says what matters.
extern "C" void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

bool initAudio() {
  static const bool quiet = [] { return snd_lib_error_set_handler(&quietAlsa) == 0; }();
  (void)quiet;
  return SDL_WasInit(SDL_INIT_AUDIO) || SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

}  // namespace

std::atomic<int> AudioDeviceOutput::failingOpens_{0};

double AudioDeviceOutput::preferredSampleRate() {
  std::lock_guard lock(sdlMutex());
  if (!initAudio())
    return 48000.0;
  SDL_AudioSpec spec{};
  char* name = nullptr;
  if (SDL_GetDefaultAudioInfo(&name, &spec, 0) != 0 || spec.freq < 8000 || spec.freq > 192000)
    return 48000.0;
  SDL_free(name);
  return double(spec.freq);
}

std::unique_ptr<AudioDeviceOutput> AudioDeviceOutput::open(double sampleRate, RenderFunction render,
                                                           void* context, std::string* error) {
  std::lock_guard lock(sdlMutex());
  std::unique_ptr<AudioDeviceOutput> output(new AudioDeviceOutput);
  output->render_ = render;
  output->context_ = context;

  SDL_AudioSpec want{};
  want.freq = int(std::lround(sampleRate));
  want.format = AUDIO_F32SYS;
  want.channels = kChannels;
  want.samples = kBlockFrames;
  want.callback = &AudioDeviceOutput::deviceCallback;
  want.userdata = output.get();
  SDL_AudioSpec have{};

  auto tryOpen = [&]() -> bool {
    int failing = failingOpens_.load();
    while (failing > 0 && !failingOpens_.compare_exchange_weak(failing, failing - 1)) {
    }
    if (failing > 0) {
      SDL_SetError("no audio device (test)");
      return false;
    }
    // No format changes allowed: SDL converts to the device's own format if it must.
    output->device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    return output->device_ != 0;
  };

  bool opened = initAudio() && tryOpen();
  if (!opened) {
    const std::string reason = SDL_GetError();
    const char* current = SDL_GetCurrentAudioDriver();
    if (openDevices == 0 && (!current || std::strcmp(current, "dummy") != 0)) {
      // Start SDL's audio again with the null driver (only while no device of this process is
      // open: they would close with the old driver).
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    }
    opened = initAudio() && tryOpen();
    if (!opened) {
      if (error)
        *error = "no audio output could be opened (" + reason + "; " + SDL_GetError() + ")";
      return nullptr;
    }
    if (!fallbackAnnounced) {
      std::fprintf(
          stderr,
          "AVAudioEngine: no audio device could be opened (%s); rendering to the null output in real time.\n",
          reason.c_str());
      fallbackAnnounced = true;
    }
  }
  ++openDevices;
  output->blockFrames_ = std::max<std::uint32_t>(have.samples, 1);
  output->planar_.assign(std::size_t(kChannels) * output->blockFrames_, 0.0f);
  return output;
}

AudioDeviceOutput::~AudioDeviceOutput() {
  if (!device_)
    return;
  std::lock_guard lock(sdlMutex());
  SDL_CloseAudioDevice(device_);  // waits for a running callback
  --openDevices;
}

void AudioDeviceOutput::start() {
  std::lock_guard lock(sdlMutex());
  SDL_PauseAudioDevice(device_, 0);
}

void AudioDeviceOutput::pause() {
  std::lock_guard lock(sdlMutex());
  // SDL takes the device's lock, which the device thread holds around each callback: when this
  // returns, no callback is running and none starts until start().
  SDL_PauseAudioDevice(device_, 1);
  SDL_LockAudioDevice(device_);
  SDL_UnlockAudioDevice(device_);
}

void AudioDeviceOutput::deviceCallback(void* self, std::uint8_t* stream, int bytes) noexcept {
  static_cast<AudioDeviceOutput*>(self)->pull(reinterpret_cast<float*>(stream),
                                              std::uint32_t(bytes) / (kChannels * sizeof(float)));
}

// Renders planar blocks of at most blockFrames_ and interleaves them into SDL's stream.
void AudioDeviceOutput::pull(float* interleaved, std::uint32_t frames) noexcept {
  float* channels[kChannels] = {planar_.data(), planar_.data() + blockFrames_};
  while (frames > 0) {
    const std::uint32_t count = std::min(frames, blockFrames_);
    render_(context_, channels, count);
    for (std::uint32_t i = 0; i < count; ++i) {
      interleaved[2 * i] = channels[0][i];
      interleaved[2 * i + 1] = channels[1][i];
    }
    interleaved += 2 * count;
    frames -= count;
  }
}
