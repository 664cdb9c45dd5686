// Loading of the device module: it lies in the same folder as the audio library (the build tree's
// platform folder, or an installed bundle's Frameworks), so its path is taken from where this
// library was loaded. Loaded once, with the first need of the device, from whichever control
// thread needs it first (the static's initialisation is thread-safe); never unloaded.
#include <string>

#include "AVFoundation/internal/AudioDeviceOutput.h"
#include "Foundation/ModuleLoading.h"

namespace {

using Entry = const AudioDeviceModuleCalls* (*)();

const ModuleEntry& module() {
  // Bound at once and kept: SDL's audio state lives until the process ends.
  static const ModuleEntry found =
      loadModuleBeside(reinterpret_cast<const void*>(&AudioDeviceOutput::preferredSampleRate),
                       KOV_AUDIO_DEVICE_MODULE, KOV_MODULE_SYMBOL_NAME(KOV_AUDIO_DEVICE_ENTRY));
  return found;
}

// The module's calls; null when it will not load (module().problem says why).
const AudioDeviceModuleCalls* calls() {
  const ModuleEntry& found = module();
  return found.symbol ? reinterpret_cast<Entry>(found.symbol)() : nullptr;
}

}  // namespace

std::atomic<int> AudioDeviceOutput::failingOpens_{0};

double AudioDeviceOutput::preferredSampleRate() {
  const AudioDeviceModuleCalls* device = calls();
  return device ? device->preferredSampleRate() : 48000.0;
}

std::unique_ptr<AudioDeviceOutput> AudioDeviceOutput::open(double sampleRate, RenderFunction render,
                                                           void* context, std::string* error) {
  const AudioDeviceModuleCalls* device = calls();
  if (!device) {
    if (error)
      *error = "the device module will not load (" + module().problem + ")";
    return nullptr;
  }
  return std::unique_ptr<AudioDeviceOutput>(device->open(sampleRate, render, context, &failingOpens_, error));
}
