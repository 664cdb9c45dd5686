// The main screen after start-up, beyond the start-up lines: the manager keeps the embedded
// editor and shows the effect's six factory presets, the unit button flips the container each
// press, play through the manager prints the player's whole sequence and toggle() answers the
// state after the switch; the bar's titles and the places of all four buttons after a resize; a
// segue without a name prints nothing; the document picker's lines and the folder picker it
// opens; the alert with OK and Cancel.
#include <gtest/gtest.h>

#include <filesystem>

#include "CoreAudioKit/AUViewController.h"
#include "EnginePlayerLines.h"
#include "HelpViewController.h"
#include "MainScreenView.h"
#include "UIKit/UIAlertController.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/testing/UITestDialogPresenter.h"
#include "UIKit/testing/UITestSupport.h"
#include "app_support.h"

namespace {

using namespace app_test;

TEST_F(MainScreenTest, TheManagerKeepsTheEditorShowsThePresetsAndPlaysThroughToggle) {
  launch(true);
  ASSERT_EQ(screen->children().size(), 1u);
  auto& manager = *ViewControllerTesting::audioUnitManager(*screen);
  EXPECT_EQ(manager.viewController, screen->children().front());
  {
    SCOPED_TRACE("the manager shows the effect's six factory presets");
    const auto presets = manager.presets();
    ASSERT_EQ(presets.size(), 6u);
    EXPECT_EQ(presets.front().name(), "Brickwall");
  }
  {
    SCOPED_TRACE("the unit button flips the container at each press");
    std::vector<bool> hidden;
    for (int press = 0; press < 3; ++press) {
      screen->buttonUnit->sendActions(UIControlEvents::touchUpInside);
      hidden.push_back(screen->pluginView->isHidden());
    }
    EXPECT_EQ(hidden, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(screen->children().front()->view()->frame(), screen->pluginView->bounds());
  }
  {
    SCOPED_TRACE("toggle(): playing, with the player's sequence through the effect");
    stdout_capture::beginCapture();
    EXPECT_TRUE(manager.togglePlayback());
    MainLoop::runUntilIdle();
    const auto started = containerLines(stdout_capture::endCapture());
    ASSERT_EQ(started.size(), 9u);
    const std::string path = started[6];
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(kResources));
    EXPECT_EQ(started, engine_player_lines::startedWith(path));
  }
  {
    SCOPED_TRACE("toggle(): stopped again, the play button back");
    stdout_capture::beginCapture();
    EXPECT_FALSE(manager.togglePlayback());
    MainLoop::runUntilIdle();
    stdout_capture::endCapture();
    EXPECT_FALSE(screen->playButton->isHidden());
    EXPECT_TRUE(screen->stopButton->isHidden());
  }
}

TEST_F(MainScreenTest, TheBarsTitlesAndAllFourButtonsAfterAResize) {
  launch(false);
  UITestSupport::display(*window);
  EXPECT_EQ(screen->buttonInfo->frame(), (CGRect{808, 9, 96, 38}));
  EXPECT_EQ(screen->buttonHelp->title(), "Help");
  EXPECT_EQ(screen->playButton->title(), "Play");
  EXPECT_EQ(screen->stopButton->title(), "Stop");
  window->setFrame({0, 0, 800, 600});
  UITestSupport::display(*window);
  EXPECT_EQ(screen->playButton->frame(), (CGRect{12, 9, 96, 38}));
  EXPECT_EQ(screen->stopButton->frame(), screen->playButton->frame());
  EXPECT_EQ(screen->buttonUnit->frame(), (CGRect{120, 9, 96, 38}));
  EXPECT_EQ(screen->buttonInfo->frame(), (CGRect{584, 9, 96, 38}));
  EXPECT_EQ(screen->buttonHelp->frame(), (CGRect{692, 9, 96, 38}));
}

TEST_F(MainScreenTest, ASegueWithoutANamePrintsNothing) {
  launch(false);
  auto other = std::make_shared<HelpViewController>(std::nullopt, nullptr);
  UIStoryboardSegue unnamed(std::nullopt, screen, other);
  stdout_capture::beginCapture();
  screen->prepare(unnamed, std::any());
  EXPECT_EQ(stdout_capture::endCapture(), "");
}

TEST_F(MainScreenTest, PickerLinesTheFolderPickerAndTheAlert) {
  launch(false);
  UIScopedTestDialogPresenter dialogs;
  {
    SCOPED_TRACE("document picker callbacks");
    UIDocumentPickerViewController picker({"public.folder"}, UIDocumentPickerMode::open);
    const URL a = URL::fileURLWithPath("/tmp/a b", true);
    const URL b = URL::fileURLWithPath("/tmp/c.txt");
    stdout_capture::beginCapture();
    screen->documentPicker(picker, std::vector<URL>{a, b});
    screen->documentPicker(picker, std::vector<URL>{});
    screen->documentPicker(picker, b);
    screen->documentPickerWasCancelled(picker);
    EXPECT_EQ(stdout_capture::endCapture(), "documentPicker: [" + a.description() + ", " + b.description() +
                                                "]\n"
                                                "documentPicker (didPickDocumentsAt): /tmp/a b\n"
                                                "documentPicker: []\n"
                                                "documentPicker (didPickDocumentAt): /tmp/c.txt\n"
                                                "The document picker was canceled.\n");
  }
  {
    SCOPED_TRACE("the folder picker: one folder, the screen its delegate; a pick reaches the screen");
    screen->openFilePicker();
    MainLoop::runUntilIdle();
    ASSERT_EQ(dialogs->pickers.size(), 1u);
    auto& picker = *dialogs->pickers.front();
    EXPECT_EQ(picker.documentTypes(), std::vector<std::string>{"public.folder"});
    EXPECT_FALSE(picker.allowsMultipleSelection());
    EXPECT_EQ(picker.delegate().get(), static_cast<UIDocumentPickerDelegate*>(screen.get()));
    stdout_capture::beginCapture();
    EXPECT_TRUE(picker.pick({URL::fileURLWithPath("/tmp/loops", true)}));
    MainLoop::runUntilIdle();
    const std::string printed = stdout_capture::endCapture();
    EXPECT_NE(printed.find("documentPicker (didPickDocumentsAt): /tmp/loops\n"), std::string::npos)
        << printed;
  }
  {
    SCOPED_TRACE("an alert with OK and Cancel");
    stdout_capture::beginCapture();
    screen->alertMessage("Title", "Message");
    MainLoop::runUntilIdle();
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    const auto& alert = *dialogs->alerts.front();
    EXPECT_EQ(alert.title(), "Title");
    EXPECT_EQ(alert.message(), "Message");
    ASSERT_EQ(alert.actions().size(), 2u);
    EXPECT_EQ(alert.actions()[0]->title(), "OK");
    EXPECT_EQ(alert.actions()[0]->style(), UIAlertActionStyle::default_);
    EXPECT_EQ(alert.actions()[1]->title(), "Cancel");
    EXPECT_EQ(alert.actions()[1]->style(), UIAlertActionStyle::cancel);
    EXPECT_TRUE(dialogs->alerts.front()->press("OK"));
    MainLoop::runUntilIdle();
    EXPECT_EQ(stdout_capture::endCapture(), "Title: Message\nAlert was confirmed.\n");
    stdout_capture::beginCapture();
    screen->alertMessage("Again", "Twice");
    MainLoop::runUntilIdle();
    ASSERT_EQ(dialogs->alerts.size(), 2u);
    EXPECT_TRUE(dialogs->alerts.back()->press("Cancel"));
    MainLoop::runUntilIdle();
    EXPECT_EQ(stdout_capture::endCapture(), "Again: Twice\nAlert was canceled.\n");
  }
}

}  // namespace
