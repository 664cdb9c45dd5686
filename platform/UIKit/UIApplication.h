// The application object: its delegate, its life-cycle state and the desktop services it offers
// (opening a URL in the user's default application).
//
// Life cycle: UIApplicationMain launches (didFinishLaunching), then makes the application active;
// in the windowed backend the main window's focus maps to active / inactive and minimising to the
// background and back. terminate() ends the application from code (tests use it to end
// UIApplicationMain's loop), as SIGINT / SIGTERM do: it resigns active, tells the delegate
// applicationWillTerminate and quits the main loop. When the loop ends otherwise (the user closed
// the main window), UIApplicationMain terminates the application the same way before it returns.
// Each change calls the delegate once, and only when the state really changes. [main]
#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Foundation/URL.h"
#include "UIKit/UIApplicationDelegate.h"
#include "UIKit/UIResponder.h"

class UIWindow;

enum class UIApplicationState { active = 0, inactive = 1, background = 2 };

class UIApplication : public UIResponder {
 public:
  using OpenExternalURLOptions = std::map<std::string, std::any>;
  // How open() reaches the desktop: hand `uri` over and call `done` (on the main thread) with
  // whether an application took it.
  using URLOpener = std::function<void(const std::string& uri, std::function<void(bool)> done)>;

  UIApplication();
  ~UIApplication() override;

  // UIApplication.shared: the application UIApplicationMain made, else one made on first use. [main]
  static UIApplication& shared();
  // Makes `application` the shared one (UIApplicationMain does). [main]
  static void setShared(std::shared_ptr<UIApplication> application);

  const std::shared_ptr<UIApplicationDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
  UIApplicationState applicationState() const { return state_; }
  // Whether terminate() has run.
  bool isTerminating() const { return terminating_; }

  // open(_:options:completionHandler:): asks the desktop's default application for the URL's
  // scheme or type to open it (GIO's default URI handler). Failure is silent: no message, and the
  // completion (if any) gets false. The completion runs later, on the main queue. [main]
  void open(const URL& url, const OpenExternalURLOptions& options = {},
            std::function<void(bool success)> completionHandler = {});

  // ---- life-cycle events (the launch, the window backend, tests) [main]

  void becomeActive();
  void resignActive();
  void enterBackground();
  void enterForeground();
  // Resigns active, tells the delegate applicationWillTerminate and quits the main loop.
  void terminate();
  // Tells the delegate, then every controller in the delegate's window and the key window (each
  // root, its children and what it presents) didReceiveMemoryWarning. [main]
  void didReceiveMemoryWarning();

 private:
  // Test-only entry points (UIKit/testing/UIKitTesting.h, in platform_uikit_testing) replace the
  // way open() reaches the desktop through this.
  friend struct UIApplicationTesting;
  // Replaces the way open() reaches the desktop; null goes back to GIO's. [main]
  static void setURLOpener(URLOpener opener);

  friend int UIApplicationMain(int argc, char* argv[], const char* principalClassName,
                               const char* delegateClassName);
  // terminate() without quitting the loop.
  void willTerminate();

  std::shared_ptr<UIApplicationDelegate> delegate_;
  UIApplicationState state_ = UIApplicationState::inactive;
  bool terminating_ = false;
};
