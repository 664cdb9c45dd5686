// Test-only entry points of image loading. Built into kov_common_ui_testing, which only tests
// link.
#pragma once

#include <optional>

#include "ImageLoading.h"

struct ImageLoadingTesting {
  // Another time-out for the requests started from now on (nullopt: kRequestTimeout). [main]
  static void setRequestTimeout(std::optional<double> seconds);
};
