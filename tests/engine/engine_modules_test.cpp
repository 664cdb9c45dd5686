// The audio library's modules, in processes of their own (engine_modules_probe): the device output
// is loaded with the first need of the device, never by offline rendering; without its module a
// start fails as a start without any output does, naming the module, and a read fails naming the
// decoder's module. The folder without modules holds a link to the audio library only: the
// dynamic loader finds the library there first (LD_LIBRARY_PATH comes before the programs' run
// path) and the loader looks for the modules beside it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "AVFoundation/internal/AudioDeviceOutput.h"
#include "AVFoundation/internal/AudioFileDecoder.h"
#include "TemporaryFolder.h"

namespace {

struct ProbeRun {
  std::string printed;
  int status = -1;
};

// The probe's standard output, with `libraryPath` as LD_LIBRARY_PATH (when given) and SDL's null
// driver (no sound card, no stray lines).
ProbeRun probe(const std::string& libraryPath, const std::string& audioFile) {
  const std::string command = "env" + (libraryPath.empty() ? "" : " LD_LIBRARY_PATH='" + libraryPath + "'") +
                              " SDL_AUDIODRIVER=dummy '" + KOV_ENGINE_MODULES_PROBE + "' '" + audioFile + "'";
  ProbeRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    return run;
  char chunk[512];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
    run.printed.append(chunk, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

const std::string kLoop = std::string(KOV_LOOPS_DIR) + "/1.m4a";

TEST(EngineModules, TheDeviceModuleLoadsWithTheFirstNeedOfTheDeviceAndItsAbsenceFailsTheStart) {
  {
    SCOPED_TRACE("as built: offline rendering loads nothing; the device's format loads the module");
    const ProbeRun run = probe("", kLoop);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.printed,
              "at start; device module not loaded\n"
              "offline render: done; device module not loaded\n"
              "device format: 2 ch, 48000 Hz; device module loaded\n"
              "device start: done; device module loaded\n"
              "file read: 2 ch, 48000 Hz\n");
  }
  {
    SCOPED_TRACE(
        "the library without its modules: the rate the device cannot be asked for, the error of a"
        " start without any output, the engine stopped; the read fails");
    test_support::TemporaryFolder folder("kov-no-modules");
    const std::filesystem::path library = KOV_AUDIO_LIBRARY;
    std::filesystem::create_symlink(library, folder.path() / library.filename());
    const ProbeRun run = probe(folder.path().string(), kLoop);
    EXPECT_EQ(run.status, 0);
    const std::string missing = ": cannot open shared object file: No such file or directory";
    const std::string device =
        "the device module will not load (" + folder.file(KOV_AUDIO_DEVICE_MODULE) + missing + ")";
    const std::string started = "The audio engine could not start: " + device + ".";
    EXPECT_EQ(run.printed,
              "at start; device module not loaded\n"
              "offline render: done; device module not loaded\n"
              "device format: 2 ch, 48000 Hz; device module not loaded\n"
              "device start: Error Domain=NSOSStatusErrorDomain Code=-10876 \"" +
                  started + "\" UserInfo={NSLocalizedDescription=" + started +
                  "}; running: no; device module not loaded\n"
                  "file read: The audio file '" +
                  kLoop + "' could not be opened: the decoder module will not load (" +
                  folder.file(KOV_AUDIO_DECODER_MODULE) + missing + ").\n");
  }
}

}  // namespace
