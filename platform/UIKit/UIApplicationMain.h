// The program entry of an application, and the class registry that turns the class names it is
// given into objects.
//
// UIApplicationMain(argc, argv, principalClassName, delegateClassName) makes the application
// (the class registered under `principalClassName`, UIApplication for null) and its delegate (the
// class registered under `delegateClassName`; none for null), launches and runs the main loop. The
// launch, in order: the main storyboard's initial controller is made (init(coder:)) with a window
// for it, which becomes the delegate's `window`; the delegate's application(_:didFinishLaunching
// WithOptions:) runs; the controller becomes the window's root (its view loads: viewDidLoad), the
// window is made key and visible and the root controller appears (viewWillAppear, then
// viewDidAppear on the main loop's first turn, where the application also becomes active). The
// root controller is the window's only after didFinishLaunching, so that its view loads after it.
//
// The loop runs until UIApplication::terminate() (from code, or SIGINT / SIGTERM) or until it is
// quit otherwise (the main window closed); the application has then terminated (willTerminate)
// and UIApplicationMain returns 0. A class name that is not registered ends it at once with a
// line on stderr and the result 1. [main: the thread that calls it becomes the main thread]
#pragma once

#include <functional>
#include <memory>
#include <string>

class UIApplication;
class UIApplicationDelegate;

int UIApplicationMain(int argc, char* argv[], const char* principalClassName, const char* delegateClassName);

// Registers a class for UIApplicationMain under a name (a second registration of a name replaces
// the first). [main; before UIApplicationMain]
void UIApplicationRegisterDelegateClass(std::string name,
                                        std::function<std::shared_ptr<UIApplicationDelegate>()> make);
void UIApplicationRegisterApplicationClass(std::string name,
                                           std::function<std::shared_ptr<UIApplication>()> make);

// Registers `Delegate` (made with std::make_shared) under `name` when constructed; meant for a
// static object beside the class:  static const UIApplicationDelegateClass<AppDelegate> r("AppDelegate");
template <class Delegate>
struct UIApplicationDelegateClass {
  explicit UIApplicationDelegateClass(std::string name) {
    UIApplicationRegisterDelegateClass(std::move(name), [] { return std::make_shared<Delegate>(); });
  }
};
