// The help screen's navigation policy beyond the main cases: a plain page request is allowed,
// responses for an origin without a path are shown, ".htm" and a double extension are not; the
// address rule on its own (upper-cased extension "", "PDF" or "HTML"); the screen is both
// delegates of its web view, which its view tree owns. The help host's other entries: a bare
// host, loopback by name, an origin with a query.

#include <gtest/gtest.h>

#include "container_support.h"

using namespace container_test;
TEST_F(HelpPolicyTest, PageRequestsAndFurtherResponses) {
  {
    SCOPED_TRACE("a page request");
    expectDecision(*web, "https://help.example.org/notes.txt", WKNavigationActionPolicy::allow);
  }
  const std::pair<const char*, WKNavigationResponsePolicy> cases[] = {
      {"https://help.example.org", WKNavigationResponsePolicy::allow},
      {"https://help.example.org/page.htm", WKNavigationResponsePolicy::cancel},
      {"https://help.example.org/archive.tar.gz", WKNavigationResponsePolicy::cancel},
  };
  for (const auto& [url, expected] : cases) {
    SCOPED_TRACE(url);
    expectDecision(*web, url, expected);
  }
}

TEST(HelpPolicyAddress, ExtensionRule) {
  const std::pair<const char*, bool> cases[] = {
      {"https://h.example/a/b.pDf", true},      {"https://h.example/a.HTML", true},
      {"https://h.example/a.xhtml", false},     {"https://h.example/a.pdf.zip", false},
      {"https://h.example/a/", true},           {"https://h.example/a", true},
      {"https://h.example/a.htm", false},       {"https://h.example/a.PDF?x=a.txt", true},
      {"https://h.example/a.txt#b.pdf", false},
  };
  for (const auto& [url, shown] : cases) {
    SCOPED_TRACE(url);
    EXPECT_EQ(HelpViewController::isShownAddress(*URL::string(url)), shown);
  }
}

TEST_F(HelpPolicyTest, TheScreenIsBothDelegatesOfItsWebViewWhichItsViewTreeOwns) {
  EXPECT_EQ(web->navigationDelegate().get(), static_cast<WKNavigationDelegate*>(help.get()));
  EXPECT_EQ(web->uiDelegate().get(), static_cast<WKUIDelegate*>(help.get()));
  std::weak_ptr<WKWebView> watch = web;
  web.reset();
  help->setView(nullptr);
  EXPECT_TRUE(watch.expired());
}

TEST(HelpHostMore, BareHostsLoopbackByNameAndQueries) {
  const std::string fallback = std::string(defaultHelpHost) + "/";
  const std::pair<const char*, std::string> cases[] = {
      {"help.example.org", "https://help.example.org/"},
      {"http://localhost:8000", "http://localhost:8000/"},
      {"https://help.example.org?x=1", fallback},
      {"https://help.example.org#top", fallback},
  };
  for (const auto& [entry, root] : cases) {
    SCOPED_TRACE(entry);
    expectHostPages(entry, root);
  }
}
