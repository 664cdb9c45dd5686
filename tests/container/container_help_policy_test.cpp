// The help screen's navigation policy, fed through its web view as the engine would: every
// request with a URL is allowed, responses only for pages, PDF and HTML documents (the extension
// compared upper-cased), new windows never open; decisions without a URL are cancelled; each
// decision is answered once and prints its lines exactly.

#include <gtest/gtest.h>

#include "HelpViewController.h"
#include "StdoutCapture.h"
#include "container_support.h"

using namespace container_test;
using stdout_capture::beginCapture;
using stdout_capture::endCapture;

namespace {

class HelpPolicyTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    help = std::make_shared<HelpViewController>(NSCoder());
    help->loadViewIfNeeded();
    web = help->webView();
  }
  std::shared_ptr<HelpViewController> help;
  std::shared_ptr<WKWebView> web;
};

}  // namespace

TEST_F(HelpPolicyTest, ResponsesAreShownForPagesPdfAndHtmlOnly) {
  struct Case {
    const char* url;
    WKNavigationResponsePolicy expected;
  };
  const Case cases[] = {
      {"https://help.example.org/docs/guide.pdf", WKNavigationResponsePolicy::allow},
      {"https://help.example.org/index.Html", WKNavigationResponsePolicy::allow},
      {"https://help.example.org/notes.txt", WKNavigationResponsePolicy::cancel},
      {"https://help.example.org/DYNAMICS/", WKNavigationResponsePolicy::allow},
      {"https://help.example.org", WKNavigationResponsePolicy::allow},
      {"https://help.example.org/page.htm", WKNavigationResponsePolicy::cancel},
      {"https://help.example.org/archive.tar.gz", WKNavigationResponsePolicy::cancel},
      {"https://help.example.org/MANUAL.PDF?page=2", WKNavigationResponsePolicy::allow},
      {"https://help.example.org/.html", WKNavigationResponsePolicy::allow},  // a dot name: no extension
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    Answers<WKNavigationResponsePolicy> answers;
    beginCapture();
    web->decidePolicy(responseFor(c.url), answers.recorder());
    EXPECT_EQ(endCapture(), std::string("navigationResponse: \n") + c.url + "\n");
    EXPECT_EQ(answers.given, std::vector{c.expected});
  }
}

TEST_F(HelpPolicyTest, RequestsWithAUrlAreAllowedWhateverTheirScheme) {
  for (const char* url : {"https://help.example.org/notes.txt", "mailto:someone@example.org", "file:///etc/passwd"}) {
    SCOPED_TRACE(url);
    Answers<WKNavigationActionPolicy> answers;
    beginCapture();
    web->decidePolicy(actionFor(url), answers.recorder());
    EXPECT_EQ(endCapture(), std::string("navigationAction: \n") + url + "\n");
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::allow});
  }
}

TEST_F(HelpPolicyTest, DecisionsWithoutAUrlAreCancelled) {
  {
    SCOPED_TRACE("navigation action");
    Answers<WKNavigationActionPolicy> answers;
    beginCapture();
    web->decidePolicy(actionFor(nullptr), answers.recorder());
    EXPECT_EQ(endCapture(), "navigationAction: \n");
    EXPECT_EQ(answers.given, std::vector{WKNavigationActionPolicy::cancel});
  }
  {
    SCOPED_TRACE("navigation response");
    Answers<WKNavigationResponsePolicy> answers;
    beginCapture();
    web->decidePolicy(responseFor(nullptr), answers.recorder());
    EXPECT_EQ(endCapture(), "navigationResponse: \n");
    EXPECT_EQ(answers.given, std::vector{WKNavigationResponsePolicy::cancel});
  }
}

TEST_F(HelpPolicyTest, NewWindowsArePrintedAndNeverOpened) {
  {
    SCOPED_TRACE("a link with a new-window target");
    WKNavigationAction action = actionFor("https://help.example.org/popup.html");
    action.targetFrame.reset();
    beginCapture();
    EXPECT_EQ(web->createWebView(web->configuration(), action, {}), nullptr);
    EXPECT_EQ(endCapture(), "createWebViewWith:\nhttps://help.example.org/popup.html\n");
  }
  {
    SCOPED_TRACE("without a URL only the first line");
    beginCapture();
    EXPECT_EQ(web->createWebView(web->configuration(), actionFor(nullptr), {}), nullptr);
    EXPECT_EQ(endCapture(), "createWebViewWith:\n");
  }
}

TEST_F(HelpPolicyTest, TheScreenIsBothDelegatesOfItsWebViewOnceLoaded) {
  EXPECT_EQ(web->navigationDelegate().get(), static_cast<WKNavigationDelegate*>(help.get()));
  EXPECT_EQ(web->uiDelegate().get(), static_cast<WKUIDelegate*>(help.get()));
  {
    SCOPED_TRACE("the outlet is weak: the screen's view tree owns the web view");
    std::weak_ptr<WKWebView> watch = web;
    web.reset();
    help->setView(nullptr);
    EXPECT_TRUE(watch.expired());
  }
}

TEST(HelpPolicyAddress, ExtensionRule) {
  for (const auto& [url, shown] : std::vector<std::pair<const char*, bool>>{
           {"https://h.example/a/b.pDf", true}, {"https://h.example/a.HTML", true}, {"https://h.example/a.xhtml", false},
           {"https://h.example/a.pdf.zip", false}, {"https://h.example/a/", true}, {"https://h.example/a", true}}) {
    SCOPED_TRACE(url);
    EXPECT_EQ(HelpViewController::isShownAddress(*URL::string(url)), shown);
  }
}
