#include "MainInterface.h"

#include "AppDelegate.h"
#include "HelpScenes.h"
#include "UIKit/UIApplicationMain.h"
#include "UIKit/UIStoryboard.h"
#include "ViewController.h"

void registerMainInterface(UIStoryboard& storyboard) {
  UIApplicationRegisterDelegateClass(AppDelegate::className, [] { return std::make_shared<AppDelegate>(); });
  storyboard.setInitialViewController(UIStoryboard::decoding<ViewController>());
  registerHelpScenes(storyboard);
}
