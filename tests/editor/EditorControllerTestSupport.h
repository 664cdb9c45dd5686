// Helpers for the editor-controller tests: a fixture with timers on the test clock, the user's
// data folder and the bundle's resources in a fresh temporary folder, a quietly made effect
// unit, and printed lines read without the unit's own logging and the tree dump. [main]
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AudioUnitViewController.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/Timer.h"
#include "Dispatch/testing/TestClock.h"
#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/TextForms.h"
#include "Foundation/testing/FoundationTesting.h"
#include "KOV_Compressor_Extension_AudioUnit.h"
#include "StdoutCapture.h"
#include "UIKit/UIWindow.h"

namespace editor_controller_test {

using Lines = std::vector<std::string>;

inline const AudioComponentDescription kEffectDescription{0x61756D66 /*aumf*/, 0x6B766331 /*kvc1*/,
                                                          0x51464C44 /*QFLD*/, 2, 0};

// What the controller prints, without the lines of others: the unit's and kernel's logging
// ("AUExtension..." and "unit received parameter : ...") and the parameter-tree dump, which
// stands between the extraction line and the line after it.
inline Lines editorLines(const Lines& lines) {
  Lines kept;
  bool inDump = false;
  for (const std::string& line : lines) {
    if (inDump) {
      if (line.rfind("AU Diagnostics: ", 0) != 0 && line.rfind("ERROR: ", 0) != 0)
        continue;
      inDump = false;
    }
    if (line.rfind("AUExtension", 0) == 0 || line.rfind("unit received parameter : ", 0) == 0)
      continue;
    kept.push_back(line);
    if (line == "ExtensionViewController: Extracting at the parameter tree: ")
      inDump = true;
  }
  return kept;
}

// Drains the main queue, then returns the editor's lines printed since beginCapture().
inline Lines endCapture() {
  MainLoop::runUntilIdle();
  return editorLines(stdout_capture::splitLines(stdout_capture::endCapture()));
}

// The panel's fitted frame in a 1000 x 500 view: full height, centred, at the design aspect.
inline constexpr CGRect kFittedIn1000x500{500 - 250 / (340.0 / 512.0), 0, 500 / (340.0 / 512.0), 500};

// A visible key window of `frame` with `controller` as its root, laid out (the main queue drained:
// the controller binds and the first display pass runs).
template <class Controller>
std::shared_ptr<UIWindow> showInWindow(const std::shared_ptr<Controller>& controller, CGRect frame) {
  auto window = UIWindow::make(frame);
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  MainLoop::runUntilIdle();
  return window;
}

class EditorControllerTest : public testing::Test {
 protected:
  void SetUp() override {
    UIWindow::useBackend(UIWindowBackendKind::headless);
    MainLoop::runUntilIdle();
    TestClock::enable();
    folder = (std::filesystem::temp_directory_path() /
              ("kov-editor-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                 .string();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder + "/data");
    std::filesystem::create_directories(folder + "/Resources");
    FileManagerTesting::setSearchPaths(SearchPathDirectory::applicationSupportDirectory,
                                       std::vector<std::string>{folder + "/data"});
    Bundle::setMainResourcePath(folder + "/Resources");
  }
  void TearDown() override {
    MainLoop::runUntilIdle();
    FileManagerTesting::setSearchPaths(SearchPathDirectory::applicationSupportDirectory, std::nullopt);
    Bundle::setMainResourcePath(std::nullopt);
    TestClock::disable();
    std::filesystem::remove_all(folder);
  }

  // The effect unit, its construction lines thrown away.
  static std::shared_ptr<KOV_Compressor_Extension_AudioUnit> quietUnit() {
    stdout_capture::beginCapture();
    auto unit = std::make_shared<KOV_Compressor_Extension_AudioUnit>(kEffectDescription, 0);
    MainLoop::runUntilIdle();
    stdout_capture::endCapture();
    return unit;
  }

  // The lines a binding prints for this folder and this unit's current values, after the
  // didSet line and the warning a binding block may print first.
  Lines bindingLines(KOV_Compressor_Extension_AudioUnit& unit) const {
    Lines lines = {
        "AU Diagnostics: We are about to connect the audio unit to its view controller.",
        "Audio Unit's documents path is: " + folder + "/data/KOV Compressor Extension/Documents",
        "Audio Unit's resources path is: " + folder + "/Resources",
        "AU Diagnostics: Retriving parameters from the audio unit: ",
        "ExtensionViewController: Extracting at the parameter tree: ",
        "AU Diagnostics: Connected parameters to the plugins interface.",
    };
    for (const auto& parameter : unit.parameterTree()->allParameters()) {
      lines.push_back("editor received parameter : address: " + std::to_string(parameter->address()) +
                      ", value: " + describe(parameter->value()));
    }
    return lines;
  }

  static inline int counter = 0;
  std::string folder;
};

}  // namespace editor_controller_test
