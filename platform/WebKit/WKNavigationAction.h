// A navigation the web view asks about before it starts: the request, what caused it and the
// frame it targets, with the answers a navigation delegate can give. [main]
#pragma once

#include <optional>
#include <string>

#include "Foundation/URL.h"

enum class WKNavigationActionPolicy { cancel = 0, allow = 1, download = 2 };

enum class WKNavigationType {
  linkActivated = 0,
  formSubmitted = 1,
  backForward = 2,
  reload = 3,
  formResubmitted = 4,
  other = -1,
};

// A request as the web engine reports it. Unlike URLRequest its URL may be missing: the engine
// can report an address that is no valid URL (or none at all).
struct WKURLRequest {
  std::optional<URL> url;
  std::string httpMethod = "GET";
};

// The frame a navigation targets.
struct WKFrameInfo {
  bool isMainFrame = true;
};

struct WKNavigationAction {
  WKURLRequest request;
  WKNavigationType navigationType = WKNavigationType::other;
  // Nothing for a request that opens a new window (a link with a target such as "_blank").
  std::optional<WKFrameInfo> targetFrame = WKFrameInfo{};
};
