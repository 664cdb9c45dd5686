#include "ImageLoading.h"

#include <string>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Print.h"
#include "Foundation/URLSession.h"
#include "Logging.h"

double ImageRequestTimeout::seconds_ = ImageLoading::kRequestTimeout;

namespace {

std::uint64_t gFinishedRequests = 0;  // [main]

// The asynchronous request: continues on the main queue, where the view may be changed.
void requestImageFromURL(std::shared_ptr<UIImageView> view, const URL& url) {
  const URLRequest request(url, URLRequestCachePolicy::useProtocolCachePolicy,
                           ImageRequestTimeout::seconds());
  URLSession::shared().data(request, DispatchQueue::main(),
                            [view = std::move(view)](URLSessionResult result) {
                              ++gFinishedRequests;
                              if (result.error) {
                                print(result.error->description());
                                return;
                              }
                              if (auto http = std::dynamic_pointer_cast<HTTPURLResponse>(result.response);
                                  http && http->statusCode() == 200) {
                                print("Fetched image successfully");
                              }
                              // Any status and any kind of response: the body decides. No image decodes to
                              // none.
                              view->setImage(UIImage::make(result.data ? *result.data : Data{}));
                            });
}

}  // namespace

void loadFrom(const std::shared_ptr<UIImageView>& view, std::string_view URLAddress) {
  std::optional<URL> url = URL::string(URLAddress);
  if (!url) {
    debugprint("UIImageView::loadFrom() : Could not encode url string : " + std::string(URLAddress));
    return;
  }
  DispatchQueue::main().async([url = *url, weakView = std::weak_ptr<UIImageView>(view)] {
    const URLSessionResult read = URLSession::loadSynchronously(URLRequest(url));
    if (!read.data) {
      debugprint("UIImageView::loadFrom() : Could not encode image data.");
      return;
    }
    auto image = UIImage::make(*read.data);
    auto view = weakView.lock();
    if (image && view) {
      view->setImage(std::move(image));
      return;
    }
    debugprint("UIImageView::loadFrom() : Could not assign image.");
  });
}

void getImageFromURLString(const std::shared_ptr<UIImageView>& view, std::string_view imageURLString) {
  std::optional<URL> url = URL::string(imageURLString);
  if (!url)
    return;
  requestImageFromURL(view, *url);
}

namespace ImageLoading {
std::uint64_t finishedRequests() {
  return gFinishedRequests;
}
}  // namespace ImageLoading
