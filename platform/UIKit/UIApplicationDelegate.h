// What the application tells its delegate about its life: launch, becoming active, going to the
// background and back, termination and memory pressure. Every callback has an empty default
// (didFinishLaunching answers true). `window` is the delegate's main window, which the launch
// fills when the main storyboard has an initial controller; a delegate that keeps a window
// overrides both accessors. Called on the main thread. [main]
#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>

class UIApplication;
class UIWindow;

class UIApplicationDelegate {
 public:
  using LaunchOptions = std::map<std::string, std::any>;

  virtual ~UIApplicationDelegate() = default;

  // application(_:didFinishLaunchingWithOptions:).
  virtual bool application(UIApplication& application, const LaunchOptions& didFinishLaunchingWithOptions) {
    (void)application;
    (void)didFinishLaunchingWithOptions;
    return true;
  }
  virtual void applicationDidBecomeActive(UIApplication&) {}
  virtual void applicationWillResignActive(UIApplication&) {}
  virtual void applicationDidEnterBackground(UIApplication&) {}
  virtual void applicationWillEnterForeground(UIApplication&) {}
  virtual void applicationWillTerminate(UIApplication&) {}
  virtual void applicationDidReceiveMemoryWarning(UIApplication&) {}

  virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
  virtual void setWindow(std::shared_ptr<UIWindow>) {}
};
