// Loading of the WebKitGTK engine module: it lies in the same folder as this library (the build
// tree's platform/WebKit, or an installed bundle's Frameworks), so its path is taken from where
// this library was loaded.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "WebKit/internal/WebEngine.h"

namespace webkit_engine {
namespace {

using Entry = WebEngine* (*)(WKWebView&, const WKWebViewConfiguration&);

#define KOV_STRINGIFY_(x) #x
#define KOV_STRINGIFY(x) KOV_STRINGIFY_(x)

// [main] The entry, or nothing (reported once) when the module does not load.
Entry loadEntry() {
  static const Entry entry = []() -> Entry {
    Dl_info info{};
    std::string path = KOV_WEB_ENGINE_MODULE;
    if (::dladdr(reinterpret_cast<void*>(&makeGtkWebEngine), &info) && info.dli_fname) {
      const std::string self = info.dli_fname;
      const auto slash = self.rfind('/');
      if (slash != std::string::npos)
        path = self.substr(0, slash + 1) + KOV_WEB_ENGINE_MODULE;
    }
    // Bound at once and kept: its static set-up (WebKitGTK's) must never be undone.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    void* symbol = module ? ::dlsym(module, KOV_STRINGIFY(KOV_WEB_ENGINE_ENTRY)) : nullptr;
    if (!symbol) {
      const char* why = ::dlerror();
      std::fprintf(stderr, "WebKit: the web engine module %s will not load (%s)\n", path.c_str(),
                   why ? why : "no entry");
      return nullptr;
    }
    return reinterpret_cast<Entry>(symbol);
  }();
  return entry;
}

}  // namespace

std::unique_ptr<WebEngine> makeGtkWebEngine(WKWebView& owner, const WKWebViewConfiguration& configuration) {
  const Entry entry = loadEntry();
  return std::unique_ptr<WebEngine>(entry ? entry(owner, configuration) : nullptr);
}

}  // namespace webkit_engine
