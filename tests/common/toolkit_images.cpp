// Image loading into image views, and the URL session under it, against an HTTP server that the
// test runs on 127.0.0.1: a good image, a body that is no image, a 404 with an image body, a
// redirect, and a response that never comes (time-out).
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <libsoup/soup.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/URLSession.h"
#include "ImageLoading.h"
#include "StdoutCapture.h"
#include "UIKit/UIImageView.h"

namespace {

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
    GSource* quit = g_idle_source_new();
    g_source_set_callback(quit, [](gpointer loop) -> gboolean {
      g_main_loop_quit(static_cast<GMainLoop*>(loop));
      return G_SOURCE_REMOVE;
    }, loop_, nullptr);
    g_source_attach(quit, context_);
    g_source_unref(quit);
    thread_.join();
  }

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

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

  static void respond(SoupServerMessage* msg, guint status, const char* type, const std::vector<std::uint8_t>& body) {
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

// A port nobody listens on: bound, then closed.
std::string refusedURL() {
  GSocket* socket = g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
  GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* any = g_inet_socket_address_new(loopback, 0);
  g_socket_bind(socket, any, TRUE, nullptr);
  GSocketAddress* bound = g_socket_get_local_address(socket, nullptr);
  const guint16 port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
  g_object_unref(bound);
  g_object_unref(any);
  g_object_unref(loopback);
  g_socket_close(socket, nullptr);
  g_object_unref(socket);
  return "http://127.0.0.1:" + std::to_string(port) + "/x.png";
}

using stdout_capture::beginCapture;
using stdout_capture::endCapture;

// Starts getImageFromURLString and runs the main loop until that request has finished.
bool loadAsync(const std::shared_ptr<UIImageView>& view, const std::string& url) {
  const std::uint64_t before = ImageLoading::finishedRequests();
  getImageFromURLString(view, url);
  return MainLoop::runUntil([&] { return ImageLoading::finishedRequests() > before; });
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
    beginCapture();
    ASSERT_TRUE(loadAsync(view, server.url("/good.png")));
    EXPECT_EQ(endCapture(), "Fetched image successfully\n");
    ASSERT_NE(view->image(), nullptr);
    EXPECT_EQ(view->image()->size(), (CGSize{4, 3}));
  }
  {
    SCOPED_TRACE("a 404 whose body is an image: shown, nothing printed");
    beginCapture();
    ASSERT_TRUE(loadAsync(view, server.url("/missing.png")));
    EXPECT_EQ(endCapture(), "");
    ASSERT_NE(view->image(), nullptr);
    EXPECT_EQ(view->image()->size(), (CGSize{2, 5}));
  }
  {
    SCOPED_TRACE("a 200 whose body is no image: the success line, and no image");
    view->setImage(placeholder());
    beginCapture();
    ASSERT_TRUE(loadAsync(view, server.url("/text")));
    EXPECT_EQ(endCapture(), "Fetched image successfully\n");
    EXPECT_EQ(view->image(), nullptr);
  }
  {
    SCOPED_TRACE("a time-out: the error line, the image stays");
    auto image = placeholder();
    view->setImage(image);
    ImageLoading::setRequestTimeoutForTesting(0.25);
    beginCapture();
    ASSERT_TRUE(loadAsync(view, server.url("/slow")));
    ImageLoading::setRequestTimeoutForTesting(std::nullopt);
    EXPECT_EQ(endCapture(),
              "Error Domain=NSURLErrorDomain Code=-1001 \"The request timed out.\" "
              "UserInfo={NSLocalizedDescription=The request timed out.}\n");
    EXPECT_EQ(view->image(), image);
  }
  {
    SCOPED_TRACE("no URL: nothing happens");
    beginCapture();
    const std::uint64_t before = ImageLoading::finishedRequests();
    getImageFromURLString(view, "no url at all");
    MainLoop::runUntilIdle();
    EXPECT_EQ(endCapture(), "");
    EXPECT_EQ(ImageLoading::finishedRequests(), before);
  }
}

TEST(ImageLoadingThreads, LoadFromReadsOnTheMainQueue) {
  TestServer server;
  auto view = UIImageView::make();
  {
    SCOPED_TRACE("no URL: one line, the view untouched");
    beginCapture();
    loadFrom(view, "not a url");
    MainLoop::runUntilIdle();
    EXPECT_EQ(endCapture(), "UIImageView::loadFrom() : Could not encode url string : not a url\n");
    EXPECT_EQ(view->image(), nullptr);
  }
  {
    SCOPED_TRACE("a good image: nothing before the main loop runs, then the image, silently");
    beginCapture();
    loadFrom(view, server.url("/good.png"));
    EXPECT_EQ(view->image(), nullptr);
    MainLoop::runUntilIdle();
    EXPECT_EQ(endCapture(), "");
    ASSERT_NE(view->image(), nullptr);
    EXPECT_EQ(view->image()->size(), (CGSize{4, 3}));
  }
  {
    SCOPED_TRACE("no image in the body: one line, the image unchanged");
    auto image = view->image();
    beginCapture();
    loadFrom(view, server.url("/text"));
    MainLoop::runUntilIdle();
    EXPECT_EQ(endCapture(), "UIImageView::loadFrom() : Could not assign image.\n");
    EXPECT_EQ(view->image(), image);
  }
  {
    SCOPED_TRACE("nothing to read");
    beginCapture();
    loadFrom(view, refusedURL());
    MainLoop::runUntilIdle();
    EXPECT_EQ(endCapture(), "UIImageView::loadFrom() : Could not encode image data.\n");
  }
  {
    SCOPED_TRACE("a file URL; and a view released before the work runs is not kept alive");
    const auto file = std::filesystem::temp_directory_path() / ("kov-image-" + std::to_string(::getpid()) + ".png");
    const auto png = pngOfSize(7, 7);
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
    auto fileView = UIImageView::make();
    beginCapture();
    loadFrom(fileView, "file://" + file.string());
    auto gone = UIImageView::make();
    std::weak_ptr<UIImageView> watch = gone;
    loadFrom(gone, server.url("/good.png"));
    gone.reset();
    EXPECT_TRUE(watch.expired());
    MainLoop::runUntilIdle();
    EXPECT_EQ(endCapture(), "UIImageView::loadFrom() : Could not assign image.\n");
    ASSERT_NE(fileView->image(), nullptr);
    EXPECT_EQ(fileView->image()->size(), (CGSize{7, 7}));
    std::filesystem::remove(file);
  }
}

TEST(URLSessionThreads, StatusesRedirectsTimeOutsAndErrors) {
  TestServer server;
  auto load = [](const std::string& text, double timeout = 60.0) {
    URLSessionResult result;
    bool done = false;
    bool onMain = false;
    URLSession::shared().data(URLRequest(*URL::string(text), URLRequestCachePolicy::useProtocolCachePolicy, timeout),
                              DispatchQueue::main(), [&](URLSessionResult r) {
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
    const URLSessionResult r = load(server.url("/missing.png"));
    ASSERT_FALSE(r.error);
    auto http = std::dynamic_pointer_cast<HTTPURLResponse>(r.response);
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->statusCode(), 404);
    EXPECT_EQ(http->mimeType(), "image/png");
    EXPECT_EQ(std::int64_t(r.data->size()), http->expectedContentLength());
  }
  {
    SCOPED_TRACE("a redirect is followed; the response names the final URL");
    const URLSessionResult r = load(server.url("/redirect"));
    auto http = std::dynamic_pointer_cast<HTTPURLResponse>(r.response);
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->statusCode(), 200);
    EXPECT_EQ(http->url().absoluteString(), server.url("/good.png"));
    EXPECT_NE(UIImage::make(*r.data), nullptr);
  }
  {
    SCOPED_TRACE("a sub-second time-out without progress");
    const URLSessionResult r = load(server.url("/slow"), 0.2);
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
    constexpr int kLoads = 5;
    int done = 0;
    std::vector<int> statuses;
    // The slow ones hold connections; the quick one must not wait for them.
    for (int i = 0; i < 3; ++i) {
      URLSession::shared().data(URLRequest(*URL::string(server.url("/slow")), URLRequestCachePolicy::useProtocolCachePolicy, 1.0),
                                DispatchQueue::main(), [&](URLSessionResult) { ++done; });
    }
    for (int i = 0; i < kLoads - 3; ++i) {
      URLSession::shared().data(URLRequest(*URL::string(server.url("/good.png"))), DispatchQueue::main(),
                                [&](URLSessionResult r) {
                                  statuses.push_back(std::dynamic_pointer_cast<HTTPURLResponse>(r.response)->statusCode());
                                  ++done;
                                });
    }
    EXPECT_TRUE(MainLoop::runUntil([&] { return statuses.size() == 2; }));
    EXPECT_LT(done, kLoads);  // the quick loads ended while the slow ones still waited
    EXPECT_TRUE(MainLoop::runUntil([&] { return done == kLoads; }));
    EXPECT_EQ(statuses, (std::vector<int>{200, 200}));
  }
  {
    SCOPED_TRACE("the blocking load on the calling thread");
    const URLSessionResult r = URLSession::loadSynchronously(URLRequest(*URL::string(server.url("/good.png"))));
    ASSERT_TRUE(r.data);
    EXPECT_EQ(std::dynamic_pointer_cast<HTTPURLResponse>(r.response)->statusCode(), 200);
    const URLSessionResult t = URLSession::loadSynchronously(
        URLRequest(*URL::string(server.url("/slow")), URLRequestCachePolicy::useProtocolCachePolicy, 0.2));
    EXPECT_EQ(t.error->code(), NSURLErrorTimedOut);
  }
}
