// The whole application on a display (run under xvfb-run -a; skipped without one), driven as a
// user drives it with xdotool and photographed with ImageMagick's import, with SDL's disk output
// in place of a sound card:
// - the start-up lines of the real process come in order (its name and process id, the documents
//   folder under its home);
// - at start the play button and an empty area below the bar;
// - the unit button shows the editor (pixels in the container), play shows the stop button;
// - a drag on the make-up gain knob and play give output through the effect that is not silent and
//   is clearly louder than the dry loop; stop ends it.
// Each step waits for what it expects to see (a line in the log, pixels in a screenshot, enough
// of the recording), never a fixed time. The application's home, log, screenshots and recording
// are in the build tree's test output folder, removed after a pass and named by a failure.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/AVAudioPCMBuffer.h"
#include "Eventually.h"
#include "TestOutput.h"
#include "app_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::eventually;

// Reading the log and taking a screenshot cost something: they are polled, not checked after every
// event.
constexpr test_support::Polling kLogPolling{.every = 50ms};
constexpr test_support::Polling kScreenPolling{.every = 200ms};
constexpr test_support::Polling kRecordingPolling{.every = 100ms};

std::string shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe))
      out += chunk;
    ::pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
    out.pop_back();
  return out;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The pixels in a rectangle of the picture in `file` that pass `test` (-1 without a picture).
int countIn(const fs::path& file, int x0, int y0, int w, int h,
            const std::function<bool(int r, int g, int b)>& test) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
  if (!pixbuf)
    return -1;
  const int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
  int n = 0;
  for (int y = y0; y < std::min(y0 + h, gdk_pixbuf_get_height(pixbuf)); ++y)
    for (int x = x0; x < std::min(x0 + w, gdk_pixbuf_get_width(pixbuf)); ++x)
      n += test(pixels[y * stride + x * channels], pixels[y * stride + x * channels + 1],
                pixels[y * stride + x * channels + 2]);
  g_object_unref(pixbuf);
  return n;
}

// Photographs the application's window into `file`, then counts as countIn.
int countPixels(const std::string& window, const fs::path& file, int x0, int y0, int w, int h,
                const std::function<bool(int r, int g, int b)>& test) {
  shell("import -window " + window + " '" + file.string() + "' 2>/dev/null");
  return countIn(file, x0, y0, w, h, test);
}

bool light(int r, int g, int b) {
  return r > 150 && g > 150 && b > 150;
}
bool red(int r, int g, int b) {
  return r > 190 && g < 170 && b < 170;
}
bool green(int r, int g, int b) {
  return g > 170 && r < 170 && b < 170;
}

// Where interleaved stereo first rises above -80 dBFS (its size when it never does).
std::size_t onset(const std::vector<float>& interleaved) {
  std::size_t start = 0;
  while (start < interleaved.size() && std::fabs(interleaved[start]) < 1e-4f)
    ++start;
  return start & ~std::size_t(1);
}

// Whether the recording holds 2 s of sound from its onset (what rmsFromOnset measures).
bool twoSecondsFromOnset(const std::vector<float>& interleaved) {
  const std::size_t start = onset(interleaved);
  return start < interleaved.size() && interleaved.size() >= start + 2 * 96000;
}

// The peak of the last 0.2 s of interleaved stereo (0 when shorter).
float tailPeak(const std::vector<float>& interleaved) {
  if (interleaved.size() < 2 * 9600)
    return 0;
  float peak = 0;
  for (std::size_t i = interleaved.size() - 2 * 9600; i < interleaved.size(); ++i)
    peak = std::max(peak, std::fabs(interleaved[i]));
  return peak;
}

// RMS of 2 s of interleaved stereo from its onset; 0 when there is none.
double rmsFromOnset(const std::vector<float>& interleaved) {
  const std::size_t start = onset(interleaved);
  const std::size_t end = std::min(interleaved.size(), start + 2 * 96000);
  if (end <= start)
    return 0;
  double sum = 0;
  for (std::size_t i = start; i < end; ++i)
    sum += double(interleaved[i]) * interleaved[i];
  return std::sqrt(sum / double(end - start));
}

std::vector<float> decoded(const std::string& path) {
  auto file = AVAudioFile::forReading(URL::fileURLWithPath(path), nullptr);
  if (!file)
    return {};
  auto buffer = AVAudioPCMBuffer::make(file->processingFormat(), AVAudioFrameCount(file->length()));
  file->read(*buffer);
  std::vector<float> interleaved;
  const auto channels = file->processingFormat()->channelCount();
  for (AVAudioFrameCount n = 0; n < buffer->frameLength(); ++n)
    for (AVAudioChannelCount c = 0; c < 2; ++c)
      interleaved.push_back(buffer->floatChannelData()[std::min<AVAudioChannelCount>(c, channels - 1)][n]);
  return interleaved;
}

std::vector<float> recorded(const fs::path& path) {
  const std::string bytes = readFile(path);
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

TEST(ApplicationGui, UnitPlayAndStopAsAUserPressesThem) {
  if (!std::getenv("DISPLAY"))
    GTEST_SKIP() << "needs a display (run under xvfb-run -a)";
  if (std::system("command -v xdotool >/dev/null && command -v import >/dev/null") != 0)
    GTEST_SKIP() << "needs xdotool and ImageMagick";

  const fs::path dir = test_support::outputFolder() / "application_gui";
  SCOPED_TRACE("the application's log, screenshots and recording: " + dir.string());
  fs::remove_all(dir);
  fs::create_directories(dir / "home");
  const fs::path log = dir / "app.log";
  const fs::path audio = dir / "out.f32";

  const pid_t app = ::fork();
  ASSERT_GE(app, 0);
  if (app == 0) {
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
    ::setenv("HOME", (dir / "home").c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    std::freopen(log.c_str(), "w", stdout);
    ::dup2(::fileno(stdout), 2);
    ::execl(KOV_APP_EXECUTABLE, KOV_APP_EXECUTABLE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  struct Ender {
    pid_t pid;
    ~Ender() {
      if (pid <= 0)
        return;  // reaped already (never signal pid 0 or -1: that is a whole group)
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  } ender{app};

  const std::string window = shell("timeout 30 xdotool search --sync --limit 1 --name '^KOV Compressor$'");
  ASSERT_FALSE(window.empty());
  auto logHas = [&](const std::string& text) { return readFile(log).find(text) != std::string::npos; };
  ASSERT_TRUE(eventually("the editor's interface loading",
                         [&] { return logHas("ViewController: Loading the audio unit's interface..."); },
                         {.every = kLogPolling.every, .deadline = 30s}));
  auto click = [&](int x, int y) {
    shell("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
          " click 1");
  };

  {
    SCOPED_TRACE("the start-up lines, in order; the folder lines apart (they race the search)");
    const auto lines = app_test::containerLines(readFile(log));
    const std::vector<std::string> expected{
        "Info: Main view controller loaded.",
        "NOTE: WE ARE IN AUDIO UNIT RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!",
        "AUExtensionManager: Loaded component has following properties.",
        "Process Name: KOV_Compressor PID: " + std::to_string(app),
        "AUExtension (",
        "type: aumf",
        "subtype: kvc1",
        "manufacturer: QFLD",
        "flags: 0x00000002",
        ")",
        "AUExtensionManager: Audio unit was found, making connections now ...",
        "AUEnginePlayer: A new audio unit will be connected.",
        "AUEnginePlayer: The audio unit reports MIDI output names. Assigning a handling block.",
        "AUEnginePlayer: Audio unit was attached.",
        "AUEnginePlayer::ERROR: There was a problem with the file processing format or the file is nil "
        "(yet).",
        "AUExtensionManager: Performed audio unit connection.",
        "ViewController: Loading the audio unit's interface...",
    };
    EXPECT_EQ(app_test::folderLines(lines, false), expected);
    EXPECT_EQ(app_test::folderLines(lines, true),
              (std::vector<std::string>{
                  "ViewController: The app's documents path is: " + (dir / "home" / "Documents").string(),
                  "ViewController: The app's resources path is: " + app_test::kResources}));
  }
  // At start, once the window is on screen: the play button, an empty dark area below the bar.
  ASSERT_TRUE(eventually(
      "the play button on screen",
      [&] { return countPixels(window, dir / "start.png", 12, 9, 96, 38, green) > 20; }, kScreenPolling));
  EXPECT_LT(countIn(dir / "start.png", 40, 120, 940, 600, light), 50);
  click(168, 28);  // Unit: the editor shows in the container
  ASSERT_TRUE(eventually(
      "the editor in the container",
      [&] { return countPixels(window, dir / "editor.png", 40, 120, 940, 600, light) > 3000; },
      kScreenPolling));
  {
    SCOPED_TRACE("a drag up on the make-up gain knob turns the gain to its top, +30 dB");
    shell("xdotool mousemove --window " + window + " 164 475 mousedown 1");
    for (int y = 455; y >= 55; y -= 20) {
      shell("xdotool mousemove --window " + window + " 164 " + std::to_string(y));
      std::this_thread::sleep_for(20ms);  // a hand's pace
    }
    shell("xdotool mouseup 1");
    // The editor names the control a touch begins on. Input arrives in order, so the release is
    // handled before the next click.
    EXPECT_TRUE(eventually(
        "the touch on the gain knob", [&] { return logHas("\ngain\n"); }, kLogPolling));
  }
  click(60, 28);  // Play
  ASSERT_TRUE(eventually(
      "the engine's start", [&] { return logHas("AUEnginePlayer: Audio engine starting."); }, kLogPolling));
  EXPECT_TRUE(eventually(
      "the stop button in the play button's place",
      [&] {
        return countPixels(window, dir / "playing.png", 12, 9, 96, 38, red) > 20 &&
               countIn(dir / "playing.png", 12, 9, 96, 38, green) == 0;
      },
      kScreenPolling));
  ASSERT_TRUE(eventually(
      "2 s of the loop through the effect in the recording",
      [&] { return twoSecondsFromOnset(recorded(audio)); }, kRecordingPolling));
  click(60, 28);  // Stop
  ASSERT_TRUE(eventually(
      "the engine's stop", [&] { return logHas("AUEnginePlayer: Audio engine stopping."); }, kLogPolling));
  EXPECT_TRUE(eventually(
      "0.2 s of silence at the end of the recording",
      [&] {
        const auto wet = recorded(audio);
        return wet.size() >= 2 * 9600 && tailPeak(wet) == 0.0f;
      },
      kRecordingPolling));
  EXPECT_TRUE(eventually(
      "the play button back",
      [&] { return countPixels(window, dir / "stopped.png", 12, 9, 96, 38, green) > 20; }, kScreenPolling));
  {
    SCOPED_TRACE("the output: not silent, louder than the dry loop, silent after stop");
    const auto wet = recorded(audio);
    ASSERT_GT(wet.size(), std::size_t(2 * 48000 * 2));
    const std::string text = readFile(log);
    const std::string marker = "AUEnginePlayer: Audio file at '";
    const auto at = text.find(marker);
    ASSERT_NE(at, std::string::npos);
    const std::string path =
        text.substr(at + marker.size(), text.find('\'', at + marker.size()) - at - marker.size());
    const double wetLevel = rmsFromOnset(wet);
    const double dryLevel = rmsFromOnset(decoded(path));
    EXPECT_GT(wetLevel, 1e-3);
    EXPECT_GT(dryLevel, 1e-3);
    // Louder by far: +30 dB on a quiet loop, up to the ceiling on a loud one.
    EXPECT_GT(20 * std::log10(wetLevel / dryLevel), 6.0) << "wet " << wetLevel << ", dry " << dryLevel;
    EXPECT_EQ(tailPeak(wet), 0.0f);
  }
  ::kill(app, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(app, &status, 0), app);
  ender.pid = -1;  // reaped
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  if (!HasFailure())
    fs::remove_all(dir);
}

}  // namespace
