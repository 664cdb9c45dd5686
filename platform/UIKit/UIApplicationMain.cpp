#include "UIKit/UIApplicationMain.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <map>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"
#include "UIKit/internal/FontConfiguration.h"
#include "UIKit/internal/UIKitLog.h"

namespace {

template <class T>
using Registry = std::map<std::string, std::function<std::shared_ptr<T>()>, std::less<>>;

Registry<UIApplicationDelegate>& delegateClasses() {
  static Registry<UIApplicationDelegate> registry;
  return registry;
}

Registry<UIApplication>& applicationClasses() {
  static Registry<UIApplication> registry;
  return registry;
}

template <class T>
std::shared_ptr<T> make(const Registry<T>& registry, const char* name) {
  auto found = registry.find(std::string_view(name));
  return found == registry.end() ? nullptr : found->second();
}

gboolean onFocusIn(GtkWidget*, GdkEvent*, gpointer) {
  UIApplication::shared().becomeActive();
  return FALSE;
}

gboolean onFocusOut(GtkWidget*, GdkEvent*, gpointer) {
  UIApplication::shared().resignActive();
  return FALSE;
}

gboolean onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer) {
  if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
    if (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) {
      UIApplication::shared().enterBackground();
    } else {
      UIApplication::shared().becomeActive();
    }
  }
  return FALSE;
}

// The desktop's events for the main window while the loop runs: focus is being active,
// minimising is the background. (Closing it ends the loop: the window backend sees to that.)
struct WindowEvents {
  GtkWidget* window = nullptr;
  std::vector<gulong> handlers;

  void connect(GtkWidget* w) {
    window = GTK_WIDGET(g_object_ref(w));
    handlers = {g_signal_connect(window, "focus-in-event", G_CALLBACK(onFocusIn), nullptr),
                g_signal_connect(window, "focus-out-event", G_CALLBACK(onFocusOut), nullptr),
                g_signal_connect(window, "window-state-event", G_CALLBACK(onWindowState), nullptr)};
  }

  ~WindowEvents() {
    if (!window)
      return;
    for (gulong handler : handlers) {
      if (g_signal_handler_is_connected(window, handler))
        g_signal_handler_disconnect(window, handler);
    }
    g_object_unref(window);
  }
};

// The GTK window just shown for the key window: the visible top-level that is not a dialog.
GtkWidget* shownGtkWindow() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* w = windows; w && !found; w = w->next) {
    auto* widget = GTK_WIDGET(w->data);
    if (gtk_widget_get_visible(widget) && !GTK_IS_DIALOG(widget))
      found = widget;
  }
  g_list_free(windows);
  return found;
}

gboolean terminateOnSignal(gpointer) {
  UIApplication::shared().terminate();
  return G_SOURCE_CONTINUE;
}

}  // namespace

void UIApplicationRegisterDelegateClass(std::string name,
                                        std::function<std::shared_ptr<UIApplicationDelegate>()> make) {
  delegateClasses()[std::move(name)] = std::move(make);
}

void UIApplicationRegisterApplicationClass(std::string name,
                                           std::function<std::shared_ptr<UIApplication>()> make) {
  applicationClasses()[std::move(name)] = std::move(make);
}

int UIApplicationMain(int argc, char* argv[], const char* principalClassName, const char* delegateClassName) {
  (void)argc;
  (void)argv;
  MainLoop::adoptCurrentThread();
  // The fonts are read while GTK starts and the window is made; the first text drawn waits.
  FontConfiguration::prepareInBackground();

  std::shared_ptr<UIApplication> application =
      principalClassName ? make(applicationClasses(), principalClassName) : std::make_shared<UIApplication>();
  if (!application) {
    uikitLog(std::string("UIApplicationMain: no application class is registered as \"") + principalClassName +
             "\"");
    return 1;
  }
  std::shared_ptr<UIApplicationDelegate> delegate;
  if (delegateClassName) {
    delegate = make(delegateClasses(), delegateClassName);
    if (!delegate) {
      uikitLog(std::string("UIApplicationMain: no delegate class is registered as \"") + delegateClassName +
               "\"");
      return 1;
    }
  }
  UIApplication::setShared(application);
  application->setDelegate(delegate);

  // The launch from the main storyboard.
  std::shared_ptr<UIViewController> root = UIStoryboard::main().instantiateInitialViewController();
  std::shared_ptr<UIWindow> window;
  if (root) {
    window = UIWindow::make();
    if (delegate)
      delegate->setWindow(window);
  }
  if (delegate)
    delegate->application(*application, {});
  if (delegate && delegate->window())
    window = delegate->window();
  if (window) {
    if (root)
      window->setRootViewController(root);
    window->makeKeyAndVisible();
    if (auto shown = window->rootViewController())
      shown->beginAppearanceTransition(true, false);
  }

  WindowEvents events;
  if (window && UIWindow::backendKind() == UIWindowBackendKind::windowed) {
    if (GtkWidget* gtkWindow = shownGtkWindow())
      events.connect(gtkWindow);
  }
  const guint sigint = g_unix_signal_add(SIGINT, terminateOnSignal, nullptr);
  const guint sigterm = g_unix_signal_add(SIGTERM, terminateOnSignal, nullptr);

  // The first turn of the loop: the root controller has appeared and the application is active.
  DispatchQueue::main().async([window, application] {
    if (window) {
      if (auto shown = window->rootViewController())
        shown->endAppearanceTransition();
    }
    application->becomeActive();
  });
  MainLoop::run();
  application->willTerminate();  // the loop may have ended without terminate(): a closed window

  g_source_remove(sigint);
  g_source_remove(sigterm);
  return 0;
}
