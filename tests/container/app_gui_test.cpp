// The whole application on a display (run under xvfb-run -a; skipped without one), driven as a
// user drives it with xdotool and photographed with ImageMagick's import. It runs from a copy of
// the application bundle whose information property list names a local help host (python3's
// http.server), with SDL's disk output in place of a sound card:
// - the start-up lines come in order;
// - the unit button shows the editor (pixels in the container), play shows the stop button;
// - a drag on the make-up gain knob and play give output through the effect that is not silent and
//   is clearly louder than the dry loop; stop ends it;
// - the help button shows the help page from the local host.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
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

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe)) out += chunk;
    ::pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Polls `condition` every 100 ms for at most `limit`.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  for (auto waited = 0ms; waited < limit; waited += 100ms) {
    if (condition()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return condition();
}

// python3 -m http.server on a free loopback port, serving `folder`, for the object's life.
class LocalServer {
 public:
  explicit LocalServer(const fs::path& folder) {
    const std::string dir = folder.string();
    const char* argv[] = {"python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory",
                          dir.c_str(), nullptr};
    gint out = -1;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                                  &pid_, nullptr, &out, nullptr, nullptr))
      return;
    // "Serving HTTP on 127.0.0.1 port 40123 (http://127.0.0.1:40123/) ..."
    std::string line;
    for (char c; line.find('\n') == std::string::npos && ::read(out, &c, 1) == 1;) line += c;
    ::close(out);
    if (const auto at = line.find(" port "); at != std::string::npos) port_ = std::atoi(line.c_str() + at + 6);
  }
  ~LocalServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  int port() const { return port_; }

 private:
  GPid pid_ = 0;
  int port_ = 0;
};

// A picture of the application's window, and counts of pixels in a rectangle.
class Shot {
 public:
  Shot(const std::string& window, const fs::path& file) {
    shell("import -window " + window + " '" + file.string() + "' 2>/dev/null");
    pixbuf_ = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
  }
  ~Shot() {
    if (pixbuf_) g_object_unref(pixbuf_);
  }
  bool valid() const { return pixbuf_ != nullptr; }
  int count(int x0, int y0, int w, int h, const std::function<bool(int r, int g, int b)>& test) const {
    const int channels = gdk_pixbuf_get_n_channels(pixbuf_);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf_);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf_);
    int n = 0;
    for (int y = y0; y < std::min(y0 + h, gdk_pixbuf_get_height(pixbuf_)); ++y)
      for (int x = x0; x < std::min(x0 + w, gdk_pixbuf_get_width(pixbuf_)); ++x) {
        const guchar* p = pixels + y * stride + x * channels;
        if (test(p[0], p[1], p[2])) ++n;
      }
    return n;
  }

 private:
  GdkPixbuf* pixbuf_ = nullptr;
};

bool light(int r, int g, int b) { return r > 150 && g > 150 && b > 150; }
bool red(int r, int g, int b) { return r > 190 && g < 170 && b < 170; }
bool green(int r, int g, int b) { return g > 170 && r < 170 && b < 170; }
bool yellow(int r, int g, int b) { return r > 230 && g > 200 && b < 60; }

// RMS of 2 s of interleaved stereo from the first sample above -80 dBFS; 0 when there is none.
double rmsFromOnset(const std::vector<float>& interleaved) {
  std::size_t start = 0;
  while (start < interleaved.size() && std::fabs(interleaved[start]) < 1e-4f) ++start;
  start &= ~std::size_t(1);
  const std::size_t end = std::min(interleaved.size(), start + 2 * 96000);
  if (end <= start) return 0;
  double sum = 0;
  for (std::size_t i = start; i < end; ++i) sum += double(interleaved[i]) * interleaved[i];
  return std::sqrt(sum / double(end - start));
}

std::vector<float> decoded(const std::string& path) {
  auto file = AVAudioFile::forReading(URL::fileURLWithPath(path), nullptr);
  if (!file) return {};
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

std::vector<std::string> containerLines(const std::string& log) {
  static const char* prefixes[] = {"Info: ", "NOTE: ", "ViewController: ", "AUExtensionManager: ", "AUEnginePlayer",
                                   "Process Name: ", "AUExtension (", "type: ", "subtype: ", "manufacturer: ",
                                   "flags: ", ")"};
  std::vector<std::string> kept;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);)
    for (const char* p : prefixes)
      if (line.starts_with(p) && (std::string(p) != ")" || line == ")")) {
        kept.push_back(line);
        break;
      }
  return kept;
}

// A copy of the application bundle: the executable, the resources (linked) with an information
// property list naming `helpHost`, and the plug-ins (linked).
void makeBundle(const fs::path& to, const std::string& helpHost) {
  const fs::path from = KOV_APP_BUNDLE_DIR;
  fs::create_directories(to / "Resources");
  fs::copy_file(KOV_APP_EXECUTABLE, to / "KOV_Compressor");
  for (const auto& entry : fs::directory_iterator(from / "Resources"))
    if (entry.path().filename() != "Info.plist")
      fs::create_symlink(entry.path(), to / "Resources" / entry.path().filename());
  std::ofstream(to / "Resources" / "Info.plist")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         "  <key>KOVHelpHost</key>\n  <string>"
      << helpHost << "</string>\n</dict>\n</plist>\n";
  fs::create_directory_symlink(from / "PlugIns", to / "PlugIns");
}

TEST(ApplicationGui, UnitPlayStopAndHelpAsAUserPressesThem) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (run under xvfb-run -a)";
  if (std::system("command -v xdotool >/dev/null && command -v import >/dev/null") != 0)
    GTEST_SKIP() << "needs xdotool and ImageMagick";

  const fs::path dir = fs::temp_directory_path() / ("kov-app-gui-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "site" / "DYNAMICS");
  fs::create_directories(dir / "home");
  std::ofstream(dir / "site" / "DYNAMICS" / "index.html")
      << "<html><body style=\"background:#ffdd00\"><h1>KOV help</h1></body></html>\n";
  std::ofstream(dir / "site" / "index.html") << "<html><body>KOV</body></html>\n";
  LocalServer server(dir / "site");
  ASSERT_GT(server.port(), 0);
  const std::string host = "http://127.0.0.1:" + std::to_string(server.port());
  makeBundle(dir / "app", host);
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
    const std::string exe = (dir / "app" / "KOV_Compressor").string();
    ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  struct Ender {
    pid_t pid;
    ~Ender() {
      if (pid <= 0) return;  // reaped already (never signal pid 0 or -1: that is a whole group)
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  } ender{app};

  const std::string window = shell("timeout 30 xdotool search --sync --limit 1 --name '^KOV Compressor$'");
  ASSERT_FALSE(window.empty());
  auto logHas = [&](const std::string& text) { return readFile(log).find(text) != std::string::npos; };
  ASSERT_TRUE(eventually([&] { return logHas("ViewController: Loading the audio unit's interface..."); }, 30s));
  std::this_thread::sleep_for(500ms);  // the editor's first drawing
  auto press = [&](int x, int y) {
    shell("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    std::this_thread::sleep_for(300ms);
  };

  {
    SCOPED_TRACE("the start-up lines, in order");
    const auto lines = containerLines(readFile(log));
    const std::vector<std::string> expected{
        "Info: Main view controller loaded.",
        "NOTE: WE ARE IN AUDIO UNIT RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!",
        "AUExtensionManager: Loaded component has following properties.",
        "Process Name: KOV_Compressor PID: " + std::to_string(app),
        "AUExtension (", "type: aumf", "subtype: kvc1", "manufacturer: QFLD", "flags: 0x00000002", ")",
        "AUExtensionManager: Audio unit was found, making connections now ...",
        "AUEnginePlayer: A new audio unit will be connected.",
        "AUEnginePlayer: The audio unit reports MIDI output names. Assigning a handling block.",
        "AUEnginePlayer: Audio unit was attached.",
        "AUEnginePlayer::ERROR: There was a problem with the file processing format or the file is nil (yet).",
        "AUExtensionManager: Performed audio unit connection.",
        "ViewController: Loading the audio unit's interface...",
    };
    // The folder lines come from the main thread while the search runs: checked on their own.
    const std::vector<std::string> folders{
        "ViewController: The app's documents path is: " + (dir / "home" / "Documents").string(),
        "ViewController: The app's resources path is: " + (dir / "app" / "Resources").string()};
    std::vector<std::string> chain, folderLines;
    for (const auto& line : lines)
      (line.starts_with("ViewController: The app's ") ? folderLines : chain).push_back(line);
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(folderLines, folders);
  }
  {
    SCOPED_TRACE("at start: the play button, an empty dark area below the bar");
    Shot shot(window, dir / "start.png");
    ASSERT_TRUE(shot.valid());
    EXPECT_GT(shot.count(12, 9, 96, 38, green), 20);
    EXPECT_LT(shot.count(40, 120, 940, 600, light), 50);
  }
  press(168, 28);  // Unit
  {
    SCOPED_TRACE("the unit button shows the editor in the container");
    Shot shot(window, dir / "editor.png");
    EXPECT_GT(shot.count(40, 120, 940, 600, light), 3000);
  }
  {
    SCOPED_TRACE("a drag up on the make-up gain knob turns the gain to its top, +30 dB");
    shell("xdotool mousemove --window " + window + " 164 475 mousedown 1");
    for (int y = 455; y >= 55; y -= 20) {
      shell("xdotool mousemove --window " + window + " 164 " + std::to_string(y));
      std::this_thread::sleep_for(20ms);
    }
    shell("xdotool mouseup 1");
    std::this_thread::sleep_for(300ms);
  }
  press(60, 28);  // Play
  ASSERT_TRUE(eventually([&] { return logHas("AUEnginePlayer: Audio engine starting."); }, 10s));
  std::this_thread::sleep_for(3s);
  {
    SCOPED_TRACE("playing: the stop button in the same place");
    Shot shot(window, dir / "playing.png");
    EXPECT_GT(shot.count(12, 9, 96, 38, red), 20);
    EXPECT_EQ(shot.count(12, 9, 96, 38, green), 0);
  }
  press(60, 28);  // Stop
  ASSERT_TRUE(eventually([&] { return logHas("AUEnginePlayer: Audio engine stopping."); }, 10s));
  std::this_thread::sleep_for(1s);
  {
    SCOPED_TRACE("the output: not silent, louder than the dry loop, silent after stop");
    const auto wet = recorded(audio);
    ASSERT_GT(wet.size(), std::size_t(2 * 48000 * 2));
    const std::string text = readFile(log);
    const std::string marker = "AUEnginePlayer: Audio file at '";
    const auto at = text.find(marker);
    ASSERT_NE(at, std::string::npos);
    const std::string path = text.substr(at + marker.size(), text.find('\'', at + marker.size()) - at - marker.size());
    const double wetLevel = rmsFromOnset(wet);
    const double dryLevel = rmsFromOnset(decoded(path));
    EXPECT_GT(wetLevel, 1e-3);
    EXPECT_GT(dryLevel, 1e-3);
    // Louder by far: +30 dB on a quiet loop, up to the ceiling on a loud one.
    EXPECT_GT(20 * std::log10(wetLevel / dryLevel), 6.0) << "wet " << wetLevel << ", dry " << dryLevel;
    float tail = 0;
    for (std::size_t i = wet.size() - std::min<std::size_t>(wet.size(), 2 * 9600); i < wet.size(); ++i)
      tail = std::max(tail, std::fabs(wet[i]));
    EXPECT_EQ(tail, 0.0f);
    Shot shot(window, dir / "stopped.png");
    EXPECT_GT(shot.count(12, 9, 96, 38, green), 20);
  }
  press(964, 28);  // Help
  {
    SCOPED_TRACE("the help page from the local help host");
    EXPECT_TRUE(eventually([&] { return logHas(host + "/DYNAMICS/"); }, 20s));
    bool shown = false;
    for (int attempt = 0; attempt < 40 && !shown; ++attempt) {
      Shot shot(window, dir / "help.png");
      shown = shot.valid() && shot.count(200, 300, 600, 300, yellow) > 10000;
      if (!shown) std::this_thread::sleep_for(250ms);
    }
    EXPECT_TRUE(shown);
    const std::string text = readFile(log);
    EXPECT_NE(text.find("ShowHelp\n"), std::string::npos);
    EXPECT_NE(text.find("navigationResponse: \n" + host + "/DYNAMICS/\n"), std::string::npos);
  }
  ::kill(app, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(app, &status, 0), app);
  ender.pid = -1;  // reaped
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  if (!HasFailure()) fs::remove_all(dir);
}

}  // namespace
