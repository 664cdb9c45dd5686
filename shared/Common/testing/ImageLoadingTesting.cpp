#include "ImageLoadingTesting.h"

void ImageLoadingTesting::setRequestTimeout(std::optional<double> seconds) {
  ImageRequestTimeout::seconds_ = seconds.value_or(ImageLoading::kRequestTimeout);
}
