// What a web view is made with, and the features a page asks of a window it opens. [main]
#pragma once

#include <optional>

struct WKWebViewConfiguration {
  // The engine view of the page that opens a new window: a view made for that window must share
  // its web process, so the web view asking for one passes this, and the new view is made with the
  // configuration it was given. Null for an ordinary view. (Engine-internal; not owned.)
  void* relatedEngineView = nullptr;
};

// The window a page's script asked for (window.open features); nothing where it named none.
struct WKWindowFeatures {
  std::optional<double> x, y, width, height;
};
