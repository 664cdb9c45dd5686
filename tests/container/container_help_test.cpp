// The help screen. The help host from the information property list: a bare host means HTTPS, an
// origin keeps its scheme (plain HTTP only for loopback), anything else falls back to the default
// host; the two pages are that origin's "/DYNAMICS/" and "/". Each appearance loads the prepared
// page. The navigation policy, fed through the web view as the engine would: every request with
// a URL is allowed, responses only for pages, PDF and HTML documents (the extension compared
// upper-cased), new windows never open; decisions without a URL are cancelled.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "container_support.h"

using namespace container_test;
using stdout_capture::beginCapture;
using stdout_capture::endCapture;

namespace {

const std::string fallback = std::string(defaultHelpHost) + "/";

std::vector<std::string> loadedAddresses(WKWebView& web) {
  std::vector<std::string> addresses;
  for (const WKLoadRequest& load : web.requestedLoads()) {
    addresses.push_back(load.request ? load.request->url.absoluteString() : "html");
  }
  return addresses;
}

class HelpScreenTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    resources.writeInfo("help.test.example:8443");
  }
  ResourceFolder resources;
};

}  // namespace

TEST(HelpHost, EntriesAndTheirPages) {
  const std::pair<const char*, std::string> cases[] = {
      {"help.example.org:8443", "https://help.example.org:8443/"},
      {"https://help.example.org/", "https://help.example.org/"},
      {"http://127.0.0.1:8000", "http://127.0.0.1:8000/"},
      {"http://help.example.org", fallback},  // plain HTTP only for loopback
      {"ftp://help.example.org", fallback},
      {"https://help.example.org/docs", fallback},  // an origin, not a page
      {"https://user@help.example.org", fallback},
      {"help example", fallback},
      {"", fallback},
  };
  for (const auto& [entry, root] : cases) {
    SCOPED_TRACE(entry);
    expectHostPages(entry, root);
  }
}

TEST(HelpHost, ReadFromTheMainBundlesInformationPropertyList) {
  {
    SCOPED_TRACE("the entry names the host");
    ResourceFolder resources;
    resources.writeInfo("help.test.example");
    EXPECT_EQ(HelpHost::fromMainBundle().helpPageURL().absoluteString(),
              "https://help.test.example/DYNAMICS/");
  }
  for (const std::string info : {"", "not a plist"}) {
    SCOPED_TRACE("no entry, or a file that is no property list: the default host");
    ResourceFolder resources;
    info.empty() ? resources.writeInfo("") : resources.write("Info.plist", info);
    EXPECT_EQ(HelpHost::fromMainBundle().rootURL().absoluteString(), fallback);
  }
  {
    SCOPED_TRACE("an entry that is no text: the default host");
    PropertyList::Dictionary info;
    info.emplace("KOVHelpHost", PropertyList(42));
    EXPECT_EQ(HelpHost::fromInfo(PropertyList(info)).rootURL().absoluteString(), fallback);
  }
}

TEST(HelpHost, TheApplicationsInformationPropertyListNamesAnHttpsHost) {
  std::ifstream file(std::string(KOV_SOURCE_DIR) + "/KOV Compressor/Resources/Info.plist", std::ios::binary);
  ASSERT_TRUE(file);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  const PropertyList info = PropertyListSerialization::propertyList(bytes);
  const PropertyList* entry = info.find(helpHostInfoKey);
  ASSERT_TRUE(entry && entry->string());
  const HelpHost host = HelpHost::fromInfo(info);
  EXPECT_EQ(host.rootURL().absoluteString(), "https://" + *entry->string() + "/");
}

TEST_F(HelpPolicyTest, ResponsesAreShownForPagesPdfAndHtmlOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"https://help.example.org/docs/guide.pdf", true},
      {"https://help.example.org/index.Html", true},
      {"https://help.example.org/MANUAL.PDF?page=2", true},
      {"https://help.example.org/DYNAMICS/", true},
      {"https://help.example.org/.html", true},  // a dot name: no extension
      {"https://help.example.org/notes.txt", false},
      {"https://help.example.org/a.xhtml", false},
      {"https://help.example.org/a.pdf.zip", false},
  };
  for (const auto& [url, shown] : cases) {
    SCOPED_TRACE(url);
    expectDecision(*web, url, shown ? WKNavigationResponsePolicy::allow : WKNavigationResponsePolicy::cancel);
  }
}

TEST_F(HelpPolicyTest, RequestsWithAUrlAreAllowedWhateverTheirScheme) {
  for (const char* url : {"mailto:someone@example.org", "file:///etc/passwd"}) {
    SCOPED_TRACE(url);
    expectDecision(*web, url, WKNavigationActionPolicy::allow);
  }
}

TEST_F(HelpPolicyTest, DecisionsWithoutAUrlAreCancelledAndNewWindowsNeverOpen) {
  Answers<WKNavigationActionPolicy> actions;
  Answers<WKNavigationResponsePolicy> responses;
  beginCapture();
  web->decidePolicy(actionFor(nullptr), actions.recorder());
  web->decidePolicy(responseFor(nullptr), responses.recorder());
  WKNavigationAction popup = actionFor("https://help.example.org/popup.html");
  popup.targetFrame.reset();  // a link with a new-window target
  EXPECT_EQ(web->createWebView(web->configuration(), popup, {}), nullptr);
  EXPECT_EQ(web->createWebView(web->configuration(), actionFor(nullptr), {}), nullptr);
  EXPECT_EQ(endCapture(),
            "navigationAction: \nnavigationResponse: \n"
            "createWebViewWith:\nhttps://help.example.org/popup.html\ncreateWebViewWith:\n");
  EXPECT_EQ(actions.given, std::vector{WKNavigationActionPolicy::cancel});
  EXPECT_EQ(responses.given, std::vector{WKNavigationResponsePolicy::cancel});
}

TEST_F(HelpScreenTest, EveryAppearanceLoadsThePageAgainAndOtherNamesLoadNothing) {
  auto help = std::make_shared<HelpViewController>(std::nullopt, nullptr);
  help->loadViewIfNeeded();
  const auto appearAndGo = [&] {
    help->beginAppearanceTransition(true, false);
    help->endAppearanceTransition();
    help->beginAppearanceTransition(false, false);
    help->endAppearanceTransition();
  };
  auto web = help->webView();
  appearAndGo();  // no preparation: the help page
  help->prepareInfo("ShowInfo");
  appearAndGo();
  help->prepareInfo("showinfo");  // compared exactly
  appearAndGo();
  EXPECT_EQ(loadedAddresses(*web), (std::vector<std::string>{"https://help.test.example:8443/DYNAMICS/",
                                                             "https://help.test.example:8443/"}));
}
