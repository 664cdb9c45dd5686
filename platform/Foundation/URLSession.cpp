#include "Foundation/URLSession.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <thread>
#include <utility>

namespace {

constexpr gsize kChunkBytes = 64 * 1024;

double effectiveTimeout(double seconds) {
  return std::isfinite(seconds) && seconds > 0 ? seconds : 60.0;
}

NSError urlError(std::int64_t code, std::string description) {
  return NSError(NSURLErrorDomain, code, std::move(description));
}

NSError errorFrom(const GError* error) {
  if (error->domain == G_IO_ERROR) {
    switch (error->code) {
      case G_IO_ERROR_CANCELLED:
        return urlError(NSURLErrorCancelled, "cancelled");
      case G_IO_ERROR_TIMED_OUT:
        return urlError(NSURLErrorTimedOut, "The request timed out.");
      case G_IO_ERROR_CONNECTION_REFUSED:
      case G_IO_ERROR_HOST_UNREACHABLE:
      case G_IO_ERROR_NETWORK_UNREACHABLE:
        return urlError(NSURLErrorCannotConnectToHost, "Could not connect to the server.");
      case G_IO_ERROR_HOST_NOT_FOUND:
        return urlError(NSURLErrorCannotFindHost, "A server with the specified hostname could not be found.");
      case G_IO_ERROR_CONNECTION_CLOSED:
      case G_IO_ERROR_PARTIAL_INPUT:
        return urlError(NSURLErrorNetworkConnectionLost, "The network connection was lost.");
      default:
        break;
    }
  }
  if (error->domain == G_RESOLVER_ERROR) {
    return urlError(NSURLErrorCannotFindHost, "A server with the specified hostname could not be found.");
  }
  return urlError(NSURLErrorUnknown, error->message ? error->message : "unknown error");
}

URLSessionResult failure(NSError error) {
  return URLSessionResult{std::nullopt, nullptr, std::move(error)};
}

// file: URLs do not go through the network.
URLSessionResult readFile(const URL& url) {
  try {
    Data data = dataWithContentsOf(url);
    const auto length = std::int64_t(data.size());
    return URLSessionResult{std::move(data), std::make_shared<URLResponse>(url, "", length), std::nullopt};
  } catch (const NSError& error) {
    return failure(error);
  }
}

SoupSession* newSoupSession() {
  // No socket time-out of libsoup's own (whole seconds only): each load keeps its own timer.
  // More connections per host than libsoup's 2, so that a slow load does not hold up others.
  return soup_session_new_with_options("max-conns-per-host", 6, "timeout", 0u, nullptr);
}

// One load on a GLib main context: send, read the body chunk by chunk, finish once. Runs on the
// thread that iterates `context` (which must be its thread-default context when started).
class Fetch {
 public:
  using Done = std::function<void(URLSessionResult)>;

  static void start(SoupSession* session, GMainContext* context, const URLRequest& request, Done done) {
    if (request.url.isFileURL()) {
      done(readFile(request.url));
      return;
    }
    const std::string scheme = request.url.scheme();
    if (scheme != "http" && scheme != "https") {
      done(failure(urlError(NSURLErrorUnsupportedURL, "unsupported URL")));
      return;
    }
    SoupMessage* message = soup_message_new(request.httpMethod.c_str(), request.url.absoluteString().c_str());
    if (!message) {
      done(failure(urlError(NSURLErrorBadURL, "bad URL")));
      return;
    }
    SoupMessageHeaders* headers = soup_message_get_request_headers(message);
    for (const auto& [name, value] : request.allHTTPHeaderFields) {
      soup_message_headers_replace(headers, name.c_str(), value.c_str());
    }
    auto* fetch =
        new Fetch(session, context, message, effectiveTimeout(request.timeoutInterval), std::move(done));
    fetch->armTimer();
    soup_session_send_async(session, message, G_PRIORITY_DEFAULT, fetch->cancellable_, &Fetch::onSent, fetch);
  }

 private:
  Fetch(SoupSession* session, GMainContext* context, SoupMessage* message, double timeout, Done done)
      : session_(session),
        context_(context),
        message_(message),
        cancellable_(g_cancellable_new()),
        timeout_(timeout),
        done_(std::move(done)) {}

  ~Fetch() {
    disarmTimer();
    if (stream_)
      g_object_unref(stream_);
    g_object_unref(message_);
    g_object_unref(cancellable_);
  }

  // Restarts the time without progress.
  void armTimer() {
    disarmTimer();
    const double ms = std::min(timeout_ * 1000.0, double(G_MAXUINT));
    timer_ = g_timeout_source_new(guint(std::ceil(ms)));
    g_source_set_callback(timer_, &Fetch::onTimeout, this, nullptr);
    g_source_attach(timer_, context_);
  }

  void disarmTimer() {
    if (!timer_)
      return;
    g_source_destroy(timer_);
    g_source_unref(timer_);
    timer_ = nullptr;
  }

  static gboolean onTimeout(gpointer data) {
    auto* fetch = static_cast<Fetch*>(data);
    fetch->timedOut_ = true;
    g_cancellable_cancel(fetch->cancellable_);  // the pending operation reports G_IO_ERROR_CANCELLED
    return G_SOURCE_CONTINUE;                   // disarmTimer() removes it
  }

  static void onSent(GObject*, GAsyncResult* result, gpointer data) {
    auto* fetch = static_cast<Fetch*>(data);
    GError* error = nullptr;
    fetch->stream_ = soup_session_send_finish(fetch->session_, result, &error);
    if (!fetch->stream_) {
      fetch->finish(error);
      return;
    }
    fetch->armTimer();
    fetch->readNext();
  }

  void readNext() {
    g_input_stream_read_bytes_async(stream_, kChunkBytes, G_PRIORITY_DEFAULT, cancellable_, &Fetch::onRead,
                                    this);
  }

  static void onRead(GObject*, GAsyncResult* result, gpointer data) {
    auto* fetch = static_cast<Fetch*>(data);
    GError* error = nullptr;
    GBytes* bytes = g_input_stream_read_bytes_finish(fetch->stream_, result, &error);
    if (!bytes) {
      fetch->finish(error);
      return;
    }
    gsize size = 0;
    const auto* chunk = static_cast<const std::uint8_t*>(g_bytes_get_data(bytes, &size));
    if (size == 0) {
      g_bytes_unref(bytes);
      g_input_stream_close(fetch->stream_, nullptr, nullptr);
      fetch->finish(nullptr);
      return;
    }
    fetch->body_.insert(fetch->body_.end(), chunk, chunk + size);
    g_bytes_unref(bytes);
    fetch->armTimer();
    fetch->readNext();
  }

  std::shared_ptr<HTTPURLResponse> response() const {
    SoupMessageHeaders* headers = soup_message_get_response_headers(message_);
    const char* contentType = soup_message_headers_get_content_type(headers, nullptr);
    const std::int64_t length = soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH
                                    ? std::int64_t(soup_message_headers_get_content_length(headers))
                                    : -1;
    gchar* finalText = g_uri_to_string(soup_message_get_uri(message_));
    std::optional<URL> finalURL = URL::string(finalText ? finalText : "");
    g_free(finalText);
    return std::make_shared<HTTPURLResponse>(finalURL ? *finalURL : *URL::string("about:blank"),
                                             contentType ? contentType : "", length,
                                             int(soup_message_get_status(message_)));
  }

  // Ends the load: reports once and frees the fetch. `error` is consumed.
  void finish(GError* error) {
    disarmTimer();
    URLSessionResult result;
    if (timedOut_) {
      result = failure(urlError(NSURLErrorTimedOut, "The request timed out."));
    } else if (error) {
      result = failure(errorFrom(error));
    } else {
      result = URLSessionResult{std::move(body_), response(), std::nullopt};
    }
    if (error)
      g_error_free(error);
    Done done = std::move(done_);
    delete this;
    done(std::move(result));
  }

  SoupSession* session_;
  GMainContext* context_;
  SoupMessage* message_;
  GCancellable* cancellable_;
  GInputStream* stream_ = nullptr;
  GSource* timer_ = nullptr;
  double timeout_;
  bool timedOut_ = false;
  Data body_;
  Done done_;
};

}  // namespace

// The network thread: its own GLib context and loop, which owns the shared libsoup session.
class URLSession::Impl {
 public:
  Impl() : context_(g_main_context_new()) {
    std::promise<void> ready;
    std::thread([this, &ready] {
      g_main_context_push_thread_default(context_);
      session_ = newSoupSession();
      GMainLoop* loop = g_main_loop_new(context_, FALSE);
      ready.set_value();
      g_main_loop_run(loop);  // runs until the process ends
    }).detach();
    ready.get_future().wait();
  }

  // Runs `work` on the network thread, never inline. [any]
  void post(std::function<void(SoupSession*, GMainContext*)> work) {
    struct Item {
      Impl* impl;
      std::function<void(SoupSession*, GMainContext*)> work;
    };
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(
        source,
        [](gpointer data) -> gboolean {
          auto* item = static_cast<Item*>(data);
          item->work(item->impl->session_, item->impl->context_);
          return G_SOURCE_REMOVE;
        },
        new Item{this, std::move(work)}, [](gpointer data) { delete static_cast<Item*>(data); });
    g_source_attach(source, context_);
    g_source_unref(source);
  }

 private:
  GMainContext* context_;
  SoupSession* session_ = nullptr;
};

URLSession::URLSession() : impl_(new Impl) {}

URLSession& URLSession::shared() {
  static URLSession* session = new URLSession;  // never destroyed: its thread outlives main()
  return *session;
}

void URLSession::data(const URLRequest& request, DispatchQueue& executor,
                      std::function<void(URLSessionResult result)> continuation) {
  impl_->post([request, &executor, continuation = std::move(continuation)](SoupSession* session,
                                                                           GMainContext* context) mutable {
    Fetch::start(
        session, context, request,
        [&executor, continuation = std::move(continuation)](URLSessionResult result) mutable {
          executor.async([continuation = std::move(continuation), result = std::move(result)]() mutable {
            continuation(std::move(result));
          });
        });
  });
}

URLSessionResult URLSession::loadSynchronously(const URLRequest& request) {
  if (request.url.isFileURL())
    return readFile(request.url);
  // A private context and session, iterated here until the load ends.
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  SoupSession* session = newSoupSession();
  bool done = false;
  URLSessionResult result;
  Fetch::start(session, context, request, [&](URLSessionResult r) {
    result = std::move(r);
    done = true;
  });
  while (!done)
    g_main_context_iteration(context, TRUE);
  g_object_unref(session);
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return result;
}
