#include "ViewControllerTesting.h"

const std::shared_ptr<AUExtensionManager>& ViewControllerTesting::audioUnitManager(
    const ViewController& screen) {
  return screen.audioUnitManager;
}

void ViewControllerTesting::releaseManager(ViewController& screen) {
  screen.audioUnitManager.reset();
}
