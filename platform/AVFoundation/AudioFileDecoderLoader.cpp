// Loading of the decoder module: it lies in the same folder as the audio library (the build
// tree's platform folder, or an installed bundle's Frameworks), so its path is taken from where
// this library was loaded. Loaded once, on the first read, from whichever thread reads first
// (the static's initialisation is thread-safe); never unloaded.
#include <dlfcn.h>

#include <string>

#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/internal/AudioFileDecoder.h"

namespace audio_file_decoder {
namespace {

using Entry = void (*)(const std::string&, Failure*, std::shared_ptr<const PCMSamples>*);

#define KOV_STRINGIFY_(x) #x
#define KOV_STRINGIFY(x) KOV_STRINGIFY_(x)

struct Loaded {
  Entry entry = nullptr;
  std::string problem;  // why there is no entry
};

const Loaded& module() {
  static const Loaded loaded = [] {
    Loaded result;
    Dl_info info{};
    std::string path = KOV_AUDIO_DECODER_MODULE;
    if (::dladdr(reinterpret_cast<void*>(&decode), &info) && info.dli_fname) {
      const std::string self = info.dli_fname;
      const auto slash = self.rfind('/');
      if (slash != std::string::npos)
        path = self.substr(0, slash + 1) + KOV_AUDIO_DECODER_MODULE;
    }
    // Bound at once and kept: FFmpeg's static set-up must never be undone.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    void* symbol = handle ? ::dlsym(handle, KOV_STRINGIFY(KOV_AUDIO_DECODER_ENTRY)) : nullptr;
    if (symbol) {
      result.entry = reinterpret_cast<Entry>(symbol);
    } else {
      const char* why = ::dlerror();
      result.problem = "the decoder module will not load (" + std::string(why ? why : "no entry") + ")";
    }
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
