// The web view without a web engine (headless backend), beyond answering once: loads are recorded
// (a request with its cache policy and time-out, an HTML text with its base URL) and nothing is
// loaded, a script finds no engine; the delegate's own answer passes through, a handler kept for
// later answers once when the delegate answers; new-window requests reach the UI delegate, and a
// view it gives lives as long as the opening view; without delegates no window opens.

#include <gtest/gtest.h>

#include <optional>

#include "WebKit/WKWebView.h"
#include "container_support.h"

using namespace container_test;

namespace {

// Answers with `policy`, or keeps the handler; gives `newView` for new windows.
class Keeping : public WKNavigationDelegate, public WKUIDelegate {
 public:
  bool keep = false;
  WKNavigationActionPolicy policy = WKNavigationActionPolicy::allow;
  std::optional<WKDecisionHandler<WKNavigationActionPolicy>> kept;
  std::shared_ptr<WKWebView> newView;
  std::vector<std::string> windowsAskedFor;

  void webView(WKWebView&, const WKNavigationAction&,
               WKDecisionHandler<WKNavigationActionPolicy> handler) override {
    if (keep)
      kept.emplace(std::move(handler));
    else
      handler(policy);
  }
  void webView(WKWebView&, const WKNavigationResponse&,
               WKDecisionHandler<WKNavigationResponsePolicy> handler) override {
    handler(WKNavigationResponsePolicy::allow);
  }
  std::shared_ptr<WKWebView> webView(WKWebView&, const WKWebViewConfiguration&,
                                     const WKNavigationAction& action, const WKWindowFeatures&) override {
    windowsAskedFor.push_back(action.request.url ? action.request.url->absoluteString() : "");
    return newView;
  }
};

class WebViewHeadlessTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    view = WKWebView::make(CGRect(0, 0, 320, 240));
    view->setNavigationDelegate(delegate);
    view->setUIDelegate(delegate);
  }
  std::shared_ptr<WKWebView> view;
  std::shared_ptr<Keeping> delegate = std::make_shared<Keeping>();
};

}  // namespace

TEST_F(WebViewHeadlessTest, LoadsAreRecordedAndNothingIsLoaded) {
  EXPECT_FALSE(view->hasWebEngine());
  EXPECT_EQ(view->engineView(), nullptr);
  const URL page = *URL::string("https://help.example.org/DYNAMICS/");
  view->load(URLRequest(page, URLRequestCachePolicy::reloadIgnoringLocalCacheData, 12.5));
  view->loadHTMLString("<p>hi</p>", URL::fileURLWithPath("/tmp/help.html"));
  ASSERT_EQ(view->requestedLoads().size(), 2u);
  {
    SCOPED_TRACE("a request, with its cache policy and time-out");
    const WKLoadRequest& first = view->requestedLoads()[0];
    ASSERT_TRUE(first.request);
    EXPECT_EQ(first.request->url, page);
    EXPECT_EQ(first.request->cachePolicy, URLRequestCachePolicy::reloadIgnoringLocalCacheData);
    EXPECT_EQ(first.request->timeoutInterval, 12.5);
    EXPECT_FALSE(first.htmlString);
  }
  {
    SCOPED_TRACE("an HTML text with its base URL");
    const WKLoadRequest& second = view->requestedLoads()[1];
    EXPECT_FALSE(second.request);
    EXPECT_EQ(second.htmlString, "<p>hi</p>");
    EXPECT_EQ(second.baseURL, URL::fileURLWithPath("/tmp/help.html"));
  }
  EXPECT_FALSE(view->url());
  EXPECT_FALSE(view->isLoading());
  EXPECT_FALSE(view->title());
  {
    SCOPED_TRACE("a script finds no engine to run in");
    int calls = 0;
    view->evaluateJavaScript("1 + 1",
                             [&](std::optional<std::string> result, std::optional<std::string> error) {
                               ++calls;
                               EXPECT_FALSE(result);
                               EXPECT_EQ(error, "no web engine");
                             });
    EXPECT_EQ(calls, 1);
    view->evaluateJavaScript("1 + 1");  // without a completion: nothing to call
  }
}

TEST_F(WebViewHeadlessTest, TheDelegatesAnswerPassesThroughAndAKeptHandlerAnswersOnce) {
  {
    SCOPED_TRACE("the delegate's answer passes through");
    Answers<WKNavigationActionPolicy> answers;
    delegate->policy = WKNavigationActionPolicy::download;
    view->decidePolicy(actionFor("https://a.example/x"), answers.recorder());
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::download});
  }
  {
    SCOPED_TRACE("a handler kept for later answers when the delegate answers, once");
    delegate->keep = true;
    Answers<WKNavigationActionPolicy> answers;
    view->decidePolicy(actionFor("https://a.example/x"), answers.recorder());
    EXPECT_TRUE(answers.given.empty());
    ASSERT_TRUE(delegate->kept);
    EXPECT_FALSE(delegate->kept->isAnswered());
    WKDecisionHandler<WKNavigationActionPolicy> moved = std::move(*delegate->kept);
    EXPECT_TRUE(delegate->kept->isAnswered());  // the moved-from handler answers nothing
    delegate->kept.reset();
    EXPECT_TRUE(answers.given.empty());
    moved(WKNavigationActionPolicy::allow);
    EXPECT_TRUE(moved.isAnswered());
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::allow});
  }
  {
    SCOPED_TRACE("a kept handler replaced by another cancels");
    Answers<WKNavigationActionPolicy> first, second;
    view->decidePolicy(actionFor("https://a.example/1"), first.recorder());
    ASSERT_TRUE(delegate->kept);
    WKDecisionHandler<WKNavigationActionPolicy> held = std::move(*delegate->kept);
    view->decidePolicy(actionFor("https://a.example/2"), second.recorder());
    held = std::move(*delegate->kept);
    EXPECT_EQ(first.given, std::vector{WKNavigationActionPolicy::cancel});
    EXPECT_TRUE(second.given.empty());
    held(WKNavigationActionPolicy::allow);
    EXPECT_EQ(second.given, std::vector{WKNavigationActionPolicy::allow});
  }
}

TEST_F(WebViewHeadlessTest, NewWindowRequestsReachTheUIDelegateAndAGivenViewIsKept) {
  EXPECT_EQ(view->createWebView({}, actionFor("https://a.example/new"), {}), nullptr);
  EXPECT_EQ(delegate->windowsAskedFor, std::vector<std::string>{"https://a.example/new"});
  auto opened = WKWebView::make();
  std::weak_ptr<WKWebView> watch = opened;
  delegate->newView = opened;
  EXPECT_EQ(view->createWebView({}, actionFor("https://a.example/new"), {}), opened);
  opened.reset();
  delegate->newView.reset();
  EXPECT_FALSE(watch.expired());  // kept alive by the opening view
  view.reset();
  EXPECT_TRUE(watch.expired());
}

TEST_F(HeadlessTest, WebViewWithoutDelegatesOpensNoWindow) {
  auto bare = WKWebView::make();
  EXPECT_EQ(bare->createWebView({}, actionFor("https://a.example/new"), {}), nullptr);
  Answers<WKNavigationActionPolicy> answers;
  bare->decidePolicy(actionFor("https://a.example/"), answers.recorder());
  EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::allow});
}
