// The application's main screen with the real registry, the effect bundle of the build tree and
// the engine rendering offline: the start-up lines in order, the editor embedded on the main
// thread, play and stop through the effect; the layout of its bar and container, the help and
// info segues with their preparation and the help button's browser, the layout reset without an
// editor.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <typeinfo>

#include "CoreAudioKit/AUViewController.h"
#include "HelpViewController.h"
#include "MainScreenView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/testing/UIKitTesting.h"
#include "UIKit/testing/UITestSupport.h"
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
    SCOPED_TRACE("the effect's factory presets, from the resource folder of its bundle in the application");
    std::vector<std::string> names;
    for (const Preset& preset : ViewControllerTesting::audioUnitManager(*screen)->presets())
      names.push_back(preset.name());
    EXPECT_EQ(names, (std::vector<std::string>{"Brickwall", "Drum Punch", "Gentle Glue", "Mid-Side Wide",
                                               "Parallel Crush", "Vocal Leveler"}));
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

// Records on which thread the effect manager and the platform reach the screen.
class ThreadCheckingScreen : public ViewController {
 public:
  using ViewController::ViewController;
  void onFoundComponent(std::shared_ptr<AVAudioUnit> unit) override {
    calls.push_back(std::this_thread::get_id() == mainThread ? "found on main" : "found elsewhere");
    ViewController::onFoundComponent(std::move(unit));
  }
  void onEngineInitialized() override {
    calls.push_back(std::this_thread::get_id() == mainThread ? "initialized on main"
                                                             : "initialized elsewhere");
  }
  static inline std::thread::id mainThread;
  std::vector<std::string> calls;
};

TEST_F(MainScreenTest, LayoutPlacesTheBarTheButtonsAndTheContainer) {
  launch(false);
  UITestSupport::display(*window);
  {
    SCOPED_TRACE("1024 x 768: play and stop share one place, the container fills the rest");
    EXPECT_EQ(screen->playButton->frame(), screen->stopButton->frame());
    EXPECT_EQ(screen->playButton->frame(), (CGRect{12, 9, 96, 38}));
    EXPECT_EQ(screen->buttonUnit->frame(), (CGRect{120, 9, 96, 38}));
    EXPECT_EQ(screen->buttonHelp->frame(), (CGRect{916, 9, 96, 38}));
    EXPECT_EQ(screen->pluginView->frame(), (CGRect{12, 68, 1000, 688}));
  }
  {
    SCOPED_TRACE("a resized window re-places everything");
    window->setFrame({0, 0, 800, 600});
    UITestSupport::display(*window);
    EXPECT_EQ(screen->pluginView->frame(), (CGRect{12, 68, 776, 520}));
  }
  EXPECT_EQ(window->title(), "KOV Compressor");
}

TEST_F(MainScreenTest, SeguesPrepareTheHelpScreenAndHelpOpensTheWebSiteToo) {
  launch(false);
  std::vector<std::string> opened;
  UIApplicationTesting::setURLOpener([&](const std::string& uri, std::function<void(bool)> done) {
    opened.push_back(uri);
    done(true);
  });
  {
    SCOPED_TRACE("help: the browser gets the site's root, the screen shows the help page");
    stdout_capture::beginCapture();
    screen->buttonHelp->sendActions(UIControlEvents::touchUpInside);
    MainLoop::runUntilIdle();
    EXPECT_EQ(containerLines(stdout_capture::endCapture()), (std::vector<std::string>{"ShowHelp"}));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://kov-compressor.example/"}));
    const auto help = std::dynamic_pointer_cast<HelpViewController>(screen->presentedViewController());
    ASSERT_NE(help, nullptr);
    ASSERT_FALSE(help->webView()->requestedLoads().empty());
    const WKLoadRequest& load = help->webView()->requestedLoads().back();
    EXPECT_EQ(load.request->url.absoluteString(), "https://kov-compressor.example/DYNAMICS/");
    EXPECT_EQ(load.request->timeoutInterval, 60.0);
    help->onButtonExit(std::any());
    MainLoop::runUntilIdle();
    EXPECT_EQ(screen->presentedViewController(), nullptr);
  }
  {
    SCOPED_TRACE("info: started by the interface itself, the info page; no browser");
    stdout_capture::beginCapture();
    screen->buttonInfo->sendActions(UIControlEvents::touchUpInside);
    MainLoop::runUntilIdle();
    EXPECT_EQ(containerLines(stdout_capture::endCapture()), (std::vector<std::string>{"ShowInfo"}));
    EXPECT_EQ(opened.size(), 1u);
    const auto info = std::dynamic_pointer_cast<HelpViewController>(screen->presentedViewController());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->webView()->requestedLoads().back().request->url.absoluteString(),
              "https://kov-compressor.example/");
    info->onButtonExit(std::any());
    MainLoop::runUntilIdle();
  }
  {
    SCOPED_TRACE("another segue prints its identifier and prepares nothing");
    auto other = std::make_shared<HelpViewController>(std::nullopt, nullptr);
    UIStoryboardSegue segue("ShowOther", screen, other);
    stdout_capture::beginCapture();
    screen->prepare(segue, std::any());
    EXPECT_EQ(stdout_capture::endCapture(), "ShowOther\n");
  }
  UIApplicationTesting::setURLOpener(nullptr);
}

TEST_F(MainScreenTest, LayoutHelpersWithoutAnEditorPrintTheirLines) {
  launch(false);
  // The registry keeps the folders earlier tests of this process added, so the search may have
  // found the effect: without its manager the screen has no editor controller either way.
  player()->stop();
  MainLoop::runUntilIdle();
  ViewControllerTesting::releaseManager(*screen);
  {
    SCOPED_TRACE("no editor controller to lay out");
    stdout_capture::beginCapture();
    screen->centerPluginView();
    screen->resetPluginView(400, 300);
    EXPECT_EQ(stdout_capture::endCapture(),
              "WARNING: Cannot reset the pluginview (yet).\nWARNING: Cannot reset the pluginview (yet).\n");
    stdout_capture::beginCapture();
    screen->embedPlugInView();
    EXPECT_EQ(stdout_capture::endCapture(), "ERROR: Could not load audio unit's view controller.\n");
  }
}

TEST_F(MainScreenTest, TheEditorArrivesOnTheMainThread) {
  ThreadCheckingScreen::mainThread = std::this_thread::get_id();
  storyboard.setInitialViewController(UIStoryboard::decoding<ThreadCheckingScreen>());
  launch(true);
  const auto checked = std::dynamic_pointer_cast<ThreadCheckingScreen>(screen);
  ASSERT_NE(checked, nullptr);
  EXPECT_EQ(checked->calls, (std::vector<std::string>{"found on main", "initialized on main"}));
  EXPECT_EQ(screen->children().size(), 1u);
}

}  // namespace
