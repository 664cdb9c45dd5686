// Loading of the WebKitGTK engine module: it lies in the same folder as this library (the build
// tree's platform/WebKit, or an installed bundle's Frameworks), so its path is taken from where
// this library was loaded.
#include <cstdio>

#include "Foundation/ModuleLoading.h"
#include "WebKit/internal/WebEngine.h"

namespace webkit_engine {
namespace {

using Entry = WebEngine* (*)(WKWebView&, const WKWebViewConfiguration&);

// [main] The entry, or nothing (reported once) when the module does not load.
Entry loadEntry() {
  static const Entry entry = []() -> Entry {
    // Bound at once and kept: its static set-up (WebKitGTK's) must never be undone.
    const ModuleEntry found = loadModuleBeside(reinterpret_cast<const void*>(&makeGtkWebEngine),
                                               KOV_WEB_ENGINE_MODULE, KOV_MODULE_SYMBOL_NAME(KOV_WEB_ENGINE_ENTRY));
    if (!found.symbol) {
      std::fprintf(stderr, "WebKit: the web engine module %s will not load (%s)\n", found.path.c_str(),
                   found.problem.c_str());
      return nullptr;
    }
    return reinterpret_cast<Entry>(found.symbol);
  }();
  return entry;
}

}  // namespace

std::unique_ptr<WebEngine> makeGtkWebEngine(WKWebView& owner, const WKWebViewConfiguration& configuration) {
  const Entry entry = loadEntry();
  return std::unique_ptr<WebEngine>(entry ? entry(owner, configuration) : nullptr);
}

}  // namespace webkit_engine
