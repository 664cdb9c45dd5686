// A response the web view asks about before it shows it, with the answers a navigation delegate
// can give. [main]
#pragma once

#include <optional>
#include <string>

#include "Foundation/URL.h"

enum class WKNavigationResponsePolicy { cancel = 0, allow = 1, download = 2 };

// A response as the web engine reports it; its URL may be missing, as a request's may.
struct WKURLResponse {
  std::optional<URL> url;
  std::string mimeType;
  int statusCode = 0;  // HTTP status; 0 for other schemes
};

struct WKNavigationResponse {
  WKURLResponse response;
  bool isForMainFrame = true;
  // Whether the engine can show the response's MIME type itself.
  bool canShowMIMEType = true;
};
