// The application's entry: the interface description is registered, then the platform runs the
// application with the AppDelegate class as its delegate. [main]
#include "MainInterface.h"
#include "UIKit/UIApplicationMain.h"
#include "UIKit/UIStoryboard.h"

int main(int argc, char* argv[]) {
  registerMainInterface(UIStoryboard::main());
  UIApplicationMain(argc, argv, nullptr, "AppDelegate");
  return 0;
}
