// Internal to the web view: the web engine behind a WKWebView in the windowed backend. [main]
#pragma once

#ifndef KOV_BUILDING_WEBKIT
#error "WebKit/internal/ is private to the WebKit library"
#endif

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/URL.h"
#include "Foundation/URLSession.h"
#include "WebKit/WKWebViewConfiguration.h"

class WKWebView;

namespace webkit_engine {

class WebEngine {
 public:
  virtual ~WebEngine() = default;
  virtual void load(const URLRequest& request) = 0;
  virtual void loadHTML(std::string_view html, const std::optional<URL>& baseURL) = 0;
  // The completion runs on the main thread, later; never when the engine has gone by then.
  virtual void evaluateJavaScript(
      std::string_view script,
      std::function<void(std::optional<std::string>, std::optional<std::string>)> completion) = 0;
  virtual std::optional<URL> currentURL() const = 0;
  virtual bool isLoading() const = 0;
  virtual std::optional<std::string> title() const = 0;
  // The widget shown in the window (a WebKitWebView).
  virtual void* widget() const = 0;
};

// A WebKitGTK view whose decisions go to `owner`. The engine lives in a module beside this
// library, loaded on the first call (main thread) and never unloaded; nothing (with a line on
// standard error) when the module cannot be loaded.
std::unique_ptr<WebEngine> makeGtkWebEngine(WKWebView& owner, const WKWebViewConfiguration& configuration);

// The name of the module's entry: WebEngine* (WKWebView& owner, const WKWebViewConfiguration&).
#define KOV_WEB_ENGINE_ENTRY kov_make_gtk_web_engine
#define KOV_WEB_ENGINE_MODULE "libplatform_webkit_gtk.so"

}  // namespace webkit_engine
