// The help screen's behaviour: which page each appearance loads, the navigation policy and its
// printed lines, and the exit.
#include "HelpViewController.h"

#include <cstdio>
#include <cstdlib>

#include <glib.h>

#include "Foundation/Bundle.h"
#include "Foundation/Data.h"
#include "Foundation/NSError.h"
#include "Foundation/Print.h"
#include "Foundation/URLSession.h"
#include "HelpHost.h"

namespace {

constexpr double pageTimeoutSeconds = 60;

std::string upperCased(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

HelpViewController::HelpViewController(const NSCoder& coder) : UIViewController(coder) {}

HelpViewController::HelpViewController(std::optional<std::string> nibName, const Bundle* bundle)
    : UIViewController(std::move(nibName), bundle) {}

std::shared_ptr<WKWebView> HelpViewController::webView() const {
  auto view = webView_.lock();
  if (!view) {
    std::fputs("Fatal error: HelpViewController: the outlet webView is not connected\n", stderr);
    std::abort();
  }
  return view;
}

void HelpViewController::viewDidLoad() {
  UIViewController::viewDidLoad();
  const auto self = std::static_pointer_cast<HelpViewController>(shared_from_this());
  webView()->setUIDelegate(std::weak_ptr<WKUIDelegate>(self));
  webView()->setNavigationDelegate(std::weak_ptr<WKNavigationDelegate>(self));
}

void HelpViewController::didReceiveMemoryWarning() {
  UIViewController::didReceiveMemoryWarning();
}

void HelpViewController::viewWillAppear(bool animated) {
  UIViewController::viewWillAppear(animated);
  if (identifier_ == "ShowHelp") {
    loadHelpPdf();
  } else if (identifier_ == "ShowInfo") {
    navigateWeb();
  }
}

void HelpViewController::prepareInfo(const std::string& which) {
  identifier_ = which;
}

void HelpViewController::onButtonExit(const std::any&) {
  dismiss(true, [] {});
}

// ---- pages

void HelpViewController::loadHelpPdf() {
  load(HelpHost::fromMainBundle().helpPageURL());
}

void HelpViewController::navigateWeb() {
  load(HelpHost::fromMainBundle().rootURL());
}

void HelpViewController::load(const URL& url) {
  webView()->load(URLRequest(url, URLRequestCachePolicy::useProtocolCachePolicy, pageTimeoutSeconds));
}

void HelpViewController::loadHelpHtml() {
  const auto url = Bundle::main().url("help", "html");
  if (!url) {  // a missing resource fails as reading a missing file does
    print(NSError("NSCocoaErrorDomain", 260,
                  "The file \u201chelp.html\u201d couldn\u2019t be opened because there is no such file.")
              .description());
    return;
  }
  try {
    const Data bytes = dataWithContentsOf(*url);
    std::string text(bytes.begin(), bytes.end());
    if (!g_utf8_validate(text.data(), gssize(text.size()), nullptr)) {
      throw NSError("NSCocoaErrorDomain", 261,
                    "The file \u201c" + url->lastPathComponent() +
                        "\u201d couldn\u2019t be opened using text encoding Unicode (UTF-8).");
    }
    webView()->loadHTMLString(text, URL::fileURLWithPath(url->path()));
  } catch (const NSError& error) {
    print(error.description());
  }
}

// ---- navigation policy

bool HelpViewController::isShownAddress(const URL& url) {
  const std::string extension = upperCased(url.pathExtension());
  return extension.empty() || extension == "PDF" || extension == "HTML";
}

void HelpViewController::webView(WKWebView&, const WKNavigationAction& navigationAction,
                                 WKDecisionHandler<WKNavigationActionPolicy> decisionHandler) {
  print("navigationAction: ");
  if (const auto& url = navigationAction.request.url) {
    print(url->absoluteString());
    decisionHandler(WKNavigationActionPolicy::allow);
  } else {
    decisionHandler(WKNavigationActionPolicy::cancel);
  }
}

void HelpViewController::webView(WKWebView&, const WKNavigationResponse& navigationResponse,
                                 WKDecisionHandler<WKNavigationResponsePolicy> decisionHandler) {
  print("navigationResponse: ");
  const auto& url = navigationResponse.response.url;
  if (!url) {
    decisionHandler(WKNavigationResponsePolicy::cancel);
    return;
  }
  print(url->absoluteString());
  decisionHandler(isShownAddress(*url) ? WKNavigationResponsePolicy::allow
                                       : WKNavigationResponsePolicy::cancel);
}

std::shared_ptr<WKWebView> HelpViewController::webView(WKWebView&, const WKWebViewConfiguration&,
                                                       const WKNavigationAction& navigationAction,
                                                       const WKWindowFeatures&) {
  print("createWebViewWith:");
  if (const auto& url = navigationAction.request.url)
    print(url->absoluteString());
  return nullptr;
}
