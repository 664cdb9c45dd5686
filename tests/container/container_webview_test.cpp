// The web view without a web engine (headless backend): decisions fed by the test reach the
// delegates and are answered exactly once, with `cancel` for a handler dropped unanswered and
// `allow` without a delegate.

#include <gtest/gtest.h>

#include <optional>

#include "WebKit/WKWebView.h"
#include "container_support.h"

using namespace container_test;

namespace {

// A navigation delegate whose behaviour each test picks.
class Deciding : public WKNavigationDelegate {
 public:
  enum class Mode { answer, drop, keep, answerTwice };
  Mode mode = Mode::answer;
  WKNavigationActionPolicy actionPolicy = WKNavigationActionPolicy::allow;
  WKNavigationResponsePolicy responsePolicy = WKNavigationResponsePolicy::allow;
  std::optional<WKDecisionHandler<WKNavigationActionPolicy>> keptAction;

  void webView(WKWebView&, const WKNavigationAction&,
               WKDecisionHandler<WKNavigationActionPolicy> handler) override {
    switch (mode) {
      case Mode::answer:
        handler(actionPolicy);
        break;
      case Mode::drop:
        break;
      case Mode::keep:
        keptAction.emplace(std::move(handler));
        break;
      case Mode::answerTwice:
        handler(actionPolicy);
        handler(WKNavigationActionPolicy::download);
        break;
    }
  }
  void webView(WKWebView&, const WKNavigationResponse&,
               WKDecisionHandler<WKNavigationResponsePolicy> handler) override {
    if (mode == Mode::answer)
      handler(responsePolicy);
  }
};

class WKWebViewHeadlessTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    view = WKWebView::make(CGRect(0, 0, 320, 240));
    view->setNavigationDelegate(delegate);
  }
  std::shared_ptr<WKWebView> view;
  std::shared_ptr<Deciding> delegate = std::make_shared<Deciding>();
};

}  // namespace

TEST_F(WKWebViewHeadlessTest, EachDecisionIsAnsweredExactlyOnce) {
  {
    SCOPED_TRACE("the delegate's answer passes through");
    Answers<WKNavigationActionPolicy> answers;
    delegate->actionPolicy = WKNavigationActionPolicy::download;
    view->decidePolicy(actionFor("https://a.example/x"), answers.recorder());
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::download});
  }
  {
    SCOPED_TRACE("a handler dropped unanswered cancels");
    delegate->mode = Deciding::Mode::drop;
    Answers<WKNavigationActionPolicy> actions;
    Answers<WKNavigationResponsePolicy> responses;
    view->decidePolicy(actionFor("https://a.example/x"), actions.recorder());
    view->decidePolicy(responseFor("https://a.example/x"), responses.recorder());
    EXPECT_EQ(actions.given, std::vector{WKNavigationActionPolicy::cancel});
    EXPECT_EQ(responses.given, std::vector{WKNavigationResponsePolicy::cancel});
  }
  {
    SCOPED_TRACE("a second answer is ignored");
    delegate->mode = Deciding::Mode::answerTwice;
    delegate->actionPolicy = WKNavigationActionPolicy::allow;
    Answers<WKNavigationActionPolicy> answers;
    testing::internal::CaptureStderr();
    view->decidePolicy(actionFor("https://a.example/x"), answers.recorder());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WKWebView: a decision was answered twice; the later answer is ignored\n");
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::allow});
  }
  {
    SCOPED_TRACE("a handler kept for later answers when the delegate answers, once");
    delegate->mode = Deciding::Mode::keep;
    Answers<WKNavigationActionPolicy> answers;
    view->decidePolicy(actionFor("https://a.example/x"), answers.recorder());
    EXPECT_TRUE(answers.given.empty());
    ASSERT_TRUE(delegate->keptAction);
    WKDecisionHandler<WKNavigationActionPolicy> moved = std::move(*delegate->keptAction);
    delegate->keptAction.reset();  // the moved-from handler answers nothing
    EXPECT_TRUE(answers.given.empty());
    moved(WKNavigationActionPolicy::allow);
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::allow});
  }
}

TEST_F(WKWebViewHeadlessTest, WithoutDelegatesEverythingIsAllowedAndNoWindowOpens) {
  auto bare = WKWebView::make();
  Answers<WKNavigationActionPolicy> actions;
  Answers<WKNavigationResponsePolicy> responses;
  bare->decidePolicy(actionFor(nullptr), actions.recorder());
  bare->decidePolicy(responseFor("https://a.example/file.zip"), responses.recorder());
  EXPECT_EQ(actions.given, std::vector{WKNavigationActionPolicy::allow});
  EXPECT_EQ(responses.given, std::vector{WKNavigationResponsePolicy::allow});
  {
    SCOPED_TRACE("a delegate that went away counts as none");
    auto gone = std::make_shared<Deciding>();
    gone->actionPolicy = WKNavigationActionPolicy::cancel;
    bare->setNavigationDelegate(gone);
    gone.reset();
    Answers<WKNavigationActionPolicy> later;
    bare->decidePolicy(actionFor("https://a.example/"), later.recorder());
    EXPECT_EQ(later.given, std::vector{WKNavigationActionPolicy::allow});
  }
}
