// The main screen's other duties: the layout of its bar and container, the help and info
// segues with their preparation, the help button's browser and page, the layout reset without an
// editor, and the embedding on the main thread.
#include <gtest/gtest.h>

#include <thread>

#include "HelpViewController.h"
#include "MainScreenView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/UITestSupport.h"
#include "app_support.h"

namespace {

using namespace app_test;

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
  UIApplication::setURLOpener([&](const std::string& uri, std::function<void(bool)> done) {
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
  UIApplication::setURLOpener(nullptr);
}

TEST_F(MainScreenTest, LayoutHelpersWithoutAnEditorPrintTheirLines) {
  launch(false);
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
