// URL loading over libsoup 3: requests with a time-out and a cache policy, responses with the
// HTTP status, and a session that loads asynchronously on a network thread of its own.
//
// Time-out: `timeoutInterval` is the longest time the request may go
// without receiving anything (connecting, waiting for the response, between body chunks); it is
// kept by a GLib timer with millisecond resolution that cancels the request, so sub-second limits
// work. A time-out ends the request with NSURLErrorDomain -1001 "The request timed out.".
//
// HTTP statuses are responses, not errors: a 404 delivers its body like a 200. Redirects are
// followed; the response's URL is the final one. There is no cache: every policy loads from the
// network.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Data.h"
#include "Foundation/NSError.h"
#include "Foundation/URL.h"

inline const std::string NSURLErrorDomain = "NSURLErrorDomain";
inline constexpr std::int64_t NSURLErrorUnknown = -1;
inline constexpr std::int64_t NSURLErrorCancelled = -999;
inline constexpr std::int64_t NSURLErrorBadURL = -1000;
inline constexpr std::int64_t NSURLErrorTimedOut = -1001;
inline constexpr std::int64_t NSURLErrorUnsupportedURL = -1002;
inline constexpr std::int64_t NSURLErrorCannotFindHost = -1003;
inline constexpr std::int64_t NSURLErrorCannotConnectToHost = -1004;
inline constexpr std::int64_t NSURLErrorNetworkConnectionLost = -1005;

enum class URLRequestCachePolicy : unsigned {
  useProtocolCachePolicy = 0,
  reloadIgnoringLocalCacheData = 1,
  returnCacheDataElseLoad = 2,
  returnCacheDataDontLoad = 3,
};

struct URLRequest {
  explicit URLRequest(URL url,
                      URLRequestCachePolicy cachePolicy = URLRequestCachePolicy::useProtocolCachePolicy,
                      double timeoutInterval = 60.0)
      : url(std::move(url)), cachePolicy(cachePolicy), timeoutInterval(timeoutInterval) {}

  URL url;
  URLRequestCachePolicy cachePolicy;
  double timeoutInterval;  // seconds without progress; not positive or not finite: 60
  std::string httpMethod = "GET";
  std::map<std::string, std::string> allHTTPHeaderFields;
};

class URLResponse {
 public:
  URLResponse(URL url, std::string mimeType, std::int64_t expectedContentLength)
      : url_(std::move(url)), mimeType_(std::move(mimeType)), expectedContentLength_(expectedContentLength) {}
  virtual ~URLResponse() = default;

  const URL& url() const { return url_; }
  const std::string& mimeType() const { return mimeType_; }  // "" when the server named none
  std::int64_t expectedContentLength() const { return expectedContentLength_; }  // -1: unknown

 private:
  URL url_;
  std::string mimeType_;
  std::int64_t expectedContentLength_;
};

class HTTPURLResponse : public URLResponse {
 public:
  HTTPURLResponse(URL url, std::string mimeType, std::int64_t expectedContentLength, int statusCode)
      : URLResponse(std::move(url), std::move(mimeType), expectedContentLength), statusCode_(statusCode) {}

  int statusCode() const { return statusCode_; }

 private:
  int statusCode_;
};

// What a load ends with: data and response, or the error it throws.
struct URLSessionResult {
  std::optional<Data> data;
  std::shared_ptr<URLResponse> response;
  std::optional<NSError> error;
};

class URLSession {
 public:
  // URLSession.shared: created on first use with its network thread; lives until exit. [any]
  static URLSession& shared();

  // The asynchronous data(for:delegate:): loads on the network thread and resumes
  // `continuation` on `executor` (the caller's actor: the main queue for main-thread code).
  // Returns at once. [any]
  void data(const URLRequest& request, DispatchQueue& executor,
            std::function<void(URLSessionResult result)> continuation);

  // Loads on the calling thread and waits (Data(contentsOf:) for network URLs); file URLs are
  // read from the file system. Blocks the caller for up to the request's time-out between
  // progress. [any]
  static URLSessionResult loadSynchronously(const URLRequest& request);

  class Impl;

 private:
  URLSession();
  Impl* impl_;  // never freed: the network thread runs until the process ends
};
