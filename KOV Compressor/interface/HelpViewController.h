// The container application's help and info screen: a web view that shows the help page or the
// maker's info page from the help host (HelpHost), and an exit button that closes the screen. The
// main screen presents it through the segues "ShowHelp" and "ShowInfo" (HelpScenes) and names
// the page with prepareInfo(which:) before each presentation.
//
// Navigation is filtered: every request with a URL is allowed; a response is shown only when the
// upper-cased path extension of its URL is "", "PDF" or "HTML"; a request for a new window is
// logged and opens nothing. A decision without a URL is cancelled: every decision is answered.
// Each decision prints its lines on stdout.
//
// The interface (view tree, outlets, the exit button's action) is built by loadView(), which
// stands in for the interface description. All members belong to the main thread. [main]
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/NSCoder.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIViewController.h"
#include "WebKit/WKNavigationDelegate.h"
#include "WebKit/WKUIDelegate.h"
#include "WebKit/WKWebView.h"

class Bundle;

class HelpViewController : public UIViewController, public WKUIDelegate, public WKNavigationDelegate {
 public:
  explicit HelpViewController(const NSCoder& coder);
  HelpViewController(std::optional<std::string> nibName, const Bundle* bundle);

  // ---- outlets

  // The web view (held weakly: the view tree owns it). It must be connected; reading it while it
  // is not stops the program.
  std::shared_ptr<WKWebView> webView() const;
  void setWebView(std::weak_ptr<WKWebView> webView) { webView_ = std::move(webView); }
  // The exit button (not read by the screen's code).
  const std::shared_ptr<UIButton>& buttonExit() const { return buttonExit_; }
  void setButtonExit(std::shared_ptr<UIButton> button) { buttonExit_ = std::move(button); }

  // ---- actions

  // Dismisses the screen, animated.
  void onButtonExit(const std::any& sender);

  // ---- web view delegates

  void webView(WKWebView& webView, const WKNavigationAction& navigationAction,
               WKDecisionHandler<WKNavigationActionPolicy> decisionHandler) override;
  void webView(WKWebView& webView, const WKNavigationResponse& navigationResponse,
               WKDecisionHandler<WKNavigationResponsePolicy> decisionHandler) override;
  std::shared_ptr<WKWebView> webView(WKWebView& webView, const WKWebViewConfiguration& configuration,
                                     const WKNavigationAction& navigationAction,
                                     const WKWindowFeatures& windowFeatures) override;

  // Which page the next appearance loads: "ShowHelp" (the default) or "ShowInfo"; any other
  // text loads nothing.
  void prepareInfo(const std::string& which);

  // ---- life cycle

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void didReceiveMemoryWarning() override;

  // Whether a response to `url` is shown (its upper-cased path extension is "", "PDF" or "HTML").
  static bool isShownAddress(const URL& url);

 private:
  // The help page as a bundled HTML file ("help.html"); not used by the screen itself.
  void loadHelpHtml();
  void loadHelpPdf();
  void navigateWeb();
  void load(const URL& url);

  std::string identifier_ = "ShowHelp";
  std::weak_ptr<WKWebView> webView_;
  std::shared_ptr<UIButton> buttonExit_;
};
