// Loading of the device module: it lies in the same folder as the audio library (the build tree's
// platform folder, or an installed bundle's Frameworks), so its path is taken from where this
// library was loaded. Loaded once, with the first need of the device, from whichever control
// thread needs it first (the static's initialisation is thread-safe); never unloaded.
#include <string>

#include "AVFoundation/internal/AudioDeviceOutput.h"
#include "Foundation/ModuleLoading.h"

namespace {

using Entry = const AudioDeviceModuleCalls* (*)();

struct Loaded {
  const AudioDeviceModuleCalls* calls = nullptr;
  std::string problem;  // why there are no calls
};

const Loaded& module() {
  static const Loaded loaded = [] {
    Loaded result;
    // Bound at once and kept: SDL's audio state lives until the process ends.
    const ModuleEntry found =
        loadModuleBeside(reinterpret_cast<const void*>(&AudioDeviceOutput::preferredSampleRate),
                         KOV_AUDIO_DEVICE_MODULE, KOV_MODULE_SYMBOL_NAME(KOV_AUDIO_DEVICE_ENTRY));
    if (found.symbol)
      result.calls = reinterpret_cast<Entry>(found.symbol)();
    else
      result.problem = "the device module will not load (" + found.problem + ")";
    return result;
  }();
  return loaded;
}

}  // namespace

std::atomic<int> AudioDeviceOutput::failingOpens_{0};

double AudioDeviceOutput::preferredSampleRate() {
  const Loaded& loaded = module();
  return loaded.calls ? loaded.calls->preferredSampleRate() : 48000.0;
}

std::unique_ptr<AudioDeviceOutput> AudioDeviceOutput::open(double sampleRate, RenderFunction render,
                                                           void* context, std::string* error) {
  const Loaded& loaded = module();
  if (!loaded.calls) {
    if (error)
      *error = loaded.problem;
    return nullptr;
  }
  return std::unique_ptr<AudioDeviceOutput>(
      loaded.calls->open(sampleRate, render, context, &failingOpens_, error));
}
