// Test-only entry points of the main screen: its effect manager. Built into
// kov_app_main_screen_testing, which only tests link.
#pragma once

#include <memory>

#include "ViewController.h"

struct ViewControllerTesting {
  // The effect manager (null before viewDidLoad). [main]
  static const std::shared_ptr<AUExtensionManager>& audioUnitManager(const ViewController& screen);
  // Lets go of the effect manager, which ends the screen's life-long cycle with it (the manager
  // and the player hold the screen as delegate). [main]
  static void releaseManager(ViewController& screen);
};
