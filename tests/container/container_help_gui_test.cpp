// The help screen with a real web view (WebKitGTK) in a GTK window, loading from a local HTTP
// server: the help page is shown, a text file's response cancelled (the page stays), a new window
// asked for, the lines printed in order, the widget over the web view's frame. Needs a display (xvfb-run -a);
// in a process of its own, since the window backend is chosen once per process.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Eventually.h"
#include "HelpViewController.h"
#include "StdoutCapture.h"
#include "TestOutput.h"
#include "container_support.h"

using namespace container_test;

#ifdef KOV_COVERAGE
// gcc's coverage runtime: writes the counts of every instrumented module of the process.
extern "C" void __gcov_dump();
#endif

namespace {

// python3 -m http.server on a free loopback port, serving `folder`, for the object's life.
class LocalServer {
 public:
  explicit LocalServer(const std::filesystem::path& folder) {
    const std::string dir = folder.string();
    const char* argv[] = {"python3", "-u",        "-m",          "http.server", "0",
                          "--bind",  "127.0.0.1", "--directory", dir.c_str(),   nullptr};
    gint out = -1;
    GError* error = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                                  nullptr, &pid_, nullptr, &out, nullptr, &error)) {
      g_clear_error(&error);
      return;
    }
    // "Serving HTTP on 127.0.0.1 port 40123 (http://127.0.0.1:40123/) ..."
    std::string line;
    for (char c; line.find('\n') == std::string::npos && ::read(out, &c, 1) == 1;)
      line += c;
    ::close(out);
    const auto at = line.find(" port ");
    if (at != std::string::npos)
      port_ = std::atoi(line.c_str() + at + 6);
  }
  ~LocalServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  int port() const { return port_; }

 private:
  GPid pid_ = 0;
  int port_ = 0;
};

// Counts the decisions the web view asks of the screen (which prints and answers them).
struct Counting : WKNavigationDelegate, WKUIDelegate {
  explicit Counting(std::shared_ptr<HelpViewController> screen) : screen(std::move(screen)) {}
  void webView(WKWebView& web, const WKNavigationAction& action,
               WKDecisionHandler<WKNavigationActionPolicy> handler) override {
    ++decisions;
    screen->webView(web, action, std::move(handler));
  }
  void webView(WKWebView& web, const WKNavigationResponse& response,
               WKDecisionHandler<WKNavigationResponsePolicy> handler) override {
    ++decisions;
    screen->webView(web, response, std::move(handler));
  }
  std::shared_ptr<WKWebView> webView(WKWebView& web, const WKWebViewConfiguration& configuration,
                                     const WKNavigationAction& action,
                                     const WKWindowFeatures& features) override {
    ++decisions;
    return screen->webView(web, configuration, action, features);
  }
  std::shared_ptr<HelpViewController> screen;
  int decisions = 0;
};

// The web engine keeps a cache, website data and settings in the user's folders, named after the
// program (~/.cache/container_tests, ~/.local/share/container_tests, and dconf's ~/.cache/dconf):
// while the object lives, processes started from this one (the scenario's) get folders in the
// build tree's output folder instead; this process gets its own values back when it goes.
class UserFoldersInOutput {
 public:
  explicit UserFoldersInOutput(const std::string& name) {
    const std::filesystem::path root = test_support::outputFolder() / name;
    for (const auto& [variable, folder] :
         {std::pair{"XDG_CACHE_HOME", "cache"}, std::pair{"XDG_CONFIG_HOME", "config"},
          std::pair{"XDG_DATA_HOME", "data"}}) {
      const char* old = std::getenv(variable);
      saved_.emplace_back(variable, old ? std::optional<std::string>(old) : std::nullopt);
      std::filesystem::create_directories(root / folder);
      ::setenv(variable, (root / folder).c_str(), 1);
    }
  }
  ~UserFoldersInOutput() {
    for (const auto& [variable, value] : saved_) {
      if (value)
        ::setenv(variable, value->c_str(), 1);
      else
        ::unsetenv(variable);
    }
  }
  UserFoldersInOutput(const UserFoldersInOutput&) = delete;
  UserFoldersInOutput& operator=(const UserFoldersInOutput&) = delete;

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// For a failure in the scenario's process: prints `what`; the exit code 1.
int fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  return 1;
}

// The scenario; its result is the process's exit code.
int showTheHelpPageFromALocalServer() {
  if (!UIWindow::useBackend(UIWindowBackendKind::windowed))
    return fail("no windowed backend");
  ResourceFolder site;
  std::filesystem::create_directories(site.path() / "DYNAMICS");
  std::ofstream(site.path() / "DYNAMICS" / "index.html")
      << "<!doctype html><html><head><title>KOV help test</title></head><body><h1>Help</h1>"
         "<a id=\"popup\" href=\"/DYNAMICS/guide.pdf\" target=\"_blank\">guide</a></body></html>";
  std::ofstream(site.path() / "notes.txt") << "plain text\n";
  LocalServer server(site.path());
  if (server.port() <= 0)
    return fail("the local server did not start");
  const std::string origin = "http://127.0.0.1:" + std::to_string(server.port());

  ResourceFolder resources;
  resources.writeInfo(origin);
  auto window = UIWindow::make(CGRect(0, 0, 640, 480));
  window->setTitle("KOV help test " + std::to_string(::getpid()));
  auto screen = std::make_shared<HelpViewController>(NSCoder());
  window->setRootViewController(screen);
  window->makeKeyAndVisible();
  auto web = screen->webView();
  if (!web->hasWebEngine())
    return fail("no web engine in the windowed backend");
  auto counting = std::make_shared<Counting>(screen);
  web->setNavigationDelegate(counting);
  web->setUIDelegate(counting);

  stdout_capture::beginCapture();
  screen->beginAppearanceTransition(true, false);  // loads the help page
  screen->endAppearanceTransition();
  // The web engine's processes start with the first page: a generous deadline for each step.
  const test_support::Polling web30s{.deadline = std::chrono::seconds(30)};
  const testing::AssertionResult shown = test_support::eventually(
      "the help page's title", [&] { return web->title() == "KOV help test"; }, web30s);
  const std::string page = origin + "/DYNAMICS/", notes = origin + "/notes.txt",
                    popup = origin + "/DYNAMICS/guide.pdf";
  web->load(URLRequest(*URL::string(notes)));
  const testing::AssertionResult notesDecided = test_support::eventually(
      "the text file's decisions", [&] { return counting->decisions >= 4; }, web30s);
  web->evaluateJavaScript("document.getElementById('popup').click()");
  const testing::AssertionResult popupDecided = test_support::eventually(
      "the new window's decisions", [&] { return counting->decisions >= 6; }, web30s);
  GtkWidget* widget = static_cast<GtkWidget*>(web->engineView());
  GtkAllocation allocation{};  // in window coordinates
  const testing::AssertionResult placed =
      test_support::eventually("the web view's widget over its view's frame", [&] {
        gtk_widget_get_allocation(widget, &allocation);
        gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &allocation.x,
                                         &allocation.y);
        return gtk_widget_get_mapped(widget) && allocation.x == 0 && allocation.y == 48 &&
               allocation.width == 640 && allocation.height == 432;
      });
  MainLoop::runUntilIdle();
  const std::string printed = stdout_capture::endCapture();

  const std::string expectedPrinted = "navigationAction: \n" + page + "\nnavigationResponse: \n" + page +
                                      "\nnavigationAction: \n" + notes + "\nnavigationResponse: \n" + notes +
                                      "\nnavigationAction: \n" + popup + "\ncreateWebViewWith:\n" + popup +
                                      "\n";
  if (!shown)
    return fail(shown.message());
  if (!notesDecided)
    return fail(notesDecided.message());
  if (!popupDecided)
    return fail(popupDecided.message());
  if (printed != expectedPrinted)
    return fail("printed:\n" + printed);
  if (web->title() != "KOV help test")
    return fail("the text file replaced the page");  // its response was cancelled
  if (!placed)
    return fail(std::string(placed.message()) + ": widget at " + std::to_string(allocation.x) + "," +
                std::to_string(allocation.y) + " " + std::to_string(allocation.width) + "x" +
                std::to_string(allocation.height));
  std::fputs("help page shown\n", stderr);
  return 0;
}

}  // namespace

TEST(HelpScreenGui, ShowsTheHelpPageFromALocalServerAndDecidesEachNavigation) {
  if (!std::getenv("DISPLAY") || !gtk_init_check(nullptr, nullptr))
    GTEST_SKIP() << "no X display (run under xvfb-run -a)";
  if (std::system("command -v python3 >/dev/null") != 0)
    GTEST_SKIP() << "python3 missing";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The scenario's process (this program started again) begins with these folders.
  const UserFoldersInOutput folders("help_screen_gui");
  // _Exit: the web engine's processes and threads are not torn down at exit. _Exit skips the
  // exit handlers, among them the one that writes a coverage build's counts: write them first.
  EXPECT_EXIT(
      {
        const int code = showTheHelpPageFromALocalServer();
        std::fflush(stderr);
#ifdef KOV_COVERAGE
        __gcov_dump();
#endif
        std::_Exit(code);
      },
      testing::ExitedWithCode(0), "help page shown");
}
