// Loading an image from a URL into an image view, in the two ways the toolkit offers.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "UIKit/UIImageView.h"

// UIImageView.loadFrom(URLAddress:): one main-queue work item reads the URL's whole content
// synchronously (blocking the main thread meanwhile), decodes it and shows the image. The item
// holds the view weakly. Failures are logged through debugprint. [any]
void loadFrom(const std::shared_ptr<UIImageView>& view, std::string_view URLAddress);

// UIImageView.getImageFromURLString(imageURLString:): starts an asynchronous load with a
// 60-second time-out that holds the view strongly and returns at once; the image is assigned on
// the main thread, whatever the HTTP status. Text that is no URL is ignored silently. [main]
void getImageFromURLString(const std::shared_ptr<UIImageView>& view, std::string_view imageURLString);

namespace ImageLoading {
// The time-out of getImageFromURLString's request: 60 s.
inline constexpr double kRequestTimeout = 60.0;
// Requests of getImageFromURLString that have finished (image assigned or error printed). [main]
std::uint64_t finishedRequests();
}  // namespace ImageLoading

// The time-out of the requests getImageFromURLString starts: kRequestTimeout, unless the test
// support (ImageLoadingTesting, in a test-only library) sets another. [main]
class ImageRequestTimeout {
 public:
  static double seconds() { return seconds_; }

 private:
  friend struct ImageLoadingTesting;
  static double seconds_;
};
