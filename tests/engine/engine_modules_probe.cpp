// When the audio library loads its modules, seen from a process of its own (a test's process may
// have loaded them already): it renders offline, asks an engine for the device's format and starts
// it, then reads the file named by its argument, and prints one line per step with what came of it
// and whether the device module is loaded. engine_modules_test.cpp runs it as built and from a
// folder that holds the audio library without its modules.
#include <cstdio>
#include <memory>
#include <string>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/internal/AudioDeviceOutput.h"
#include "Foundation/URL.h"
#include "LoadedLibraries.h"

namespace {

std::string deviceModule() {
  const bool loaded = loaded_libraries::find(loaded_libraries::all(), KOV_AUDIO_DEVICE_MODULE);
  return std::string("; device module ") + (loaded ? "loaded" : "not loaded");
}

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string formatText(const AVAudioFormat& format) {
  return std::to_string(format.channelCount()) + " ch, " + std::to_string(int(format.sampleRate())) + " Hz";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: engine_modules_probe <audio file>\n");
    return 2;
  }
  say("at start" + deviceModule());
  {
    auto engine = std::make_shared<AVAudioEngine>();
    const auto format = AVAudioFormat::makeStandard(48000.0, 2);
    engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline, format, 512);
    engine->mainMixerNode();
    engine->start();
    AVAudioPCMBuffer buffer(format, 512);
    const bool rendered = engine->renderOffline(512, buffer) == AVAudioEngineManualRenderingStatus::success;
    say(std::string("offline render: ") + (rendered ? "done" : "failed") + deviceModule());
    engine->stop();
  }
  {
    auto engine = std::make_shared<AVAudioEngine>();
    engine->mainMixerNode();
    say("device format: " + formatText(*engine->outputNode()->outputFormatForBus(0)) + deviceModule());
    try {
      engine->start();
      say("device start: done" + deviceModule());
    } catch (const NSError& error) {
      say("device start: " + error.description() + "; running: " + (engine->isRunning() ? "yes" : "no") +
          deviceModule());
    }
    engine->stop();
  }
  try {
    const AVAudioFile file(URL::fileURLWithPath(argv[1]));
    say("file read: " + formatText(*file.processingFormat()));
  } catch (const NSError& error) {
    say("file read: " + error.localizedDescription());
  }
  return 0;
}
