// The application's main screen with the real registry, the effect bundle of the build tree and
// the engine rendering offline: the start-up lines in order, the editor embedded on the main
// thread, the buttons' visibility, play and stop through the effect, the first pass, toggle().
#include <gtest/gtest.h>

#include <filesystem>
#include <typeinfo>

#include "CoreAudioKit/AUViewController.h"
#include "app_support.h"

namespace {

using namespace app_test;

const std::string kNote =
    "NOTE: WE ARE IN AUDIO UNIT RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!";

std::vector<std::string> screenStart() {
  return {"Info: Main view controller loaded.", kNote};
}

const std::vector<std::string> kFolders{"ViewController: The app's documents path is: " + kDocuments,
                                        "ViewController: The app's resources path is: " + kResources};

// The start-up lines: `chain` in order after the screen's first two, the folder lines in theirs.
void expectStartUp(const std::vector<std::string>& printed, const std::vector<std::string>& chain) {
  EXPECT_EQ(folderLines(printed, false), joined(screenStart(), chain));
  EXPECT_EQ(folderLines(printed, true), kFolders);
  // Both folder lines follow the note (the screen prints them after making the manager).
  const auto note = std::find(printed.begin(), printed.end(), kNote);
  const auto folders = std::find(printed.begin(), printed.end(), kFolders.front());
  EXPECT_LT(note - printed.begin(), folders - printed.begin());
}

// First in this binary: the registry has not been given the PlugIns folder yet.
TEST_F(MainScreenTest, WithoutTheEffectNothingIsEmbeddedAndPlayStillPlays) {
  const auto printed = containerLines(launch(false));
  expectStartUp(printed, {"ERROR: There were no audio units found."});
  EXPECT_TRUE(screen->children().empty());
  EXPECT_TRUE(screen->pluginView->subviews().empty());

  stdout_capture::beginCapture();
  screen->playButton->sendActions(UIControlEvents::touchUpInside);
  MainLoop::runUntilIdle();
  const auto started = containerLines(stdout_capture::endCapture());
  ASSERT_EQ(started.size(), 5u);
  EXPECT_EQ(started[1], "AUEnginePlayer: The player was connected to the mainMixerNode.");
  EXPECT_EQ(started.back(), "AUEnginePlayer: Audio engine starting.");
  EXPECT_TRUE(screen->playButton->isHidden());
  EXPECT_GT(render(48000), 0.001f);
}

TEST_F(MainScreenTest, StartUpEmbedsTheEditorAndPlayRunsTheLoopThroughTheEffect) {
  const auto printed = containerLines(launch(true));
  {
    SCOPED_TRACE("the start-up chain, in order; the manager has its unit, so no warning at the end");
    expectStartUp(printed,
                  joined(componentLog(),
                         std::vector<std::string>{
                             "AUExtensionManager: Audio unit was found, making connections now ...",
                             "AUEnginePlayer: A new audio unit will be connected.",
                             "AUEnginePlayer: The audio unit reports MIDI output names. Assigning a "
                             "handling block.",
                             "AUEnginePlayer: Audio unit was attached.",
                             "AUEnginePlayer::ERROR: There was a problem with the file processing format "
                             "or the file is nil (yet).",
                             "AUExtensionManager: Performed audio unit connection.",
                             "ViewController: Loading the audio unit's interface...",
                         }));
  }
  {
    SCOPED_TRACE("the editor: a child of the screen, its view pinned inside the hidden container");
    ASSERT_EQ(screen->children().size(), 1u);
    const auto& editor = screen->children().front();
    EXPECT_STREQ(typeid(*editor).name(), "23AudioUnitViewController");
    ASSERT_EQ(screen->pluginView->subviews().size(), 1u);
    EXPECT_EQ(screen->pluginView->subviews().front(), editor->view());
    EXPECT_EQ(editor->view()->frame(), screen->pluginView->bounds());
    EXPECT_TRUE(screen->pluginView->isHidden());
    EXPECT_FALSE(screen->playButton->isHidden());
    EXPECT_TRUE(screen->stopButton->isHidden());
  }
  {
    SCOPED_TRACE("the unit button flips the container");
    screen->buttonUnit->sendActions(UIControlEvents::touchUpInside);
    EXPECT_FALSE(screen->pluginView->isHidden());
  }
  std::string path;
  {
    SCOPED_TRACE("play: a loop wired through the effect, the engine started, the stop button shown");
    stdout_capture::beginCapture();
    screen->playButton->sendActions(UIControlEvents::touchUpInside);
    EXPECT_FALSE(screen->stopButton->isHidden() && screen->playButton->isHidden());
    MainLoop::runUntilIdle();
    // The lines in full: the engine player's test.
    const auto started = containerLines(stdout_capture::endCapture());
    ASSERT_EQ(started.size(), 9u);
    path = started[6];
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(kResources));
    EXPECT_EQ(started[4], "AUEnginePlayer: Audio unit re-connecting to the player.");
    EXPECT_TRUE(screen->playButton->isHidden());
    EXPECT_FALSE(screen->stopButton->isHidden());
  }
  {
    SCOPED_TRACE("a second through the effect: sound within full scale (a whole pass: the player's test)");
    const float peak = render(48000);
    EXPECT_GT(peak, 0.01f);
    EXPECT_LE(peak, 1.0f);
  }
  {
    SCOPED_TRACE("stop: the play button is back");
    stdout_capture::beginCapture();
    screen->stopButton->sendActions(UIControlEvents::touchUpInside);
    MainLoop::runUntilIdle();
    EXPECT_EQ(containerLines(stdout_capture::endCapture()),
              (std::vector<std::string>{"AUEnginePlayer: Audio session was set active.",
                                        "AUEnginePlayer: Audio engine stopping."}));
    EXPECT_FALSE(screen->playButton->isHidden());
    EXPECT_TRUE(screen->stopButton->isHidden());
  }
}

}  // namespace
