// The web view without a web engine (headless backend): a decision is answered exactly once, with
// `cancel` for a handler dropped unanswered and `allow` without a delegate (or with one gone). The
// web view's library loads without WebKitGTK: the engine is a module loaded by a windowed view.

#include <gtest/gtest.h>

#include <filesystem>

#include "LoadedLibraries.h"
#include "WebKit/WKWebView.h"
#include "container_support.h"

using namespace container_test;

namespace {

// Drops every handler unanswered, or answers `allow` twice.
class Deciding : public WKNavigationDelegate {
 public:
  bool answerTwice = false;
  void webView(WKWebView&, const WKNavigationAction&,
               WKDecisionHandler<WKNavigationActionPolicy> handler) override {
    if (answerTwice) {
      handler(WKNavigationActionPolicy::allow);
      handler(WKNavigationActionPolicy::download);
    }
  }
  void webView(WKWebView&, const WKNavigationResponse&,
               WKDecisionHandler<WKNavigationResponsePolicy>) override {}
};

TEST_F(HeadlessTest, WebViewDecisionsAreAnsweredExactlyOnce) {
  auto view = WKWebView::make(CGRect(0, 0, 320, 240));
  auto delegate = std::make_shared<Deciding>();
  view->setNavigationDelegate(delegate);
  {
    SCOPED_TRACE("a handler dropped unanswered cancels");
    Answers<WKNavigationActionPolicy> actions;
    Answers<WKNavigationResponsePolicy> responses;
    view->decidePolicy(actionFor("https://a.example/x"), actions.recorder());
    view->decidePolicy(responseFor("https://a.example/x"), responses.recorder());
    EXPECT_EQ(actions.given, std::vector{WKNavigationActionPolicy::cancel});
    EXPECT_EQ(responses.given, std::vector{WKNavigationResponsePolicy::cancel});
  }
  {
    SCOPED_TRACE("a second answer is ignored");
    delegate->answerTwice = true;
    Answers<WKNavigationActionPolicy> answers;
    testing::internal::CaptureStderr();
    view->decidePolicy(actionFor("https://a.example/x"), answers.recorder());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WKWebView: a decision was answered twice; the later answer is ignored\n");
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::allow});
  }
  {
    SCOPED_TRACE("a delegate that went away counts as none: everything allowed");
    delegate.reset();
    Answers<WKNavigationActionPolicy> actions;
    Answers<WKNavigationResponsePolicy> responses;
    view->decidePolicy(actionFor(nullptr), actions.recorder());
    view->decidePolicy(responseFor("https://a.example/file.zip"), responses.recorder());
    EXPECT_EQ(actions.given, std::vector{WKNavigationActionPolicy::allow});
    EXPECT_EQ(responses.given, std::vector{WKNavigationResponsePolicy::allow});
  }
}

}  // namespace

TEST(WebViewLibrary, NeedsNoWebKitGtkAndItsEngineModuleLiesBesideIt) {
  const auto objects = loaded_libraries::all();
  const auto* library = loaded_libraries::find(objects, "libplatform_webkit.so");
  ASSERT_NE(library, nullptr);
  {
    SCOPED_TRACE("the web view's library: UIKit, but not WebKitGTK or JavaScriptCore");
    EXPECT_TRUE(loaded_libraries::needsAny(*library, "libplatform_uikit"));
    EXPECT_FALSE(loaded_libraries::needsAny(*library, "libwebkit2gtk"));
    EXPECT_FALSE(loaded_libraries::needsAny(*library, "libjavascriptcoregtk"));
  }
  {
    SCOPED_TRACE("the engine module, which a windowed web view loads, is in the same folder");
    const std::string folder = library->path.substr(0, library->path.rfind('/') + 1);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "libplatform_webkit_gtk.so")) << folder;
  }
}
