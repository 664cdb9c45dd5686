// The application's delegate: it keeps the main window that the launch from the main storyboard
// fills, and answers the life-cycle calls (all empty; launching answers true). [main]
#pragma once

#include <memory>

#include "UIKit/UIApplicationDelegate.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIWindow.h"

class AppDelegate : public UIResponder, public UIApplicationDelegate {
 public:
  // The name UIApplicationMain is given for this class.
  static constexpr const char* className = "AppDelegate";

  std::shared_ptr<UIWindow> window() const override { return window_; }
  void setWindow(std::shared_ptr<UIWindow> window) override { window_ = std::move(window); }

  bool application(UIApplication& application, const LaunchOptions& didFinishLaunchingWithOptions) override;
  void applicationWillResignActive(UIApplication& application) override;
  void applicationDidEnterBackground(UIApplication& application) override;
  void applicationWillEnterForeground(UIApplication& application) override;
  void applicationDidBecomeActive(UIApplication& application) override;
  void applicationWillTerminate(UIApplication& application) override;

 private:
  std::shared_ptr<UIWindow> window_;
};
