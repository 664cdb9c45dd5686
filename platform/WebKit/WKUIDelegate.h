// What a web view asks of the interface around it: a view for a new window a page opens. The
// default opens none. [main]
#pragma once

#include <memory>

#include "WebKit/WKNavigationAction.h"
#include "WebKit/WKWebViewConfiguration.h"

class WKWebView;

class WKUIDelegate {
 public:
  virtual ~WKUIDelegate() = default;

  // webView(_:createWebViewWith:for:windowFeatures:): a new view, made with `configuration`, that
  // the caller puts into its interface, or null to open nothing. The opening view keeps a view it
  // is given alive for as long as it lives itself.
  virtual std::shared_ptr<WKWebView> webView(WKWebView& webView, const WKWebViewConfiguration& configuration,
                                             const WKNavigationAction& navigationAction,
                                             const WKWindowFeatures& windowFeatures) {
    (void)webView;
    (void)configuration;
    (void)navigationAction;
    (void)windowFeatures;
    return nullptr;
  }
};
