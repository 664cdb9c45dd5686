// The help screen as the main screen uses it: the segues make it, preparation names the page,
// each appearance loads that page from the help host (default cache policy, 60 s), the exit
// button dismisses it; the bundled help file loads as an HTML text with its own file URL as base.

#include <gtest/gtest.h>

#include "HelpScenes.h"
#include "HelpViewController.h"
#include "StdoutCapture.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/UITestSupport.h"
#include "container_support.h"

using namespace container_test;

namespace {

// The main screen's preparation of the help screen: the identifier, then prepareInfo(which:).
class Presenting : public UIViewController {
 public:
  using UIViewController::UIViewController;
  void prepare(UIStoryboardSegue& segue, const std::any&) override {
    if (!segue.identifier())
      return;
    if (auto help = std::dynamic_pointer_cast<HelpViewController>(segue.destination())) {
      help->prepareInfo(*segue.identifier());
    }
  }
};

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
    HeadlessTest::SetUp();  // before the first window
    window = UIWindow::make(CGRect(0, 0, 640, 480));
    resources.writeInfo("help.test.example:8443");
  }
  // Presents the screen through `segue` from a root screen in a window; returns it once shown.
  std::shared_ptr<HelpViewController> show(const char* segue) {
    root->performSegue(segue, std::any());
    MainLoop::runUntilIdle();
    return std::dynamic_pointer_cast<HelpViewController>(root->presentedViewController());
  }

  ResourceFolder resources;
  UIStoryboard board{"Main"};
  std::shared_ptr<UIWindow> window;
  std::shared_ptr<Presenting> root = std::make_shared<Presenting>(NSCoder(&board));
};

}  // namespace

TEST_F(HelpScreenTest, EachSegueShowsItsPageFromTheHelpHost) {
  registerHelpScenes(board);
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  for (const auto& [segue, address] : {std::pair{"ShowHelp", "https://help.test.example:8443/DYNAMICS/"},
                                       std::pair{"ShowInfo", "https://help.test.example:8443/"}}) {
    SCOPED_TRACE(segue);
    auto help = show(segue);
    ASSERT_TRUE(help);
    auto web = help->webView();
    ASSERT_EQ(loadedAddresses(*web), std::vector<std::string>{address});
    const WKLoadRequest& load = web->requestedLoads().at(0);
    EXPECT_EQ(load.request->timeoutInterval, 60.0);
    EXPECT_EQ(web->convert(web->bounds(), nullptr), CGRect(0, 48, 640, 432));  // under the bar
    {
      SCOPED_TRACE("the exit button dismisses the screen");
      UITestSupport::display(*window);
      UITestSupport::TouchInjector(*window).tap(help->buttonExit()->convert(CGPoint(20, 10), nullptr));
      MainLoop::runUntilIdle();
      EXPECT_EQ(root->presentedViewController(), nullptr);
    }
  }
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
