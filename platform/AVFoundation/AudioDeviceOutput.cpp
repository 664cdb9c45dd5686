// The device module (libplatform_audio_device.so): the output over SDL2 audio. The audio library
// reaches it only through the entry at the end, loaded with the first need of the device.
#include "AVFoundation/internal/AudioDeviceOutput.h"

#include <SDL2/SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

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

class SdlDeviceOutput final : public AudioDeviceOutput {
 public:
  SdlDeviceOutput(RenderFunction render, void* context) : render_(render), context_(context) {}
  ~SdlDeviceOutput() override;
  void start() override;
  void pause() override;

  static AudioDeviceOutput* open(double sampleRate, RenderFunction render, void* context,
                                 std::atomic<int>* failingOpens, std::string* error);

 private:
  // SDL's callback: the one entry of the device thread. [render]
  static void deviceCallback(void* self, std::uint8_t* stream, int bytes) noexcept;
  void pull(float* interleaved, std::uint32_t frames) noexcept;

  std::uint32_t device_ = 0;
  RenderFunction render_ = nullptr;
  void* context_ = nullptr;
  std::vector<float> planar_;  // kChannels x blockFrames_
};

double preferredSampleRate() {
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

AudioDeviceOutput* SdlDeviceOutput::open(double sampleRate, RenderFunction render, void* context,
                                         std::atomic<int>* failingOpens, std::string* error) {
  std::lock_guard lock(sdlMutex());
  auto output = std::make_unique<SdlDeviceOutput>(render, context);

  SDL_AudioSpec want{};
  want.freq = int(std::lround(sampleRate));
  want.format = AUDIO_F32SYS;
  want.channels = kChannels;
  want.samples = kBlockFrames;
  want.callback = &SdlDeviceOutput::deviceCallback;
  want.userdata = output.get();
  SDL_AudioSpec have{};

  auto tryOpen = [&]() -> bool {
    int failing = failingOpens->load();
    while (failing > 0 && !failingOpens->compare_exchange_weak(failing, failing - 1)) {
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
  return output.release();
}

SdlDeviceOutput::~SdlDeviceOutput() {
  if (!device_)
    return;
  std::lock_guard lock(sdlMutex());
  SDL_CloseAudioDevice(device_);  // waits for a running callback
  --openDevices;
}

void SdlDeviceOutput::start() {
  std::lock_guard lock(sdlMutex());
  SDL_PauseAudioDevice(device_, 0);
}

void SdlDeviceOutput::pause() {
  std::lock_guard lock(sdlMutex());
  // SDL takes the device's lock, which the device thread holds around each callback: when this
  // returns, no callback is running and none starts until start().
  SDL_PauseAudioDevice(device_, 1);
  SDL_LockAudioDevice(device_);
  SDL_UnlockAudioDevice(device_);
}

void SdlDeviceOutput::deviceCallback(void* self, std::uint8_t* stream, int bytes) noexcept {
  static_cast<SdlDeviceOutput*>(self)->pull(reinterpret_cast<float*>(stream),
                                            std::uint32_t(bytes) / (kChannels * sizeof(float)));
}

// Renders planar blocks of at most blockFrames_ and interleaves them into SDL's stream.
void SdlDeviceOutput::pull(float* interleaved, std::uint32_t frames) noexcept {
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

}  // namespace

extern "C" __attribute__((visibility("default"))) const AudioDeviceModuleCalls* KOV_AUDIO_DEVICE_ENTRY() {
  static const AudioDeviceModuleCalls calls{&preferredSampleRate, &SdlDeviceOutput::open};
  return &calls;
}
