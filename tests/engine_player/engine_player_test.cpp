// The application's engine player over the real loops, the system limiter as its effect, the
// engine rendering offline: its printed sequences, failures, the file choice, MIDI events. The
// suite is named *Threads: the player crosses three threads, so these run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "AUEnginePlayer.h"
#include "AUEnginePlayerTesting.h"
#include "AVFoundation/AVAudioSession.h"
#include "AVFoundation/testing/AVFoundationTesting.h"
#include "AudioToolbox/internal/PeakLimiterUnit.h"
#include "Foundation/Bundle.h"
#include "EnginePlayerLines.h"
#include "StdoutCapture.h"

namespace {

const bool kNullDriver = [] { return ::setenv("SDL_AUDIODRIVER", "dummy", 0) == 0; }();

struct RecordingDelegate : AUEnginePlayerDelegate {
  std::vector<std::string> events;
  void onPlayerStateChanged(bool playing) override { events.push_back(playing ? "playing" : "stopped"); }
  void onFileSelect(const std::string& file) override { events.push_back("file " + file); }
  void onLoop(std::int64_t count) override { events.push_back("loop " + std::to_string(count)); }
};

std::shared_ptr<AVAudioUnitEffect> makeLimiter() {
  return std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
}

// A player whose engine renders offline, with the loops as its resources.
struct Rig {
  std::shared_ptr<AUEnginePlayer> player = std::make_shared<AUEnginePlayer>();
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::shared_ptr<AVAudioPCMBuffer> buffer =
      AVAudioPCMBuffer::make(AVAudioFormat::makeStandard(48000.0, 2), 512);

  explicit Rig(bool offline = true) {
    Bundle::setMainResourcePath(std::string(KOV_LOOPS_DIR));
    if (offline)
      AUEnginePlayerTesting::engine(*player)->enableManualRenderingMode(
          AVAudioEngineManualRenderingMode::offline, AVAudioFormat::makeStandard(48000.0, 2), 512);
    player->setDelegate(delegate);
    AUEnginePlayerTesting::seed(*player, 5);
  }
  ~Rig() { Bundle::setMainResourcePath(std::nullopt); }

  // Renders until the main queue has seen `count` passes; the output's peak.
  float renderPasses(std::int64_t count) {
    float peak = 0.0f;
    for (int call = 0; call < 20000 && player->loopCount() < count; ++call) {
      if (AUEnginePlayerTesting::engine(*player)->renderOffline(512, *buffer) !=
          AVAudioEngineManualRenderingStatus::success)
        break;
      for (int c = 0; c < 2; ++c)
        for (int n = 0; n < 512; ++n)
          peak = std::max(peak, std::fabs(buffer->floatChannelData()[c][n]));
      MainLoop::runUntil([&] { return MainLoop::pendingItems() == 0; }, std::chrono::milliseconds(5));
    }
    return peak;
  }
};

std::vector<std::string> lines(const std::string& text) {
  return stdout_capture::splitLines(text);
}

}  // namespace

TEST(AUEnginePlayerThreads, StartUpStartPassStopAndDisconnectPrintTheirSequences) {
  ASSERT_TRUE(kNullDriver);
  Rig rig;
  bool completed = false;
  {
    SCOPED_TRACE("the effect arrives before any file: attached, left unconnected, the completion runs");
    stdout_capture::beginCapture();
    rig.player->connect(makeLimiter(), [&] { completed = true; });
    EXPECT_EQ(stdout_capture::endCapture(),
              "AUEnginePlayer: A new audio unit will be connected.\n"
              "AUEnginePlayer: Audio unit was attached.\n"
              "AUEnginePlayer::ERROR: There was a problem with the file processing format or the file is nil "
              "(yet).\n");
    EXPECT_TRUE(completed);
  }
  std::string path;
  {
    SCOPED_TRACE("toggle starts: a random loop wired player -> effect -> mixer without formats");
    stdout_capture::beginCapture();
    EXPECT_TRUE(rig.player->toggle());
    MainLoop::runUntilIdle();
    const auto printed = lines(stdout_capture::endCapture());
    ASSERT_EQ(printed.size(), 9u);
    path = printed[6];
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(KOV_LOOPS_DIR));
    EXPECT_EQ(printed, engine_player_lines::startedWith(path));

    EXPECT_EQ(rig.delegate->events, (std::vector<std::string>{"file " + path, "playing"}));
  }
  {
    SCOPED_TRACE("the first pass played out: onLoop(0) and 'looped: 1.', limited output");
    stdout_capture::beginCapture();
    const float peak = rig.renderPasses(1);
    EXPECT_EQ(stdout_capture::endCapture(), "AUEnginePlayer: Current audio file '" + path + "' looped: 1.\n");
    EXPECT_EQ(rig.delegate->events.back(), "loop 0");
    EXPECT_GT(peak, 0.01f);
    EXPECT_LE(peak, 1.0f);
  }
  {
    SCOPED_TRACE("toggle stops: no pass reported after it");
    rig.delegate->events.clear();
    stdout_capture::beginCapture();
    EXPECT_FALSE(rig.player->toggle());
    MainLoop::runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(stdout_capture::endCapture(),
              "AUEnginePlayer: Audio session was set active.\nAUEnginePlayer: Audio engine stopping.\n");
    EXPECT_EQ(rig.delegate->events, (std::vector<std::string>{"stopped"}));
  }
  {
    SCOPED_TRACE("replacing the effect, then disconnecting it");
    stdout_capture::beginCapture();
    rig.player->connect(makeLimiter());
    rig.player->disconnect();
    EXPECT_EQ(stdout_capture::endCapture(),
              "AUEnginePlayer: A new audio unit will be connected.\n"
              "AUEnginePlayer: Audio unit was disconnecting and detaching.\n"
              "AUEnginePlayer: Audio unit was attached.\n"
              "AUEnginePlayer: Audio Unit was connected to the player.\n"
              "AUEnginePlayer: Audio Unit was connected to the main mixer.\n"
              "AUEnginePlayer::WARNING: Function connect() with argument 'nil' causes disconnection.\n"
              "AUEnginePlayer: Audio unit was disconnecting and detaching.\n"
              "AUEnginePlayer: Performed audio unit disconnection.\n"
              "AUEnginePlayer: The audio unit was set to 'nil'.\n");
  }
}

TEST(AUEnginePlayerThreads, FailuresPrintTheirLinesOnly) {
  ASSERT_TRUE(kNullDriver);
  {
    SCOPED_TRACE("disconnect without an effect and without a file");
    Rig rig;
    stdout_capture::beginCapture();
    rig.player->disconnect();
    EXPECT_EQ(stdout_capture::endCapture(),
              "AUEnginePlayer::WARNING: Function connect() with argument 'nil' causes disconnection.\n"
              "AUEnginePlayer: ERROR: There is a problem with the audio file processing format.\n"
              "AUEnginePlayer: Performed audio unit disconnection.\n"
              "AUEnginePlayer: The audio unit was set to 'nil'.\n");
  }
  {
    SCOPED_TRACE("a file that cannot be opened");
    Rig rig;
    const URL missing = URL::fileURLWithPath("/nonexistent/17.m4a");
    stdout_capture::beginCapture();
    rig.player->load(missing);
    EXPECT_EQ(
        stdout_capture::endCapture(),
        "AUEnginePlayer: Audio file at '/nonexistent/17.m4a' was selected for loading into the player.\n"
        "AUEnginePlayer::ERROR: Could not create AVAudioFile instance for URL "
        "'Optional(file:///nonexistent/17.m4a)'. "
        "error: Error Domain=NSOSStatusErrorDomain Code=-43 \"The audio file '/nonexistent/17.m4a' could not "
        "be "
        "opened: the file does not exist.\" UserInfo={NSLocalizedDescription=The audio file "
        "'/nonexistent/17.m4a' could not be opened: the file does not exist.}.\n");
    EXPECT_TRUE(rig.delegate->events.empty());
  }
  {
    SCOPED_TRACE("the engine cannot start: the error line, no 'starting', no state change");
    Rig rig(false);
    AudioDeviceOutputTesting::failOpens(2);
    stdout_capture::beginCapture();
    EXPECT_FALSE(rig.player->toggle());
    MainLoop::runUntil([] { return false; }, std::chrono::milliseconds(30));
    const auto printed = lines(stdout_capture::endCapture());
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(
        printed.back(),
        "AUEnginePlayer::ERROR: Could not start audio engine. error: Error Domain=NSOSStatusErrorDomain "
        "Code=-10876 \"The audio engine could not start: no audio output could be opened (no audio device "
        "(test); no audio device (test)).\" UserInfo={NSLocalizedDescription=The audio engine could not "
        "start: "
        "no audio output could be opened (no audio device (test); no audio device (test)).}.");
    EXPECT_EQ(rig.delegate->events.size(), 1u);  // the file only
  }
  {
    SCOPED_TRACE("the audio session fails: its line, playback goes on");
    Rig rig;
    AVAudioSessionTesting::setFailing(true);
    stdout_capture::beginCapture();
    EXPECT_TRUE(rig.player->toggle());
    AVAudioSessionTesting::setFailing(false);
    EXPECT_FALSE(rig.player->toggle());
    MainLoop::runUntilIdle();
    const auto printed = lines(stdout_capture::endCapture());
    EXPECT_NE(std::find(printed.begin(), printed.end(),
                        "AUEnginePlayer::ERROR: Could not set audio session active true. system error: Error "
                        "Domain=NSOSStatusErrorDomain Code=561017449 \"(null)\"."),
              printed.end());
    EXPECT_EQ(printed.back(), "AUEnginePlayer: Audio engine stopping.");
  }
}

// With only "1.m4a" and "80.m4a" present, the draws that find a file are the two ends.
TEST(AUEnginePlayerThreads, TheFileChoiceReachesBothEnds) {
  ASSERT_TRUE(kNullDriver);
  const auto folder = std::filesystem::temp_directory_path() / ("kov-ends-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(std::string(KOV_LOOPS_DIR) + "/1.m4a", folder / "1.m4a");
  std::filesystem::copy_file(std::string(KOV_LOOPS_DIR) + "/80.m4a", folder / "80.m4a");
  Rig rig;
  Bundle::setMainResourcePath(folder.string());
  std::set<std::string> found, missing;
  stdout_capture::beginCapture();
  for (int start = 0; start < 400 && found.size() < 2; ++start) {
    rig.delegate->events.clear();
    rig.player->start();
    rig.player->stop();
    for (const auto& e : rig.delegate->events)
      if (e.rfind("file ", 0) == 0)
        found.insert(std::filesystem::path(e.substr(5)).filename().string());
  }
  MainLoop::runUntilIdle();
  for (const auto& line : lines(stdout_capture::endCapture()))
    if (line.rfind("AUEnginePlayer::ERROR: The audio file '", 0) == 0)
      missing.insert(line.substr(39, line.find('\'', 39) - 39));
  EXPECT_EQ(found, (std::set<std::string>{"1.m4a", "80.m4a"}));
  EXPECT_FALSE(missing.empty());
  for (const auto& name : missing) {
    const int n = std::stoi(name);
    EXPECT_TRUE(n > 1 && n < 80 && name == std::to_string(n) + ".m4a") << name;
  }
  std::filesystem::remove_all(folder);
}

// An effect that reports a MIDI output: events it sends from its render thread are printed on
// the main thread, a two-byte event after the warning and with its two bytes.
TEST(AUEnginePlayerThreads, MIDIEventsArePrintedOnTheMainThread) {
  ASSERT_TRUE(kNullDriver);
  struct MIDIUnit final : AUAudioUnit {
    using AUAudioUnit::AUAudioUnit;
    std::vector<std::string> MIDIOutputNames() override { return {"out"}; }
  };
  static const AudioComponentDescription kMIDIUnit{FourCC("aumf"), FourCC("midi"), FourCC("kovt"), 0, 0};
  AUAudioUnit::registerSubclass(
      [](const AudioComponentDescription& d, AudioComponentInstantiationOptions o) {
        return std::make_shared<MIDIUnit>(d, o);
      },
      kMIDIUnit, "KOV Test: MIDI", 1);
  Rig rig;
  auto effect = std::make_shared<AVAudioUnitEffect>(kMIDIUnit);
  stdout_capture::beginCapture();
  rig.player->connect(effect);
  auto block = effect->auAudioUnit()->MIDIOutputEventBlock();
  ASSERT_TRUE(block);
  std::thread render([&] {
    const UInt8 noteOn[3] = {0x90, 60, 100};
    const UInt8 shortEvent[2] = {0xC0, 5};
    EXPECT_EQ(block(1234, 0, 3, noteOn), noErr);
    EXPECT_EQ(block(1300, 0, 2, shortEvent), noErr);
  });
  render.join();
  // The events reach the main loop on the render-line printer's turns: wait until they are out,
  // not for a fixed time. The drain prints each event as it takes it off the queue.
  EXPECT_TRUE(MainLoop::runUntil([&] { return !AUEnginePlayerTesting::midiEventsPending(*rig.player); },
                                 std::chrono::seconds(3)));
  const auto printed = lines(stdout_capture::endCapture());
  ASSERT_GE(printed.size(), 4u);
  EXPECT_EQ(printed[1],
            "AUEnginePlayer: The audio unit reports MIDI output names. Assigning a handling block.");
  EXPECT_EQ(
      std::vector<std::string>(printed.end() - 3, printed.end()),
      (std::vector<std::string>{"AUEnginePlayer: MIDI event from audio unit at: 1234, data: 144, 60, 100",
                                "AUEnginePlayer::WARNING: The MIDI data length is not as expected.",
                                "AUEnginePlayer: MIDI event from audio unit at: 1300, data: 192, 5"}));
  EXPECT_EQ(rig.player->droppedMIDIEvents(), 0u);
  {
    SCOPED_TRACE("the player gone, its drain is gone too: events sent later are left alone");
    const std::weak_ptr<AUEnginePlayer> weak = rig.player;
    rig.player.reset();
    ASSERT_TRUE(weak.expired());
    stdout_capture::beginCapture();
    std::thread late([&] {
      const UInt8 noteOff[3] = {0x80, 60, 0};
      EXPECT_EQ(block(2000, 0, 3, noteOff), noErr);
    });
    late.join();
    MainLoop::runUntil([] { return false; }, std::chrono::milliseconds(100));
    MainLoop::runUntilIdle();  // would never return while a drain reported the event it cannot take
    EXPECT_EQ(stdout_capture::endCapture(), "");
  }
}
