// Off-screen windows: the picture stays in the window's surface; a requested pass runs from an idle
// source on the main context at the priority GTK gives redraws (after input and main-queue work,
// before plain idle work), or earlier when a test calls displayIfNeeded().
#include <glib.h>

#include "UIKit/internal/WindowBackend.h"

namespace ui_backend {
namespace {

// GDK_PRIORITY_REDRAW: G_PRIORITY_HIGH_IDLE + 20.
constexpr int redrawPriority = G_PRIORITY_HIGH_IDLE + 20;

class HeadlessBackend final : public WindowBackend {
 public:
  using WindowBackend::WindowBackend;
  ~HeadlessBackend() override {
    if (source_)
      g_source_remove(source_);
  }

  UIWindowBackendKind kind() const override { return UIWindowBackendKind::headless; }

 protected:
  void scheduleRefresh() override {
    if (source_)
      return;
    source_ = g_idle_add_full(redrawPriority, &HeadlessBackend::refresh, this, nullptr);
  }

 private:
  static gboolean refresh(gpointer self) {
    auto* backend = static_cast<HeadlessBackend*>(self);
    backend->source_ = 0;
    backend->runDisplayPass();
    return G_SOURCE_REMOVE;
  }

  guint source_ = 0;
};

}  // namespace

std::unique_ptr<WindowBackend> makeHeadlessBackend(UIWindow& window) {
  return std::make_unique<HeadlessBackend>(window);
}

}  // namespace ui_backend
