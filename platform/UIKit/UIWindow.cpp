#include "UIKit/UIWindow.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "UIKit/internal/TouchRouter.h"
#include "UIKit/internal/WindowBackend.h"

namespace {

std::optional<UIWindowBackendKind>& chosenBackend() {
  static std::optional<UIWindowBackendKind> kind;
  return kind;
}

std::vector<std::weak_ptr<UIWindow>>& allWindows() {
  static std::vector<std::weak_ptr<UIWindow>> windows;
  return windows;
}

}  // namespace

UIWindowBackendKind UIWindow::backendKind() {
  auto& kind = chosenBackend();
  if (!kind) {
    const char* forced = std::getenv("KOV_UI_BACKEND");
    if (forced && std::strcmp(forced, "headless") == 0) {
      kind = UIWindowBackendKind::headless;
    } else {
      kind = ui_backend::gtkAvailable() ? UIWindowBackendKind::windowed : UIWindowBackendKind::headless;
    }
  }
  return *kind;
}

bool UIWindow::useBackend(UIWindowBackendKind kind) {
  auto& windows = allWindows();
  std::erase_if(windows, [](const auto& w) { return w.expired(); });
  auto& chosen = chosenBackend();
  if (chosen == kind)
    return true;
  if (!windows.empty())
    return false;
  if (kind == UIWindowBackendKind::windowed && !ui_backend::gtkAvailable())
    return false;
  chosen = kind;
  return true;
}

UIWindow::UIWindow(CGRect frame) : UIView(frame) {}

std::shared_ptr<UIWindow> UIWindow::make(CGRect frame) {
  std::shared_ptr<UIWindow> window(new UIWindow(frame));
  window->window_ = window;  // a window is its own window
  window->attachBackend();
  std::erase_if(allWindows(), [](const auto& w) { return w.expired(); });
  allWindows().push_back(window);
  window->scheduleDisplay();
  return window;
}

UIWindow::~UIWindow() {
  backend_.reset();
  rootViewController_.reset();
}

void UIWindow::attachBackend() {
  if (backendKind() == UIWindowBackendKind::windowed)
    backend_ = ui_backend::makeGtkBackend(*this);
  if (!backend_)
    backend_ = ui_backend::makeHeadlessBackend(*this);
}

void UIWindow::installRootView(std::shared_ptr<UIView> view, std::shared_ptr<UIViewController> controller) {
  if (auto old = rootView_.lock(); old && old != view && old->superview().get() == this)
    old->removeFromSuperview();
  rootViewController_ = std::move(controller);
  rootView_ = view;
  if (!view)
    return;
  view->setFrame(bounds());
  addSubview(view);
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  NSLayoutConstraint::activate(
      {view->topAnchor().constraint(topAnchor()), view->leadingAnchor().constraint(leadingAnchor()),
       view->bottomAnchor().constraint(bottomAnchor()), view->trailingAnchor().constraint(trailingAnchor())});
}

void UIWindow::makeKeyAndVisible() {
  for (const auto& weak : allWindows()) {
    if (auto w = weak.lock())
      w->isKey_ = false;
  }
  isKey_ = true;
  setHidden(false);
  backend_->show();
  scheduleDisplay();
}

std::shared_ptr<UIWindow> UIWindow::keyWindow() {
  for (const auto& weak : allWindows()) {
    if (auto w = weak.lock(); w && w->isKey_)
      return w;
  }
  return nullptr;
}

void UIWindow::setTitle(std::string title) {
  title_ = std::move(title);
  backend_->titleChanged();
}

void UIWindow::setScreenScale(CGFloat scale) {
  if (!(scale > 0) || scale == screenScale_ || scale > 8)
    return;
  screenScale_ = scale;
  invalidateAll();  // every backing is stale at the new scale and is redrawn in the next pass
}

void UIWindow::scheduleDisplay() {
  if (backend_)
    backend_->requestDisplay();
}

bool UIWindow::displayIfNeeded() {
  return backend_->runDisplayPass();
}

bool UIWindow::isDisplayPending() const {
  return backend_->isDisplayRequested();
}

const CGBitmapContext& UIWindow::surface() const {
  return backend_->surface();
}

void UIWindow::invalidateRect(const CGRect& windowRect) {
  if (backend_)
    backend_->invalidate(windowRect);
}

void UIWindow::invalidateAll() {
  invalidateRect(CGRect(0, 0, bounds().size.width, bounds().size.height));
}

void UIWindow::viewWillLeave(const UIView& view) {
  if (backend_)
    backend_->router().forget(view);
}

bool UIWindow::addNativeChild(void* widget, NativePlacement placement) {
  return backend_->addNativeChild(widget, std::move(placement));
}

void UIWindow::removeNativeChild(void* widget) {
  backend_->removeNativeChild(widget);
}
