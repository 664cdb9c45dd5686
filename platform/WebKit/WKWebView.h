// A view that shows web pages.
//
// In the windowed backend a WebKitGTK view (one web process per page, as WebKit runs it) sits over
// the view's frame inside its window: it follows the view's place and size after each display
// pass and is hidden while the view (or a view above it) is. Its navigations reach the navigation
// delegate ("decide-policy": navigation and new-window actions, then responses) and a page's
// request for a new window reaches the UI delegate ("create"), on the main thread; each decision
// is answered exactly once (see WKDecisionHandler).
//
// In the headless backend there is no web engine: the view loads nothing, but keeps every load
// it was asked for (requestedLoads), and a test plays the engine by feeding navigation actions,
// responses and new-window requests through decidePolicy and createWebView, so the policy code
// runs without a web process.
//
// The engine is chosen when the view is made (UIWindow::backendKind()). Delegates are held
// weakly. All members belong to the main thread. [main]
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/URL.h"
#include "Foundation/URLSession.h"
#include "UIKit/UIView.h"
#include "WebKit/WKNavigationAction.h"
#include "WebKit/WKNavigationDelegate.h"
#include "WebKit/WKNavigationResponse.h"
#include "WebKit/WKUIDelegate.h"
#include "WebKit/WKWebViewConfiguration.h"

class UIWindow;
namespace webkit_engine {
class WebEngine;
}

// One load a web view was asked for: a request, or an HTML text with its base URL.
struct WKLoadRequest {
  std::optional<URLRequest> request;
  std::optional<std::string> htmlString;
  std::optional<URL> baseURL;
};

class WKWebView : public UIView {
 public:
  static std::shared_ptr<WKWebView> make(CGRect frame = CGRect(),
                                         const WKWebViewConfiguration& configuration = {});
  ~WKWebView() override;

  std::shared_ptr<WKUIDelegate> uiDelegate() const { return uiDelegate_.lock(); }
  void setUIDelegate(std::weak_ptr<WKUIDelegate> delegate) { uiDelegate_ = std::move(delegate); }
  std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return navigationDelegate_.lock(); }
  void setNavigationDelegate(std::weak_ptr<WKNavigationDelegate> delegate) {
    navigationDelegate_ = std::move(delegate);
  }

  const WKWebViewConfiguration& configuration() const { return configuration_; }

  // Starts loading the request (with GET and the request's header fields). The engine uses
  // the protocol's own cache policy whatever the request names; the request's time-out bounds the
  // wait for the first response: a load still waiting after it is stopped.
  void load(const URLRequest& request);
  // Shows an HTML text; relative references in it resolve against `baseURL` (a file URL lets the
  // page reach files beside it).
  void loadHTMLString(std::string_view string, const std::optional<URL>& baseURL);

  // Runs a script in the shown page, as if the user had acted (so it may open windows). The
  // completion gets the script's value as text, or an error description; headless, always the
  // error "no web engine". [main]
  using ScriptCompletion =
      std::function<void(std::optional<std::string> result, std::optional<std::string> error)>;
  void evaluateJavaScript(std::string_view script, ScriptCompletion completion = {});

  // The address of the page shown (or being loaded); nothing headless or before the first load.
  std::optional<URL> url() const;
  bool isLoading() const;
  // The shown page's title; nothing headless or while the page has none.
  std::optional<std::string> title() const;

  // Whether a web engine is behind the view (the windowed backend) or none (headless).
  bool hasWebEngine() const { return bool(engine_); }
  // Every load asked for so far, oldest first.
  const std::vector<WKLoadRequest>& requestedLoads() const { return loads_; }

  // ---- from the web engine; in the headless backend, from a test playing it

  // Asks the navigation delegate (allow without one); `answer` is called exactly once.
  void decidePolicy(const WKNavigationAction& action, std::function<void(WKNavigationActionPolicy)> answer);
  void decidePolicy(const WKNavigationResponse& response,
                    std::function<void(WKNavigationResponsePolicy)> answer);
  // Asks the UI delegate for a view for a new window (none without one). A view it gives is kept
  // alive as long as this one.
  std::shared_ptr<WKWebView> createWebView(const WKWebViewConfiguration& configuration,
                                           const WKNavigationAction& action,
                                           const WKWindowFeatures& features);

  // The engine's widget (a WebKitWebView), or null headless.
  void* engineView() const;

  void didMoveToWindow() override;

 protected:
  WKWebView(CGRect frame, const WKWebViewConfiguration& configuration);

 private:
  // Where the engine's widget goes in the window, or nothing while it cannot be seen.
  std::optional<CGRect> placementInWindow() const;
  void leaveWindow();

  WKWebViewConfiguration configuration_;
  std::unique_ptr<webkit_engine::WebEngine> engine_;
  std::weak_ptr<WKUIDelegate> uiDelegate_;
  std::weak_ptr<WKNavigationDelegate> navigationDelegate_;
  std::vector<WKLoadRequest> loads_;
  std::vector<std::shared_ptr<WKWebView>> opened_;
  std::weak_ptr<UIWindow> shownIn_;
};
