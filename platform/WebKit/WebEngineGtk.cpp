// The web view's engine in the windowed backend: a WebKitGTK 4.1 view.
// - "decide-policy": navigation and new-window actions become WKNavigationActions and responses
//   WKNavigationResponses; the decision object is kept (one reference, held by the answer) until
//   the delegate answers, which may be later than the signal (the signal returns TRUE: handled).
// - "create": the opening view's UI delegate is asked for a view made with a configuration that
//   names this engine view, as WebKitGTK requires of a view for a new window.
// - Requests load with GET and the request's header fields (WebKitGTK sets no other method).
// - A load's time-out: the wait for the first response (the load's commit) is bounded by the
//   request's timeoutInterval; a load still waiting then is stopped.
// - Scripts run through webkit_web_view_evaluate_javascript; their completion is dropped when the
//   engine goes first.
// - The views are document viewers: the shared context keeps the smallest caches (set before the
//   first view starts its web process). When the last view goes, its web process is ended at once
//   rather than kept for a later view.
// This file is its own module (libplatform_webkit_gtk.so), loaded with the first web view of a
// windowed program, so that WebKitGTK and its libraries are not loaded, relocated and initialised
// at every start of a program that may never show a page.
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "WebKit/WKWebView.h"
#include "WebKit/internal/WebEngine.h"

namespace webkit_engine {
namespace {

std::optional<URL> urlOf(const char* uri) {
  if (!uri || !*uri)
    return std::nullopt;
  return URL::string(uri);
}

WKNavigationType navigationTypeOf(WebKitNavigationType type) {
  switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
      return WKNavigationType::linkActivated;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
      return WKNavigationType::formSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
      return WKNavigationType::backForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
      return WKNavigationType::reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
      return WKNavigationType::formResubmitted;
    default:
      return WKNavigationType::other;
  }
}

WKNavigationAction actionOf(WebKitNavigationAction* navigation, bool opensNewWindow) {
  WKNavigationAction action;
  if (WebKitURIRequest* request = webkit_navigation_action_get_request(navigation)) {
    action.request.url = urlOf(webkit_uri_request_get_uri(request));
    if (const char* method = webkit_uri_request_get_http_method(request))
      action.request.httpMethod = method;
  }
  action.navigationType = navigationTypeOf(webkit_navigation_action_get_navigation_type(navigation));
  if (opensNewWindow)
    action.targetFrame.reset();
  return action;
}

WKNavigationResponse responseOf(WebKitResponsePolicyDecision* decision) {
  WKNavigationResponse navigation;
  if (WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision)) {
    navigation.response.url = urlOf(webkit_uri_response_get_uri(response));
    if (const char* mime = webkit_uri_response_get_mime_type(response))
      navigation.response.mimeType = mime;
    navigation.response.statusCode = int(webkit_uri_response_get_status_code(response));
  }
  navigation.isForMainFrame = webkit_response_policy_decision_is_main_frame_main_resource(decision);
  navigation.canShowMIMEType = webkit_response_policy_decision_is_mime_type_supported(decision);
  return navigation;
}

// One reference to a pending decision; answering it more than once is prevented by the handler.
using HeldDecision = std::shared_ptr<WebKitPolicyDecision>;

HeldDecision hold(WebKitPolicyDecision* decision) {
  return HeldDecision(WEBKIT_POLICY_DECISION(g_object_ref(decision)),
                      [](WebKitPolicyDecision* d) { g_object_unref(d); });
}

template <class Policy>
void answer(WebKitPolicyDecision* decision, Policy policy) {
  switch (policy) {
    case Policy::allow:
      webkit_policy_decision_use(decision);
      break;
    case Policy::download:
      webkit_policy_decision_download(decision);
      break;
    case Policy::cancel:
      webkit_policy_decision_ignore(decision);
      break;
  }
}

class GtkWebEngine final : public WebEngine {
 public:
  GtkWebEngine(WKWebView& owner, const WKWebViewConfiguration& configuration) : owner_(owner) {
    static const bool cacheModelSet = [] {
      webkit_web_context_set_cache_model(webkit_web_context_get_default(),
                                         WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
      return true;
    }();
    (void)cacheModelSet;
    ++liveEngines_;
    auto* related = static_cast<WebKitWebView*>(configuration.relatedEngineView);
    GtkWidget* view = related ? webkit_web_view_new_with_related_view(related) : webkit_web_view_new();
    view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(view));
    g_object_set_data(G_OBJECT(view_), "kov-engine", this);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(&GtkWebEngine::onDecidePolicy), this);
    g_signal_connect(view_, "create", G_CALLBACK(&GtkWebEngine::onCreate), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(&GtkWebEngine::onLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(&GtkWebEngine::onLoadFailed), this);
  }

  ~GtkWebEngine() override {
    for (GCancellable* cancellable : pendingScripts_)
      g_cancellable_cancel(cancellable);
    g_object_set_data(G_OBJECT(view_), "kov-engine", nullptr);
    disarmTimeout();
    g_signal_handlers_disconnect_by_data(view_, this);
    webkit_web_view_stop_loading(view_);
    // Related views share a web process, so it is ended only with the last view.
    if (--liveEngines_ == 0)
      webkit_web_view_terminate_web_process(view_);
    gtk_widget_destroy(GTK_WIDGET(view_));
    g_object_unref(view_);
  }

  void load(const URLRequest& request) override {
    WebKitURIRequest* uriRequest = webkit_uri_request_new(request.url.absoluteString().c_str());
    if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(uriRequest)) {
      for (const auto& [name, value] : request.allHTTPHeaderFields)
        soup_message_headers_replace(headers, name.c_str(), value.c_str());
    }
    webkit_web_view_load_request(view_, uriRequest);
    g_object_unref(uriRequest);
    armTimeout(request.timeoutInterval);
  }

  void loadHTML(std::string_view html, const std::optional<URL>& baseURL) override {
    disarmTimeout();
    const std::string text(html);
    webkit_web_view_load_html(view_, text.c_str(), baseURL ? baseURL->absoluteString().c_str() : nullptr);
  }

  void evaluateJavaScript(
      std::string_view script,
      std::function<void(std::optional<std::string>, std::optional<std::string>)> completion) override {
    // The engine may go before the script ends: the call holds a cancellable that the engine
    // cancels when it goes, and the completion then does not run.
    auto* call = new ScriptCall{std::move(completion), g_cancellable_new()};
    pendingScripts_.push_back(call->cancellable);
    const std::string text(script);
    webkit_web_view_evaluate_javascript(view_, text.c_str(), gssize(text.size()), nullptr, nullptr,
                                        call->cancellable, &GtkWebEngine::onScriptFinished, call);
  }

  std::optional<URL> currentURL() const override { return urlOf(webkit_web_view_get_uri(view_)); }
  bool isLoading() const override { return webkit_web_view_is_loading(view_); }
  std::optional<std::string> title() const override {
    const char* title = webkit_web_view_get_title(view_);
    return title && *title ? std::optional<std::string>(title) : std::nullopt;
  }
  void* widget() const override { return view_; }

 private:
  struct ScriptCall {
    std::function<void(std::optional<std::string>, std::optional<std::string>)> completion;
    GCancellable* cancellable;
  };

  static void onScriptFinished(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<ScriptCall> call(static_cast<ScriptCall*>(data));
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    const bool cancelled = g_cancellable_is_cancelled(call->cancellable);
    std::optional<std::string> text, failure;
    if (value) {
      if (char* s = jsc_value_to_string(value)) {
        text = s;
        g_free(s);
      }
      g_object_unref(value);
    } else {
      failure = error ? error->message : "the script failed";
    }
    g_clear_error(&error);
    if (!cancelled) {  // the engine is still there: forget the call
      auto* self = static_cast<GtkWebEngine*>(g_object_get_data(source, "kov-engine"));
      if (self)
        std::erase(self->pendingScripts_, call->cancellable);
    }
    g_object_unref(call->cancellable);
    if (!cancelled && call->completion)
      call->completion(std::move(text), std::move(failure));
  }

  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer data) {
    auto* self = static_cast<GtkWebEngine*>(data);
    switch (type) {
      case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
      case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
        auto* navigation = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        const WKNavigationAction action =
            actionOf(navigation, type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION);
        self->owner_.decidePolicy(
            action, [held = hold(decision)](WKNavigationActionPolicy policy) { answer(held.get(), policy); });
        return TRUE;
      }
      case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
        const WKNavigationResponse response = responseOf(WEBKIT_RESPONSE_POLICY_DECISION(decision));
        self->owner_.decidePolicy(response, [held = hold(decision)](WKNavigationResponsePolicy policy) {
          answer(held.get(), policy);
        });
        return TRUE;
      }
      default:
        return FALSE;  // WebKit's own default
    }
  }

  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* navigation, gpointer data) {
    auto* self = static_cast<GtkWebEngine*>(data);
    WKWebViewConfiguration configuration;
    configuration.relatedEngineView = self->view_;
    const auto created =
        self->owner_.createWebView(configuration, actionOf(navigation, true), WKWindowFeatures{});
    if (!created)
      return nullptr;
    auto* widget = static_cast<GtkWidget*>(created->engineView());
    if (!widget || created->configuration().relatedEngineView != self->view_) {
      std::fputs(
          "WKWebView: a view for a new window must be made with the configuration given; none opened\n",
          stderr);
      return nullptr;
    }
    return widget;
  }

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    if (event == WEBKIT_LOAD_COMMITTED || event == WEBKIT_LOAD_FINISHED)
      static_cast<GtkWebEngine*>(data)->disarmTimeout();
  }

  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer data) {
    static_cast<GtkWebEngine*>(data)->disarmTimeout();
    return FALSE;  // WebKit shows its own error page
  }

  void armTimeout(double seconds) {
    disarmTimeout();
    if (!(seconds > 0) || !std::isfinite(seconds))
      seconds = 60;
    const double ms = std::min(seconds * 1000, double(G_MAXUINT));
    timeout_ = g_timeout_add(guint(std::ceil(ms)), &GtkWebEngine::onTimeout, this);
  }

  void disarmTimeout() {
    if (timeout_)
      g_source_remove(timeout_);
    timeout_ = 0;
  }

  static gboolean onTimeout(gpointer data) {
    auto* self = static_cast<GtkWebEngine*>(data);
    self->timeout_ = 0;
    webkit_web_view_stop_loading(self->view_);
    return G_SOURCE_REMOVE;
  }

  static inline int liveEngines_ = 0;  // engines alive, all on the main thread
  WKWebView& owner_;
  WebKitWebView* view_ = nullptr;
  guint timeout_ = 0;
  std::vector<GCancellable*> pendingScripts_;  // not owned: each call holds its own
};

}  // namespace

}  // namespace webkit_engine

// The module's entry, found by name when the module is loaded: a new engine, owned by the caller.
extern "C" __attribute__((visibility("default"))) webkit_engine::WebEngine* KOV_WEB_ENGINE_ENTRY(
    WKWebView& owner, const WKWebViewConfiguration& configuration) {
  return new webkit_engine::GtkWebEngine(owner, configuration);
}
