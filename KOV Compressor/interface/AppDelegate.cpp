#include "AppDelegate.h"

// Nothing to set up: the storyboard launch makes the window and the main screen.
bool AppDelegate::application(UIApplication& /*application*/, const LaunchOptions& /*options*/) {
  return true;
}

void AppDelegate::applicationWillResignActive(UIApplication& /*application*/) {}
void AppDelegate::applicationDidEnterBackground(UIApplication& /*application*/) {}
void AppDelegate::applicationWillEnterForeground(UIApplication& /*application*/) {}
void AppDelegate::applicationDidBecomeActive(UIApplication& /*application*/) {}
void AppDelegate::applicationWillTerminate(UIApplication& /*application*/) {}
