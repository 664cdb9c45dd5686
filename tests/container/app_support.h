// Shared by the application tests: the main screen made from the application's own interface
// description in a headless window, with the application bundle of the build tree as the main
// bundle (loops, help page, help host) and its PlugIns folder searched by the registry; the
// engine renders offline. The container's own lines are picked out of everything printed (the
// effect prints its diagnostics in between). [main]
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "AUEnginePlayer.h"
#include "AUEnginePlayerTesting.h"
#include "AUExtensionManager.h"
#include "AVFoundation/AVAudioPCMBuffer.h"
#include "AudioToolbox/AudioComponent.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/ProcessInfo.h"
#include "Foundation/testing/FoundationTesting.h"
#include "MainInterface.h"
#include "StdoutCapture.h"
#include "component_log.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIWindow.h"
#include "ViewController.h"
#include "ViewControllerTesting.h"

namespace app_test {

inline const std::string kResources = std::string(KOV_APP_BUNDLE_DIR) + "/Resources";
inline const std::string kPlugIns = std::string(KOV_APP_BUNDLE_DIR) + "/PlugIns";
inline const std::string kDocuments = "/tmp/kov-app-test-documents";

// The container's lines: those with its prefixes, the component log and the player's bare lines
// (a channel count, a loop's path). Empty lines are dropped (the effect prints some too).
inline bool isContainerLine(std::string_view line) {
  static constexpr std::string_view prefixes[] = {
      "Info: ",         "NOTE: ",        "ViewController: ", "AUExtensionManager: ",
      "AUEnginePlayer", "ERROR: ",       "Error: ",          "WARNING: ",
      "Process Name: ", "AUExtension (", "type: ",           "subtype: ",
      "manufacturer: ", "flags: ",       "ShowHelp",         "ShowInfo"};
  if (line == ")")
    return true;
  if (!line.empty() && std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return true;
  if (line.starts_with(kResources))
    return true;
  return std::any_of(std::begin(prefixes), std::end(prefixes),
                     [&](std::string_view p) { return line.starts_with(p); });
}

inline std::vector<std::string> containerLines(const std::string& printed) {
  std::vector<std::string> kept;
  for (auto& line : stdout_capture::splitLines(printed))
    if (isContainerLine(line))
      kept.push_back(line);
  return kept;
}

// The effect manager's component lines, as the container's lines (without blank lines).
inline std::vector<std::string> componentLog() {
  std::vector<std::string> lines = container_test::loadedComponentLines();
  std::erase(lines, "");
  return lines;
}

// The screen's folder lines are printed on the main thread while the registry search already runs
// on the global queue, so they may fall anywhere among the search's lines: they are checked in
// their own order, the rest in theirs.
inline bool isFolderLine(const std::string& line) {
  return line.starts_with("ViewController: The app's documents path is: ") ||
         line.starts_with("ViewController: The app's resources path is: ") ||
         line == "ViewController: Documents directory is nil." ||
         line == "ViewController: Resources folder is nil.";
}

inline std::vector<std::string> folderLines(const std::vector<std::string>& lines, bool wanted) {
  std::vector<std::string> picked;
  for (const auto& line : lines)
    if (isFolderLine(line) == wanted)
      picked.push_back(line);
  return picked;
}

template <class... Parts>
std::vector<std::string> joined(const Parts&... parts) {
  std::vector<std::string> all;
  (all.insert(all.end(), parts.begin(), parts.end()), ...);
  return all;
}

// The screen, made and shown as the application's launch does; `withEffect` adds the bundle's
// PlugIns folder to the registry first (it stays added for the process).
class MainScreenTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UIWindow::useBackend(UIWindowBackendKind::headless));
    MainLoop::adoptCurrentThread();
    Bundle::setMainResourcePath(kResources);
    FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory,
                                       std::vector<std::string>{kDocuments});
    registerMainInterface(storyboard);
  }
  void TearDown() override {
    if (screen && ViewControllerTesting::audioUnitManager(*screen)) {
      player()->stop();
      MainLoop::runUntilIdle();
      ViewControllerTesting::releaseManager(*screen);
    }
    screen.reset();
    window.reset();
    MainLoop::runUntilIdle();
    FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory, std::nullopt);
    Bundle::setMainResourcePath(std::nullopt);
  }

  // Launches the screen and waits until the start-up chain is over (the editor embedded, or the
  // search has ended without a unit). Returns everything printed meanwhile.
  std::string launch(bool withEffect) {
    if (withEffect)
      AudioComponentAddPlugInFolder(kPlugIns);
    stdout_capture::beginCapture();
    screen = std::dynamic_pointer_cast<ViewController>(storyboard.instantiateInitialViewController());
    EXPECT_NE(screen, nullptr);
    window = UIWindow::make({0, 0, 1024, 768});
    window->setRootViewController(screen);  // loads the view: viewDidLoad
    window->makeKeyAndVisible();
    AUEnginePlayerTesting::seed(*player(), 11);
    AUEnginePlayerTesting::engine(*player())->enableManualRenderingMode(
        AVAudioEngineManualRenderingMode::offline, AVAudioFormat::makeStandard(48000.0, 2), 512);
    if (withEffect) {
      EXPECT_TRUE(MainLoop::runUntil([&] { return !screen->children().empty(); }, std::chrono::seconds(20)));
    } else {
      // The search runs on the global queue: wait for its line.
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    MainLoop::runUntilIdle();
    return stdout_capture::endCapture();
  }

  // The screen hands the manager the application's real player.
  AUEnginePlayer* player() {
    return dynamic_cast<AUEnginePlayer*>(ViewControllerTesting::audioUnitManager(*screen)->auEngine.get());
  }

  // Renders `frames` frames offline (running the main queue in between); the output's peak.
  float render(int frames) {
    auto buffer = AVAudioPCMBuffer::make(AVAudioFormat::makeStandard(48000.0, 2), 512);
    float peak = 0;
    for (int done = 0; done < frames; done += 512) {
      if (AUEnginePlayerTesting::engine(*player())->renderOffline(512, *buffer) !=
          AVAudioEngineManualRenderingStatus::success)
        break;
      for (int c = 0; c < 2; ++c)
        for (int n = 0; n < 512; ++n)
          peak = std::max(peak, std::fabs(buffer->floatChannelData()[c][n]));
      MainLoop::runUntilIdle();
    }
    return peak;
  }

  UIStoryboard storyboard{"Main"};
  std::shared_ptr<ViewController> screen;
  std::shared_ptr<UIWindow> window;
};

}  // namespace app_test
