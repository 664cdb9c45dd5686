// The engine's edges: the application's start-up shape (an effect attached before any file stays
// unconnected), a detached node leaving its engine, a stopped engine restarted without a file
// rendering silence; refused connections saying why; the manual render call refusing too many frames and a
// buffer of another format, and manual rendering refused while running or with a format it cannot render; the
// audio session's state through its failure hook; an engine with no output at all.
#include <gtest/gtest.h>

#include "AVFoundation/testing/AVFoundationTesting.h"

#include <cstdlib>
#include <functional>

#include "AVFoundation/AVAudioSession.h"
#include "AVFoundation/internal/AudioDeviceOutput.h"
#include "AudioToolbox/internal/PeakLimiterUnit.h"
#include "EngineTestSupport.h"

using namespace engine_test;

namespace {

// SDL's null driver unless told otherwise: no sound card, no ALSA messages.
const bool kNullDriver = [] { return ::setenv("SDL_AUDIODRIVER", "dummy", 0) == 0; }();

}  // namespace

TEST(EngineGraphEdges, StartUpShapeDetachingAndARestartWithoutAFile) {
  TemporaryFolder folder;
  OfflineEngine rig;
  auto engine = rig.engine;
  auto mixer = engine->mainMixerNode();
  auto effect = std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
  {
    SCOPED_TRACE("at start-up the effect is attached before any file: it stays unconnected");
    engine->attach(effect);
    EXPECT_EQ(effect->engine(), engine);
    engine->disconnectNodeInput(mixer);
    engine->connect(mixer, engine->outputNode(), engine->outputNode()->outputFormatForBus(0));
    EXPECT_EQ(engine->inputNode(mixer), nullptr);
    EXPECT_EQ(engine->inputNode(effect), nullptr);
  }
  auto loud = sine(440.0, 2.0, 9600, 48000.0);
  auto file = wavFile(folder.file("loud.wav"), {loud, loud}, 48000);
  engine->connect(rig.player, effect, file->processingFormat());
  engine->connect(effect, mixer, file->processingFormat());
  rig.player->scheduleFile(file, nullptr, nullptr);
  engine->start();
  EXPECT_TRUE(engine->isRunning());
  rig.player->play();
  EXPECT_LE(peak(rig.render(2048)[0]), 1.0f + 1e-6f);
  {
    SCOPED_TRACE("a detached node leaves its engine and the graph");
    engine->detach(effect);
    EXPECT_EQ(effect->engine(), nullptr);
    EXPECT_EQ(engine->inputNode(mixer), nullptr);
    EXPECT_EQ(peak(rig.render(1024)[0]), 0.0f);
  }
  {
    SCOPED_TRACE("stopped twice, then started again with the player but no file: silence");
    engine->stop();
    engine->stop();
    EXPECT_FALSE(engine->isRunning());
    EXPECT_EQ(engine->renderOffline(512, *rig.buffer),
              AVAudioEngineManualRenderingStatus::cannotDoInCurrentContext);
    engine->connect(rig.player, mixer, file->processingFormat());
    rig.player->stop();
    engine->start();
    rig.player->play();
    EXPECT_EQ(peak(rig.render(1024)[0]), 0.0f);
    EXPECT_TRUE(engine->isRunning());
  }
}

// Connections the engine refuses say why on the error stream and are not made: nodes not
// attached, a bus the node does not have, a player output in a format it cannot render.
TEST(EngineGraphEdges, RefusedConnectionsSayWhyAndAreNotMade) {
  OfflineEngine rig;
  auto mixer = rig.engine->mainMixerNode();
  auto loose = std::make_shared<AVAudioPlayerNode>();
  const auto stereo = AVAudioFormat::makeStandard(48000.0, 2);
  const struct {
    const char* what;
    std::function<void()> connect;
    std::string line;
  } cases[] = {
      {"a node not attached", [&] { rig.engine->connect(loose, mixer, stereo); },
       "cannot connect nodes that are not attached to the engine"},
      {"a bus the player does not have", [&] { rig.engine->connect(rig.player, mixer, 1, 0, stereo); },
       "cannot connect " + rig.player->description() + " to " + mixer->description() + ": no such bus"},
      {"an interleaved player output",
       [&] {
         rig.engine->connect(rig.player, mixer,
                             AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 48000.0, 2, true));
       },
       "cannot connect " + rig.player->description() + " to " + mixer->description() +
           ": a player's output must be one standard (float, non-interleaved) bus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::internal::CaptureStderr();
    c.connect();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "AVAudioEngine: " + c.line + "\n");
    EXPECT_EQ(rig.engine->inputNode(mixer), nullptr);
  }
  EXPECT_TRUE(*rig.player->outputFormatForBus(0) == *stereo);  // the refused format not taken
}

TEST(EngineGraphEdges, ManualRenderingRefusals) {
  OfflineEngine rig(48000.0, 2, 256);
  {
    SCOPED_TRACE("formats manual rendering cannot render, before the start");
    auto engine = std::make_shared<AVAudioEngine>();
    EXPECT_THROW(engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline,
                                                   AVAudioFormat::makeStandard(48000.0, 3), 256),
                 NSError);
    EXPECT_THROW(engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline,
                                                   AVAudioFormat::makeStandard(48000.0, 2), 0),
                 NSError);
    EXPECT_THROW(engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline, nullptr, 256),
                 NSError);
    EXPECT_NO_THROW(engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline,
                                                      AVAudioFormat::makeStandard(44100.0, 1), 1));
  }
  rig.engine->start();
  OSStatus status = noErr;
  auto big = AVAudioPCMBuffer::make(rig.format, 1024);
  {
    SCOPED_TRACE("more frames than the maximum, or than the buffer holds");
    EXPECT_EQ(rig.engine->renderOffline(512, *big, &status), AVAudioEngineManualRenderingStatus::error);
    EXPECT_EQ(status, kAudioUnitErr_TooManyFramesToProcess);
    auto small = AVAudioPCMBuffer::make(rig.format, 128);
    status = noErr;
    EXPECT_EQ(rig.engine->renderOffline(129, *small, &status), AVAudioEngineManualRenderingStatus::error);
    EXPECT_EQ(status, kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(rig.engine->renderOffline(128, *small), AVAudioEngineManualRenderingStatus::success);
    EXPECT_EQ(small->frameLength(), 128u);
  }
  {
    SCOPED_TRACE("exactly the maximum renders, and counts");
    EXPECT_EQ(rig.engine->renderOffline(256, *big, &status), AVAudioEngineManualRenderingStatus::success);
    EXPECT_EQ(rig.engine->manualRenderingSampleTime(), 128 + 256);
  }
  {
    SCOPED_TRACE("a buffer of another channel count");
    auto mono = AVAudioPCMBuffer::make(AVAudioFormat::makeStandard(48000.0, 1), 256);
    status = noErr;
    EXPECT_EQ(rig.engine->renderOffline(256, *mono, &status), AVAudioEngineManualRenderingStatus::error);
    EXPECT_EQ(status, kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(rig.engine->manualRenderingSampleTime(), 128 + 256);  // refusals render nothing
  }
  EXPECT_THROW(
      rig.engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline, rig.format, 256),
      NSError);
}

TEST(AudioSession, SucceedsUnlessTheTestHookMakesItFail) {
  auto& session = AVAudioSession::sharedInstance();
  EXPECT_NO_THROW(session.setCategory(AVAudioSessionCategoryPlayback, AVAudioSessionModeDefault, 0));
  EXPECT_NO_THROW(session.setActive(true, 0));
  EXPECT_TRUE(session.isActive());
  AVAudioSessionTesting::setFailing(true);
  for (int call = 0; call < 2; ++call) {
    SCOPED_TRACE(call == 0 ? "setActive" : "setCategory");
    try {
      if (call == 0)
        session.setActive(false, 0);
      else
        session.setCategory(AVAudioSessionCategoryPlayback, AVAudioSessionModeDefault, 0);
      ADD_FAILURE() << "no error";
    } catch (const NSError& error) {
      EXPECT_EQ(error.description(), "Error Domain=NSOSStatusErrorDomain Code=561017449 \"(null)\"");
    }
  }
  EXPECT_TRUE(session.isActive());  // a failed call changes nothing
  AVAudioSessionTesting::setFailing(false);
  session.setActive(false, 0);
  EXPECT_FALSE(session.isActive());
}

TEST(EngineDevice, WithoutAnyOutputStartThrowsAndTheEngineStaysStopped) {
  ASSERT_TRUE(kNullDriver);
  auto engine = std::make_shared<AVAudioEngine>();
  AudioDeviceOutputTesting::failOpens(2);
  try {
    engine->start();
    ADD_FAILURE() << "started";
  } catch (const NSError& error) {
    EXPECT_EQ(error.domain(), NSOSStatusErrorDomain);
    EXPECT_EQ(error.code(), AVAudioEngine::kNoOutputError);
    EXPECT_EQ(error.localizedDescription(),
              "The audio engine could not start: no audio output could be opened (no audio device (test); "
              "no audio device (test)).");
  }
  EXPECT_FALSE(engine->isRunning());
}
