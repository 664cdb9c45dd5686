// The web view: loads go to the engine when there is one and are recorded either way; decisions
// go to the delegates wrapped in handlers that answer once; the engine's widget is handed to the
// window's backend with a placement that reads this view's geometry each time it is asked.
#include "WebKit/WKWebView.h"

#include "UIKit/UIWindow.h"
#include "WebKit/internal/WebEngine.h"

std::shared_ptr<WKWebView> WKWebView::make(CGRect frame, const WKWebViewConfiguration& configuration) {
  return std::shared_ptr<WKWebView>(new WKWebView(frame, configuration));
}

WKWebView::WKWebView(CGRect frame, const WKWebViewConfiguration& configuration)
    : UIView(frame), configuration_(configuration) {
  if (UIWindow::backendKind() == UIWindowBackendKind::windowed)
    engine_ = webkit_engine::makeGtkWebEngine(*this, configuration);
}

WKWebView::~WKWebView() {
  leaveWindow();
  engine_.reset();
}

void WKWebView::load(const URLRequest& request) {
  loads_.push_back(WKLoadRequest{request, std::nullopt, std::nullopt});
  if (engine_)
    engine_->load(request);
}

void WKWebView::loadHTMLString(std::string_view string, const std::optional<URL>& baseURL) {
  loads_.push_back(WKLoadRequest{std::nullopt, std::string(string), baseURL});
  if (engine_)
    engine_->loadHTML(string, baseURL);
}

void WKWebView::evaluateJavaScript(std::string_view script, ScriptCompletion completion) {
  if (engine_) {
    engine_->evaluateJavaScript(script, std::move(completion));
  } else if (completion) {
    completion(std::nullopt, "no web engine");
  }
}

std::optional<URL> WKWebView::url() const {
  return engine_ ? engine_->currentURL() : std::nullopt;
}

bool WKWebView::isLoading() const {
  return engine_ && engine_->isLoading();
}

std::optional<std::string> WKWebView::title() const {
  return engine_ ? engine_->title() : std::nullopt;
}

void* WKWebView::engineView() const {
  return engine_ ? engine_->widget() : nullptr;
}

void WKWebView::decidePolicy(const WKNavigationAction& action,
                             std::function<void(WKNavigationActionPolicy)> answer) {
  const auto alive = shared_from_this();  // a delegate may let go of this view while it decides
  WKDecisionHandler<WKNavigationActionPolicy> handler(std::move(answer));
  if (auto delegate = navigationDelegate_.lock()) {
    delegate->webView(*this, action, std::move(handler));
  } else {
    handler(WKNavigationActionPolicy::allow);
  }
}

void WKWebView::decidePolicy(const WKNavigationResponse& response,
                             std::function<void(WKNavigationResponsePolicy)> answer) {
  const auto alive = shared_from_this();
  WKDecisionHandler<WKNavigationResponsePolicy> handler(std::move(answer));
  if (auto delegate = navigationDelegate_.lock()) {
    delegate->webView(*this, response, std::move(handler));
  } else {
    handler(WKNavigationResponsePolicy::allow);
  }
}

std::shared_ptr<WKWebView> WKWebView::createWebView(const WKWebViewConfiguration& configuration,
                                                    const WKNavigationAction& action,
                                                    const WKWindowFeatures& features) {
  const auto alive = shared_from_this();
  auto delegate = uiDelegate_.lock();
  if (!delegate)
    return nullptr;
  auto created = delegate->webView(*this, configuration, action, features);
  if (created)
    opened_.push_back(created);
  return created;
}

// ---- placement in the window

void WKWebView::didMoveToWindow() {
  const auto now = window();
  if (now == shownIn_.lock())
    return;
  leaveWindow();
  if (!now || !engine_)
    return;
  std::weak_ptr<UIView> weakSelf = weak_from_this();
  const bool shown = now->addNativeChild(engine_->widget(), [weakSelf]() -> std::optional<CGRect> {
    const auto self = std::static_pointer_cast<WKWebView>(weakSelf.lock());
    return self ? self->placementInWindow() : std::nullopt;
  });
  if (shown)
    shownIn_ = now;
}

void WKWebView::leaveWindow() {
  const auto window = shownIn_.lock();
  shownIn_.reset();
  if (window && engine_)
    window->removeNativeChild(engine_->widget());
}

std::optional<CGRect> WKWebView::placementInWindow() const {
  for (const UIView* v = this; v; v = v->superview().get()) {
    if (!v->isDrawable())
      return std::nullopt;
  }
  if (!window())
    return std::nullopt;
  return convert(bounds(), nullptr);
}
