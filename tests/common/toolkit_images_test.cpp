// Image loading into image views, and the URL session under it, against an HTTP server that the
// test runs on 127.0.0.1: a good image, a body that is no image, a 404 with an image body, a
// redirect, and a response that never comes (time-out).
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <libsoup/soup.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/URLSession.h"
#include "ImageLoading.h"
#include "ImageLoadingTesting.h"
#include "StdoutCapture.h"
#include "UIKit/UIImageView.h"

namespace {

// The requests go to a loopback server, so no proxy settings are wanted: GIO's settings come from
// memory rather than dconf, which would leave its file in the user's cache folder when the session
// has no runtime folder.
const bool kSettingsInMemory = [] { return g_setenv("GSETTINGS_BACKEND", "memory", FALSE) != 0; }();

std::vector<std::uint8_t> pngOfSize(int width, int height) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, 0x336699FF);
  gchar* buffer = nullptr;
  gsize size = 0;
  gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  g_free(buffer);
  g_object_unref(pixbuf);
  return bytes;
}

// An HTTP server on 127.0.0.1 with its own thread and GLib context.
class TestServer {
 public:
  TestServer() : good_(pngOfSize(4, 3)), missing_(pngOfSize(2, 5)) {
    std::promise<void> ready;
    thread_ = std::thread([this, &ready] { serve(ready); });
    ready.get_future().wait();
  }

  ~TestServer() {
    g_main_context_invoke(
        context_,
        [](gpointer loop) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(loop));
          return G_SOURCE_REMOVE;
        },
        loop_);
    thread_.join();
  }

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  void serve(std::promise<void>& ready) {
    context_ = g_main_context_new();
    g_main_context_push_thread_default(context_);
    loop_ = g_main_loop_new(context_, FALSE);
    SoupServer* server = soup_server_new(nullptr, nullptr);
    soup_server_add_handler(server, nullptr, &TestServer::handle, this, nullptr);
    GError* error = nullptr;
    soup_server_listen_local(server, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &error);
    GSList* uris = soup_server_get_uris(server);
    port_ = uris ? g_uri_get_port(static_cast<GUri*>(uris->data)) : 0;
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    ready.set_value();
    g_main_loop_run(loop_);
    soup_server_disconnect(server);
    g_object_unref(server);
    while (g_main_context_iteration(context_, FALSE)) {
    }
    g_main_loop_unref(loop_);
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
  }

  static void respond(SoupServerMessage* msg, guint status, const char* type,
                      const std::vector<std::uint8_t>& body) {
    soup_server_message_set_status(msg, status, nullptr);
    soup_server_message_set_response(msg, type, SOUP_MEMORY_COPY, reinterpret_cast<const char*>(body.data()),
                                     body.size());
  }

  static void handle(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*, gpointer data) {
    auto* self = static_cast<TestServer*>(data);
    const std::string p = path;
    if (p == "/good.png") {
      respond(msg, 200, "image/png", self->good_);
    } else if (p == "/text") {
      const std::string text = "this is no image";
      respond(msg, 200, "text/plain", std::vector<std::uint8_t>(text.begin(), text.end()));
    } else if (p == "/missing.png") {
      respond(msg, 404, "image/png", self->missing_);
    } else if (p == "/redirect") {
      soup_server_message_set_redirect(msg, 302, "/good.png");
    } else if (p == "/slow") {
      soup_server_message_pause(msg);  // never answered
    } else {
      respond(msg, 404, "text/plain", {});
    }
  }

  std::vector<std::uint8_t> good_;
  std::vector<std::uint8_t> missing_;
  std::thread thread_;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  guint port_ = 0;
};

// A port nobody listens on: a server's, after it has closed.
std::string refusedURL() {
  return TestServer().url("/x.png");
}

using stdout_capture::beginCapture;
using stdout_capture::endCapture;

// Prints what is queued, runs the body, then the main loop until idle; returns what was printed.
std::string printedBy(const std::function<void()>& body) {
  beginCapture();
  body();
  MainLoop::runUntilIdle();
  return endCapture();
}

// Starts getImageFromURLString, runs the main loop until that request has finished and returns
// what was printed.
std::string loadAsync(const std::shared_ptr<UIImageView>& view, const std::string& url) {
  beginCapture();
  const std::uint64_t before = ImageLoading::finishedRequests();
  getImageFromURLString(view, url);
  EXPECT_TRUE(MainLoop::runUntil([&] { return ImageLoading::finishedRequests() > before; })) << url;
  return endCapture();
}

// The size of the image a view shows, "none" without one.
std::string shown(const UIImageView& view) {
  if (!view.image())
    return "none";
  const CGSize size = view.image()->size();
  return std::to_string(int(size.width)) + "x" + std::to_string(int(size.height));
}

std::shared_ptr<UIImage> placeholder() {
  return UIImage::make(1, 1, std::vector<std::uint8_t>{1, 2, 3, 4});
}

}  // namespace

TEST(ImageLoadingThreads, AsynchronousRequestShowsWhatTheBodyDecodesTo) {
  TestServer server;
  auto view = UIImageView::make();
  {
    SCOPED_TRACE("a good image: shown, with the success line");
    EXPECT_EQ(loadAsync(view, server.url("/good.png")), "Fetched image successfully\n");
    EXPECT_EQ(shown(*view), "4x3");
  }
  {
    SCOPED_TRACE("a 404 whose body is an image: shown, nothing printed");
    EXPECT_EQ(loadAsync(view, server.url("/missing.png")), "");
    EXPECT_EQ(shown(*view), "2x5");
  }
  {
    SCOPED_TRACE("a 200 whose body is no image: the success line, and no image");
    view->setImage(placeholder());
    EXPECT_EQ(loadAsync(view, server.url("/text")), "Fetched image successfully\n");
    EXPECT_EQ(view->image(), nullptr);
  }
  {
    SCOPED_TRACE("a time-out: the error line, the image stays");
    auto image = placeholder();
    view->setImage(image);
    ImageLoadingTesting::setRequestTimeout(0.25);
    EXPECT_EQ(loadAsync(view, server.url("/slow")),
              "Error Domain=NSURLErrorDomain Code=-1001 \"The request timed out.\" "
              "UserInfo={NSLocalizedDescription=The request timed out.}\n");
    ImageLoadingTesting::setRequestTimeout(std::nullopt);
    EXPECT_EQ(view->image(), image);
  }
  SCOPED_TRACE("no URL: nothing happens");
  const std::uint64_t before = ImageLoading::finishedRequests();
  EXPECT_EQ(printedBy([&] { getImageFromURLString(view, "no url at all"); }), "");
  EXPECT_EQ(ImageLoading::finishedRequests(), before);
}

TEST(ImageLoadingThreads, LoadFromReadsOnTheMainQueue) {
  TestServer server;
  auto view = UIImageView::make();
  EXPECT_EQ(printedBy([&] { loadFrom(view, "not a url"); }),
            "UIImageView::loadFrom() : Could not encode url string : not a url\n");
  EXPECT_EQ(shown(*view), "none");
  {
    SCOPED_TRACE("a good image: nothing before the main loop runs, then the image, silently");
    EXPECT_EQ(printedBy([&] {
                loadFrom(view, server.url("/good.png"));
                EXPECT_EQ(shown(*view), "none");
              }),
              "");
    EXPECT_EQ(shown(*view), "4x3");
  }
  {
    SCOPED_TRACE("no image in the body, nothing to read: one line each, the image unchanged");
    auto image = view->image();
    EXPECT_EQ(printedBy([&] { loadFrom(view, server.url("/text")); }),
              "UIImageView::loadFrom() : Could not assign image.\n");
    EXPECT_EQ(printedBy([&] { loadFrom(view, refusedURL()); }),
              "UIImageView::loadFrom() : Could not encode image data.\n");
    EXPECT_EQ(view->image(), image);
  }
  SCOPED_TRACE("a file URL; and a view released before the work runs is not kept alive");
  const auto file =
      std::filesystem::temp_directory_path() / ("kov-image-" + std::to_string(::getpid()) + ".png");
  const auto png = pngOfSize(7, 7);
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  auto fileView = UIImageView::make();
  EXPECT_EQ(printedBy([&] {
              loadFrom(fileView, "file://" + file.string());
              auto gone = UIImageView::make();
              std::weak_ptr<UIImageView> watch = gone;
              loadFrom(gone, server.url("/good.png"));
              gone.reset();
              EXPECT_TRUE(watch.expired());
            }),
            "UIImageView::loadFrom() : Could not assign image.\n");
  EXPECT_EQ(shown(*fileView), "7x7");
  std::filesystem::remove(file);
}

TEST(URLSessionThreads, StatusesRedirectsTimeOutsAndErrors) {
  TestServer server;
  auto request = [&server](const std::string& path, double timeout = 60.0) {
    return URLRequest(*URL::string(path[0] == '/' ? server.url(path) : path),
                      URLRequestCachePolicy::useProtocolCachePolicy, timeout);
  };
  auto http = [](const URLSessionResult& r) {
    return std::dynamic_pointer_cast<HTTPURLResponse>(r.response);
  };
  auto load = [&](const std::string& path, double timeout = 60.0) {
    URLSessionResult result;
    bool done = false;
    bool onMain = false;
    URLSession::shared().data(request(path, timeout), DispatchQueue::main(), [&](URLSessionResult r) {
      result = std::move(r);
      onMain = DispatchQueue::main().isCurrent();
      done = true;
    });
    EXPECT_TRUE(MainLoop::runUntil([&] { return done; }));
    EXPECT_TRUE(onMain);
    return result;
  };
  {
    SCOPED_TRACE("a 404 is a response with its body");
    const URLSessionResult r = load("/missing.png");
    ASSERT_FALSE(r.error);
    ASSERT_NE(http(r), nullptr);
    EXPECT_EQ(http(r)->statusCode(), 404);
    EXPECT_EQ(http(r)->mimeType(), "image/png");
    EXPECT_EQ(std::int64_t(r.data->size()), http(r)->expectedContentLength());
  }
  {
    SCOPED_TRACE("a redirect is followed; the response names the final URL");
    const URLSessionResult r = load("/redirect");
    ASSERT_NE(http(r), nullptr);
    EXPECT_EQ(http(r)->statusCode(), 200);
    EXPECT_EQ(http(r)->url().absoluteString(), server.url("/good.png"));
    EXPECT_NE(UIImage::make(*r.data), nullptr);
  }
  {
    SCOPED_TRACE("a sub-second time-out without progress");
    const URLSessionResult r = load("/slow", 0.2);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->domain(), NSURLErrorDomain);
    EXPECT_EQ(r.error->code(), NSURLErrorTimedOut);
    EXPECT_FALSE(r.data);
  }
  {
    SCOPED_TRACE("connection refused, unsupported scheme");
    EXPECT_EQ(load(refusedURL()).error->code(), NSURLErrorCannotConnectToHost);
    EXPECT_EQ(load("ftp://127.0.0.1/x").error->code(), NSURLErrorUnsupportedURL);
  }
  {
    SCOPED_TRACE("several loads at once, more than two to one host");
    int done = 0;
    std::vector<int> statuses;
    // Three slow ones hold connections; the two quick ones must not wait for them.
    for (int i = 0; i < 3; ++i) {
      URLSession::shared().data(request("/slow", 1.0), DispatchQueue::main(),
                                [&](URLSessionResult) { ++done; });
    }
    for (int i = 0; i < 2; ++i) {
      URLSession::shared().data(request("/good.png"), DispatchQueue::main(), [&](URLSessionResult r) {
        statuses.push_back(http(r)->statusCode());
        ++done;
      });
    }
    EXPECT_TRUE(MainLoop::runUntil([&] { return statuses.size() == 2; }));
    EXPECT_LT(done, 5);  // the quick loads ended while the slow ones still waited
    EXPECT_TRUE(MainLoop::runUntil([&] { return done == 5; }));
    EXPECT_EQ(statuses, (std::vector<int>{200, 200}));
  }
  SCOPED_TRACE("the blocking load on the calling thread");
  const URLSessionResult r = URLSession::loadSynchronously(request("/good.png"));
  ASSERT_TRUE(r.data);
  EXPECT_EQ(http(r)->statusCode(), 200);
  EXPECT_EQ(URLSession::loadSynchronously(request("/slow", 0.2)).error->code(), NSURLErrorTimedOut);
}
