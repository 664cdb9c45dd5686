// Windows: the root of a view tree, shown on a desktop or off screen.
//
// Backends, chosen once per process at the first window: the windowed backend (GTK 3: one
// GtkWindow with a drawing area per UIWindow; our view tree draws into it with Cairo, display
// passes follow GTK's frame clock, mouse, touch-screen, touch-pad and wheel input become touches
// and recogniser input) when `gtk_init_check` succeeds, else the headless backend (the window is
// a Cairo image surface; display passes run from the main loop or when a test asks, and tests
// inject input through UITestSupport). KOV_UI_BACKEND=headless in the environment, or
// useBackend() before the first window, forces a choice. Both run on the GLib main context that
// serves the main queue, so main-queue work, timers, input and redraws interleave in order.
//
// A window's frame is its place and size on the screen; its bounds are the content area. Views
// in it mark themselves with setNeedsDisplay(); the window runs at most one display pass per
// refresh: pending layout first, then every marked view redraws into its own backing surface,
// then the changed region is composited. [main]
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIView.h"

class UIViewController;
class CGBitmapContext;
namespace ui_backend {
class WindowBackend;
}

enum class UIWindowBackendKind { headless, windowed };

class UIWindow : public UIView {
 public:
  static std::shared_ptr<UIWindow> make(CGRect frame = CGRect(0, 0, 1024, 768));
  ~UIWindow() override;

  // The backend of every window of this process (chosen at the first call). [main]
  static UIWindowBackendKind backendKind();
  // Forces the backend; false once a window exists with another one. [main]
  static bool useBackend(UIWindowBackendKind kind);

  // The controller whose view fills the window. Setting it puts the controller's view (loading it
  // first) into the window, pinned to its edges, in place of the previous one. [main]
  std::shared_ptr<UIViewController> rootViewController() const { return rootViewController_; }
  template <class Controller>  // UIViewController or a subclass
  void setRootViewController(std::shared_ptr<Controller> controller);
  void setRootViewController(std::nullptr_t) { installRootView(nullptr, nullptr); }

  // Shows the window and makes it the key window (the one that takes keyboard input). [main]
  void makeKeyAndVisible();
  bool isKeyWindow() const { return isKey_; }
  // The key window of the process, or null.
  static std::shared_ptr<UIWindow> keyWindow();

  const std::string& title() const { return title_; }
  void setTitle(std::string title);

  // Pixels per point of the window's surface (the monitor's scale; 1 off screen unless set).
  CGFloat screenScale() const { return screenScale_; }
  void setScreenScale(CGFloat scale);

  // ---- display

  // Asks for a display pass at the next refresh (views call it when marked). [main]
  void scheduleDisplay();
  // Runs the display pass now if anything is marked or changed; returns whether one ran. [main]
  bool displayIfNeeded();
  // Whether a display pass has been asked for and has not run yet.
  bool isDisplayPending() const;
  // Display passes run so far.
  std::uint64_t displayPassCount() const { return displayPasses_; }
  // What the last pass composited, in window coordinates (empty before the first).
  CGRect lastDamage() const { return lastDamage_; }
  // The window's composited picture (after the last display pass). [main]
  const CGBitmapContext& surface() const;

  // Compositing needs redoing over this window rectangle (geometry, visibility or order changed).
  void invalidateRect(const CGRect& windowRect);
  void invalidateAll();

  ui_backend::WindowBackend& backend() { return *backend_; }

  // Native widgets shown over the window's content (a web view's GtkWidget, passed as void* so
  // that this header needs no GTK). `placement` says where the widget goes, in window
  // coordinates, or nothing while it is hidden; it is asked again after every display pass.
  // False when the backend shows no native widgets (the headless one). [main]
  using NativePlacement = std::function<std::optional<CGRect>()>;
  bool addNativeChild(void* widget, NativePlacement placement);
  void removeNativeChild(void* widget);

  // A view in this tree went away or moved out: input routing forgets it. [main]
  void viewWillLeave(const UIView& view);

 protected:
  explicit UIWindow(CGRect frame);

 private:
  void installRootView(std::shared_ptr<UIView> view, std::shared_ptr<UIViewController> controller);
  void attachBackend();

  std::shared_ptr<UIViewController> rootViewController_;
  std::weak_ptr<UIView> rootView_;
  std::unique_ptr<ui_backend::WindowBackend> backend_;
  std::string title_;
  CGRect lastDamage_;
  std::uint64_t displayPasses_ = 0;
  CGFloat screenScale_ = 1;
  bool isKey_ = false;
  friend class ui_backend::WindowBackend;
};

template <class Controller>
void UIWindow::setRootViewController(std::shared_ptr<Controller> controller) {
  std::shared_ptr<UIView> view = controller ? controller->view() : nullptr;
  installRootView(std::move(view), std::move(controller));
}
