#include "UIKit/UIApplication.h"

#include <gio/gio.h>

#include <set>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"

namespace {

std::shared_ptr<UIApplication>& sharedApplication() {
  static std::shared_ptr<UIApplication> application;
  return application;
}

UIApplication::URLOpener& urlOpener() {
  static UIApplication::URLOpener opener;
  return opener;
}

// GIO's default handler, asynchronously: the launch may take a while and must not block the loop.
void openWithDefaultHandler(const std::string& uri, std::function<void(bool)> done) {
  auto* pending = new std::function<void(bool)>(std::move(done));
  g_app_info_launch_default_for_uri_async(
      uri.c_str(), nullptr, nullptr,
      [](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::function<void(bool)>> done(static_cast<std::function<void(bool)>*>(data));
        GError* error = nullptr;
        const bool opened = g_app_info_launch_default_for_uri_finish(result, &error);
        if (error)
          g_error_free(error);  // failure is silent
        (*done)(opened);
      },
      pending);
}

// Every controller reachable from `root`: itself, its children and what each presents.
void collectControllers(const std::shared_ptr<UIViewController>& root,
                        std::vector<std::shared_ptr<UIViewController>>& out,
                        std::set<const UIViewController*>& seen) {
  if (!root || !seen.insert(root.get()).second)
    return;
  out.push_back(root);
  for (const auto& child : root->children())
    collectControllers(child, out, seen);
  collectControllers(root->presentedViewController(), out, seen);
}

}  // namespace

UIApplication::UIApplication() = default;
UIApplication::~UIApplication() = default;

UIApplication& UIApplication::shared() {
  auto& application = sharedApplication();
  if (!application)
    application = std::make_shared<UIApplication>();
  return *application;
}

void UIApplication::setShared(std::shared_ptr<UIApplication> application) {
  sharedApplication() = std::move(application);
}

void UIApplication::open(const URL& url, const OpenExternalURLOptions&,
                         std::function<void(bool)> completionHandler) {
  auto done = [completionHandler = std::move(completionHandler)](bool opened) {
    if (completionHandler)
      DispatchQueue::main().async([completionHandler, opened] { completionHandler(opened); });
  };
  if (urlOpener()) {
    urlOpener()(url.absoluteString(), std::move(done));
  } else {
    openWithDefaultHandler(url.absoluteString(), std::move(done));
  }
}

void UIApplication::setURLOpener(URLOpener opener) {
  urlOpener() = std::move(opener);
}

void UIApplication::becomeActive() {
  if (terminating_ || state_ == UIApplicationState::active)
    return;
  if (state_ == UIApplicationState::background)
    enterForeground();
  state_ = UIApplicationState::active;
  if (delegate_)
    delegate_->applicationDidBecomeActive(*this);
}

void UIApplication::resignActive() {
  if (state_ != UIApplicationState::active)
    return;
  if (delegate_)
    delegate_->applicationWillResignActive(*this);
  state_ = UIApplicationState::inactive;
}

void UIApplication::enterBackground() {
  if (terminating_ || state_ == UIApplicationState::background)
    return;
  resignActive();
  state_ = UIApplicationState::background;
  if (delegate_)
    delegate_->applicationDidEnterBackground(*this);
}

void UIApplication::enterForeground() {
  if (state_ != UIApplicationState::background)
    return;
  if (delegate_)
    delegate_->applicationWillEnterForeground(*this);
  state_ = UIApplicationState::inactive;
}

void UIApplication::terminate() {
  if (terminating_)
    return;
  willTerminate();
  MainLoop::quit();
}

void UIApplication::willTerminate() {
  if (terminating_)
    return;
  resignActive();
  terminating_ = true;
  if (delegate_)
    delegate_->applicationWillTerminate(*this);
}

void UIApplication::didReceiveMemoryWarning() {
  if (delegate_)
    delegate_->applicationDidReceiveMemoryWarning(*this);
  std::vector<std::shared_ptr<UIViewController>> controllers;
  std::set<const UIViewController*> seen;
  std::set<const UIWindow*> windows;
  for (const auto& window : {delegate_ ? delegate_->window() : nullptr, UIWindow::keyWindow()}) {
    if (window && windows.insert(window.get()).second)
      collectControllers(window->rootViewController(), controllers, seen);
  }
  for (const auto& controller : controllers)
    controller->didReceiveMemoryWarning();
}
