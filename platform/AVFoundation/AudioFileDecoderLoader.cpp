// Loading of the decoder module: it lies in the same folder as the audio library (the build
// tree's platform folder, or an installed bundle's Frameworks), so its path is taken from where
// this library was loaded. Loaded once, on the first read, from whichever thread reads first
// (the static's initialisation is thread-safe); never unloaded.
#include <string>

#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/internal/AudioFileDecoder.h"
#include "Foundation/ModuleLoading.h"

namespace audio_file_decoder {
namespace {

using Entry = void (*)(const std::string&, Failure*, std::shared_ptr<const PCMSamples>*);

struct Loaded {
  Entry entry = nullptr;
  std::string problem;  // why there is no entry
};

const Loaded& module() {
  static const Loaded loaded = [] {
    Loaded result;
    // Bound at once and kept: FFmpeg's static set-up must never be undone.
    const ModuleEntry found =
        loadModuleBeside(reinterpret_cast<const void*>(&decode), KOV_AUDIO_DECODER_MODULE,
                         KOV_MODULE_SYMBOL_NAME(KOV_AUDIO_DECODER_ENTRY));
    if (found.symbol)
      result.entry = reinterpret_cast<Entry>(found.symbol);
    else
      result.problem = "the decoder module will not load (" + found.problem + ")";
    return result;
  }();
  return loaded;
}

}  // namespace

std::shared_ptr<const PCMSamples> decode(const std::string& path, Failure* failure) {
  const Loaded& loaded = module();
  if (!loaded.entry) {
    if (failure)
      *failure = Failure{kAudioFileUnspecifiedError, loaded.problem};
    return nullptr;
  }
  std::shared_ptr<const PCMSamples> samples;
  loaded.entry(path, failure, &samples);
  return samples;
}

}  // namespace audio_file_decoder
