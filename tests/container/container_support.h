// Shared by the container tests: the headless backend, answers recorded per decision, feeding a
// web view as its engine would, a main bundle whose resource folder holds a chosen information
// property list, and the help screen's web view with the checks of its decisions and host. [main]
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Bundle.h"
#include "HelpHost.h"
#include "HelpViewController.h"
#include "StdoutCapture.h"
#include "TemporaryFolder.h"
#include "UIKit/UIWindow.h"
#include "WebKit/WKWebView.h"

namespace container_test {

// Every answer one decision received (a correct decision has exactly one).
template <class Policy>
struct Answers {
  std::vector<Policy> given;
  std::function<void(Policy)> recorder() {
    return [this](Policy policy) { given.push_back(policy); };
  }
};

inline WKNavigationAction actionFor(const char* url) {
  WKNavigationAction action;
  if (url)
    action.request.url = URL::string(url);
  return action;
}

inline WKNavigationResponse responseFor(const char* url) {
  WKNavigationResponse response;
  if (url)
    response.response.url = URL::string(url);
  return response;
}

// A resource folder in the temporary folder, made the main bundle's for the test's life.
class ResourceFolder {
 public:
  ResourceFolder() { Bundle::setMainResourcePath(folder_.path().string()); }
  ~ResourceFolder() { Bundle::setMainResourcePath(std::nullopt); }
  // Writes Info.plist naming the help host (no entry for an empty host).
  void writeInfo(const std::string& host) const {
    std::ofstream info(path() / "Info.plist");
    info << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    if (!host.empty())
      info << "  <key>KOVHelpHost</key>\n  <string>" << host << "</string>\n";
    info << "</dict>\n</plist>\n";
  }
  void write(const std::string& name, const std::string& content) const {
    std::ofstream(folder_.file(name), std::ios::binary) << content;
  }
  const std::filesystem::path& path() const { return folder_.path(); }

 private:
  test_support::TemporaryFolder folder_{"kov-container"};
};

class HeadlessTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UIWindow::useBackend(UIWindowBackendKind::headless));
    MainLoop::runUntilIdle();
  }
  void TearDown() override { MainLoop::runUntilIdle(); }
};

// The help screen, its view loaded, and the web view it is both delegates of.
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

// Feeds `web` a request (an action policy) or a response (a response policy) for `url` as its
// engine would: the delegate's printed lines and its one answer.
template <class Policy>
void expectDecision(WKWebView& web, const char* url, Policy expected) {
  constexpr bool isAction = std::is_same_v<Policy, WKNavigationActionPolicy>;
  Answers<Policy> answers;
  stdout_capture::beginCapture();
  if constexpr (isAction)
    web.decidePolicy(actionFor(url), answers.recorder());
  else
    web.decidePolicy(responseFor(url), answers.recorder());
  EXPECT_EQ(stdout_capture::endCapture(),
            std::string(isAction ? "navigationAction: \n" : "navigationResponse: \n") + url + "\n");
  EXPECT_EQ(answers.given, std::vector{expected});
}

// The help host made from an information property list's `entry`: its root and its help page.
inline void expectHostPages(const std::string& entry, const std::string& root) {
  const HelpHost host = HelpHost::fromEntry(entry);
  EXPECT_EQ(host.rootURL().absoluteString(), root);
  EXPECT_EQ(host.helpPageURL().absoluteString(), root + "DYNAMICS/");
}

}  // namespace container_test
