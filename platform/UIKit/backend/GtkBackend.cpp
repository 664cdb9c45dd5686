// Windows on a desktop through GTK 3: a GtkWindow holding one GtkDrawingArea. A requested display
// pass runs in the update phase of GTK's frame clock (the backend asks the clock for that phase
// once per request and listens to its "update" signal), so passes follow the display refresh,
// several requests in one frame make one pass, and no frame is asked for while nothing is marked.
// The pass composites only the damaged region into the window's own surface; the area is then
// asked to redraw just that region (gtk_widget_queue_draw_area), and its "draw" handler, which
// GTK runs in the same frame's paint phase clipped to the region, copies only the clipped region
// onto GTK's surface. Input on the area becomes touches and pinch input:
// - the left mouse button and the motion while it is held are one touch (a double click is just
//   two quick taps, so it makes a double tap; GDK's extra double-click event is ignored);
// - each touch-screen sequence is a touch (the pointer events GDK emulates from it are ignored);
// - a touch-pad pinch drives the pinch recognisers with its scale;
// - Ctrl+wheel drives them too: each step scales by 1.1 (smooth scrolling in proportion), and the
//   pinch ends 0.3 s after the last step.
// Native widgets (web views) sit in a GtkOverlay above the drawing area, each at the rectangle its
// view reports after a display pass; a change is applied on the next idle turn, outside drawing.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cmath>
#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "UIKit/internal/TouchRouter.h"
#include "UIKit/internal/UIKitLog.h"
#include "UIKit/internal/WindowBackend.h"

namespace ui_backend {
namespace {

constexpr std::uint64_t mouseTouch = 1;
constexpr double wheelStepScale = 1.1;
constexpr guint wheelPinchEndMs = 300;

class GtkBackend final : public WindowBackend {
 public:
  explicit GtkBackend(UIWindow& window) : WindowBackend(window) {
    gtkWindow_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(gtkWindow_);
    area_ = gtk_drawing_area_new();
    gtk_widget_add_events(area_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                     GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_TOUCH_MASK |
                                     GDK_TOUCHPAD_GESTURE_MASK);
    gtk_widget_set_can_focus(area_, TRUE);
    overlay_ = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(overlay_), area_);
    gtk_container_add(GTK_CONTAINER(gtkWindow_), overlay_);
    g_signal_connect(overlay_, "get-child-position", G_CALLBACK(&GtkBackend::onChildPosition), this);
    g_signal_connect(area_, "draw", G_CALLBACK(&GtkBackend::onDraw), this);
    g_signal_connect(area_, "size-allocate", G_CALLBACK(&GtkBackend::onSize), this);
    g_signal_connect(area_, "event", G_CALLBACK(&GtkBackend::onEvent), this);
    g_signal_connect(gtkWindow_, "delete-event", G_CALLBACK(&GtkBackend::onDelete), this);
    g_signal_connect(gtkWindow_, "realize", G_CALLBACK(&GtkBackend::onRealize), this);
    g_signal_connect(gtk_widget_get_screen(gtkWindow_), "composited-changed",
                     G_CALLBACK(&GtkBackend::onCompositedChanged), this);
    titleChanged();
  }

  ~GtkBackend() override {
    watchFrameClock(nullptr);
    if (wheelTimeout_)
      g_source_remove(wheelTimeout_);
    if (placeIdle_)
      g_source_remove(placeIdle_);
    for (NativeChild& child : natives_) {  // taken out first: destroying the window would destroy them
      gtk_container_remove(GTK_CONTAINER(overlay_), child.widget);
      g_object_unref(child.widget);
    }
    g_signal_handlers_disconnect_by_data(overlay_, this);
    g_signal_handlers_disconnect_by_data(area_, this);
    g_signal_handlers_disconnect_by_data(gtkWindow_, this);
    g_signal_handlers_disconnect_by_data(gtk_widget_get_screen(gtkWindow_), this);
    gtk_widget_destroy(gtkWindow_);
    g_object_unref(gtkWindow_);
  }

  UIWindowBackendKind kind() const override { return UIWindowBackendKind::windowed; }

  void show() override {
    const CGSize size = window_.bounds().size;
    if (size.width >= 1 && size.height >= 1 && size.width < 1e5 && size.height < 1e5)
      gtk_window_set_default_size(GTK_WINDOW(gtkWindow_), int(std::lround(size.width)),
                                  int(std::lround(size.height)));
    gtk_widget_show_all(gtkWindow_);
  }

  void titleChanged() override { gtk_window_set_title(GTK_WINDOW(gtkWindow_), window_.title().c_str()); }

  bool addNativeChild(void* widget, NativePlacement placement) override {
    auto* child = GTK_WIDGET(widget);
    g_object_ref(child);
    gtk_widget_set_no_show_all(child, TRUE);  // shown only while its view is
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), child);
    natives_.push_back(NativeChild{child, std::move(placement), std::nullopt});
    requestDisplay();
    return true;
  }

  void removeNativeChild(void* widget) override {
    for (auto it = natives_.begin(); it != natives_.end(); ++it) {
      if (it->widget != widget)
        continue;
      gtk_container_remove(GTK_CONTAINER(overlay_), it->widget);
      g_object_unref(it->widget);
      natives_.erase(it);
      return;
    }
  }

 protected:
  // A frame's update phase is asked for; before the area is realized there is no clock, and the
  // first draw runs the pass instead.
  void scheduleRefresh() override {
    if (GdkFrameClock* clock = watchFrameClock(gtk_widget_get_frame_clock(area_)))
      gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_UPDATE);
  }

  // Asks GTK to paint the damaged region (window points, which are the area's coordinates) in
  // this frame, each rectangle rounded out to whole units.
  void presented(const std::vector<CGRect>& rects) override {
    cairo_region_t* region = cairo_region_create();
    for (const CGRect& r : rects) {
      const int x0 = int(std::floor(r.minX())), y0 = int(std::floor(r.minY()));
      const int x1 = int(std::ceil(r.maxX())), y1 = int(std::ceil(r.maxY()));
      const cairo_rectangle_int_t unit{x0, y0, x1 - x0, y1 - y0};
      if (unit.width > 0 && unit.height > 0)
        cairo_region_union_rectangle(region, &unit);
    }
    if (!cairo_region_is_empty(region))
      gtk_widget_queue_draw_region(area_, region);
    cairo_region_destroy(region);
  }

 private:
  void pass(GtkWidget* widget) {
    window_.setScreenScale(gtk_widget_get_scale_factor(widget));
    runDisplayPass();
    checkNativePlacements();
  }

  // Listens to the clock's update signal (connected once per clock: asking for a phase is cheap,
  // a tick callback added and removed on every frame is not). The area's clock is its toplevel's,
  // which changes only when the window is realized again; nullptr stops listening.
  GdkFrameClock* watchFrameClock(GdkFrameClock* clock) {
    if (clock == clock_)
      return clock;
    if (clock_) {
      g_signal_handlers_disconnect_by_data(clock_, this);
      g_object_unref(clock_);
    }
    clock_ = clock;
    if (clock_) {
      g_object_ref(clock_);
      g_signal_connect(clock_, "update", G_CALLBACK(&GtkBackend::onUpdate), this);
    }
    return clock_;
  }

  // The frame clock's update phase: one pass per frame while passes are requested (other widgets'
  // requests run it too, and find nothing to do). A view marked again during the pass requests
  // again, which asks for the next frame's update phase; an idle window asks for no frames.
  static void onUpdate(GdkFrameClock*, gpointer data) {
    auto* self = static_cast<GtkBackend*>(data);
    if (self->isDisplayRequested())
      self->pass(self->area_);
  }

  // GTK's paint phase, clipped to the region to show (queued damage, or what the window system
  // exposed): copies that region of the window's picture. A pass still pending (a draw before the
  // first update phase) runs first, so nothing stale is shown.
  static gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    auto* self = static_cast<GtkBackend*>(data);
    if (self->isDisplayRequested())
      self->pass(widget);
    const CGBitmapContext& picture = self->surface();
    const double scale = picture.scale();
    cairo_save(cr);
    cairo_scale(cr, 1 / scale, 1 / scale);
    cairo_set_source_surface(cr, picture.surface(), 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    return TRUE;
  }

  struct NativeChild {
    GtkWidget* widget;
    NativePlacement placement;
    std::optional<CGRect> shownAt;  // nothing while hidden
  };

  // Where the child goes now; nothing while hidden or when its rectangle cannot be shown.
  static std::optional<CGRect> placeOf(const NativeChild& child) {
    std::optional<CGRect> place = child.placement();
    if (place &&
        !(place->size.width >= 1 && place->size.height >= 1 && place->size.width < 1e5 &&
          place->size.height < 1e5 && std::isfinite(place->origin.x) && std::isfinite(place->origin.y)))
      place.reset();
    return place;
  }

  static bool samePlace(const std::optional<CGRect>& a, const std::optional<CGRect>& b) {
    if (a.has_value() != b.has_value())
      return false;
    return !a || (a->origin.x == b->origin.x && a->origin.y == b->origin.y &&
                  a->size.width == b->size.width && a->size.height == b->size.height);
  }

  // Asks each native child where it goes now; moves are applied on the next idle turn, since GTK
  // must not re-allocate while it draws.
  void checkNativePlacements() {
    if (placeIdle_)
      return;
    for (const NativeChild& child : natives_) {
      if (samePlace(placeOf(child), child.shownAt))
        continue;
      placeIdle_ = g_idle_add(&GtkBackend::placeNativeChildren, this);
      return;
    }
  }

  static gboolean placeNativeChildren(gpointer data) {
    auto* self = static_cast<GtkBackend*>(data);
    self->placeIdle_ = 0;
    for (NativeChild& child : self->natives_) {
      child.shownAt = placeOf(child);
      gtk_widget_set_visible(child.widget, child.shownAt.has_value());
    }
    gtk_widget_queue_resize(self->overlay_);
    return G_SOURCE_REMOVE;
  }

  static gboolean onChildPosition(GtkOverlay*, GtkWidget* widget, GdkRectangle* allocation, gpointer data) {
    for (const NativeChild& child : static_cast<GtkBackend*>(data)->natives_) {
      if (child.widget != widget || !child.shownAt)
        continue;
      const CGRect& r = *child.shownAt;
      allocation->x = int(std::lround(r.origin.x));
      allocation->y = int(std::lround(r.origin.y));
      allocation->width = int(std::lround(r.size.width));
      allocation->height = int(std::lround(r.size.height));
      return TRUE;
    }
    return FALSE;
  }

  static void onSize(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    auto* self = static_cast<GtkBackend*>(data);
    const CGRect frame = self->window_.frame();
    self->window_.setFrame(CGRect(frame.origin.x, frame.origin.y, allocation->width, allocation->height));
  }

  // On X11, GDK syncs each frame with a compositing manager that reports frames drawn, and asks
  // the window manager on every frame whether it does; with no manager running, that question is
  // a round trip to the X server per frame that GDK never caches. Without a compositor there is
  // nothing to sync with, so frame sync is on only while the screen is composited.
  void syncFramesWithCompositor() {
#ifdef GDK_WINDOWING_X11
    GdkWindow* window = gtk_widget_get_window(gtkWindow_);
    if (window && GDK_IS_X11_WINDOW(window))
      gdk_x11_window_set_frame_sync_enabled(window,
                                            gdk_screen_is_composited(gtk_widget_get_screen(gtkWindow_)));
#endif
  }
  static void onRealize(GtkWidget*, gpointer data) {
    static_cast<GtkBackend*>(data)->syncFramesWithCompositor();
  }
  static void onCompositedChanged(GdkScreen*, gpointer data) {
    static_cast<GtkBackend*>(data)->syncFramesWithCompositor();
  }

  static gboolean onDelete(GtkWidget* widget, GdkEvent*, gpointer) {
    gtk_widget_hide(widget);  // the UIWindow still owns it; the program decides when to end
    MainLoop::quit();
    return TRUE;
  }

  static gboolean onEvent(GtkWidget*, GdkEvent* event, gpointer data) {
    return static_cast<GtkBackend*>(data)->handle(event) ? TRUE : FALSE;
  }

  bool handle(GdkEvent* event) {
    TouchRouter& touches = router();
    const double now = inputTime();
    switch (event->type) {
      case GDK_BUTTON_PRESS:
        if (event->button.button != 1 || gdk_event_get_pointer_emulated(event))
          return false;
        mouseDown_ = true;
        touches.touch(mouseTouch, UITouchPhase::began, {event->button.x, event->button.y}, now);
        return true;
      case GDK_MOTION_NOTIFY:
        if (!mouseDown_ || gdk_event_get_pointer_emulated(event))
          return false;
        touches.touch(mouseTouch, UITouchPhase::moved, {event->motion.x, event->motion.y}, now);
        return true;
      case GDK_BUTTON_RELEASE:
        if (event->button.button != 1 || !mouseDown_ || gdk_event_get_pointer_emulated(event))
          return false;
        mouseDown_ = false;
        touches.touch(mouseTouch, UITouchPhase::ended, {event->button.x, event->button.y}, now);
        return true;
      case GDK_GRAB_BROKEN:
        mouseDown_ = false;
        touches.cancelAll(now);
        return false;
      case GDK_TOUCH_BEGIN:
      case GDK_TOUCH_UPDATE:
      case GDK_TOUCH_END:
      case GDK_TOUCH_CANCEL: {
        const auto id = std::uint64_t(reinterpret_cast<std::uintptr_t>(event->touch.sequence)) | (1ull << 63);
        const UITouchPhase phase = event->type == GDK_TOUCH_BEGIN    ? UITouchPhase::began
                                   : event->type == GDK_TOUCH_UPDATE ? UITouchPhase::moved
                                   : event->type == GDK_TOUCH_END    ? UITouchPhase::ended
                                                                     : UITouchPhase::cancelled;
        touches.touch(id, phase, {event->touch.x, event->touch.y}, now);
        return true;
      }
      case GDK_TOUCHPAD_PINCH: {
        const GdkEventTouchpadPinch& p = event->touchpad_pinch;
        const CGPoint at{p.x, p.y};
        switch (p.phase) {
          case GDK_TOUCHPAD_GESTURE_PHASE_BEGIN:
            touches.pinch(UITouchPhase::began, at, 1);
            break;
          case GDK_TOUCHPAD_GESTURE_PHASE_UPDATE:
            touches.pinch(UITouchPhase::moved, at, p.scale);
            break;
          case GDK_TOUCHPAD_GESTURE_PHASE_END:
            touches.pinch(UITouchPhase::ended, at, p.scale);
            break;
          case GDK_TOUCHPAD_GESTURE_PHASE_CANCEL:
            touches.pinch(UITouchPhase::cancelled, at, p.scale);
            break;
        }
        return true;
      }
      case GDK_SCROLL:
        if (!(event->scroll.state & GDK_CONTROL_MASK))
          return false;
        wheelPinch(event->scroll);
        return true;
      default:
        return false;
    }
  }

  void wheelPinch(const GdkEventScroll& scroll) {
    double steps = 0;  // positive zooms in
    switch (scroll.direction) {
      case GDK_SCROLL_UP:
        steps = 1;
        break;
      case GDK_SCROLL_DOWN:
        steps = -1;
        break;
      case GDK_SCROLL_SMOOTH:
        steps = -scroll.delta_y;
        break;
      default:
        return;
    }
    const CGPoint at{scroll.x, scroll.y};
    TouchRouter& touches = router();
    if (!wheelTimeout_) {
      wheelScale_ = 1;
      wheelAt_ = at;
      touches.pinch(UITouchPhase::began, at, 1);
    } else {
      g_source_remove(wheelTimeout_);
    }
    if (std::isfinite(steps))
      wheelScale_ *= std::pow(wheelStepScale, steps);
    touches.pinch(UITouchPhase::moved, wheelAt_, wheelScale_);
    wheelTimeout_ = g_timeout_add(wheelPinchEndMs, &GtkBackend::endWheelPinch, this);
  }

  static gboolean endWheelPinch(gpointer data) {
    auto* self = static_cast<GtkBackend*>(data);
    self->wheelTimeout_ = 0;
    self->router().pinch(UITouchPhase::ended, self->wheelAt_, self->wheelScale_);
    return G_SOURCE_REMOVE;
  }

  GtkWidget* gtkWindow_ = nullptr;
  GtkWidget* area_ = nullptr;
  GtkWidget* overlay_ = nullptr;
  GdkFrameClock* clock_ = nullptr;  // the clock whose update phase runs the passes
  std::vector<NativeChild> natives_;
  guint placeIdle_ = 0;
  CGPoint wheelAt_;
  double wheelScale_ = 1;
  guint wheelTimeout_ = 0;
  bool mouseDown_ = false;
};

}  // namespace

bool gtkAvailable() {
  static const bool available = [] {
    // Nothing here draws with OpenGL: without the probe GDK loads no GL driver (for a software
    // renderer that is tens of megabytes). A value set from outside is kept.
    g_setenv("GDK_GL", "disable", FALSE);
    const bool opened = gtk_init_check(nullptr, nullptr);
    // A display was named but could not be opened: say so, rather than leave a program that
    // expected a window running without one and without a word.
    const char* x11 = g_getenv("DISPLAY");
    const char* wayland = g_getenv("WAYLAND_DISPLAY");
    if (!opened && ((x11 && *x11) || (wayland && *wayland)))
      uikitLog(std::string("UIWindow: cannot open the display ") + (wayland && *wayland ? wayland : x11) +
               "; windows are drawn off screen");
    return opened;
  }();
  return available;
}

std::unique_ptr<WindowBackend> makeGtkBackend(UIWindow& window) {
  if (!gtkAvailable())
    return nullptr;
  return std::make_unique<GtkBackend>(window);
}

}  // namespace ui_backend
