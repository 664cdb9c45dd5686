// What a web view asks about each navigation. The defaults allow everything, as a web view
// without a navigation delegate does. Each decision handler must be answered once; one that is
// dropped unanswered cancels (WKDecisionHandler). [main]
#pragma once

#include "WebKit/WKDecisionHandler.h"
#include "WebKit/WKNavigationAction.h"
#include "WebKit/WKNavigationResponse.h"

class WKWebView;

class WKNavigationDelegate {
 public:
  virtual ~WKNavigationDelegate() = default;

  // webView(_:decidePolicyFor:decisionHandler:) for a navigation action: before a request starts,
  // also before a page opens a new window.
  virtual void webView(WKWebView& webView, const WKNavigationAction& navigationAction,
                       WKDecisionHandler<WKNavigationActionPolicy> decisionHandler) {
    (void)webView;
    (void)navigationAction;
    decisionHandler(WKNavigationActionPolicy::allow);
  }

  // webView(_:decidePolicyFor:decisionHandler:) for a navigation response: before a response is
  // shown.
  virtual void webView(WKWebView& webView, const WKNavigationResponse& navigationResponse,
                       WKDecisionHandler<WKNavigationResponsePolicy> decisionHandler) {
    (void)webView;
    (void)navigationResponse;
    decisionHandler(WKNavigationResponsePolicy::allow);
  }
};
