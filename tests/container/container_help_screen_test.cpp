// The help screen as a presenting screen uses it: the storyboard's segues make it (unloaded, from
// that storyboard), preparation names the page, the appearance loads it from the help host with
// the protocol's cache policy and a 60 s time-out, the web view lies under the screen's bar, and
// a tap on the exit button dismisses it.

#include <gtest/gtest.h>

#include "HelpScenes.h"
#include "HelpViewController.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/testing/UITestSupport.h"
#include "container_support.h"

using namespace container_test;

namespace {

// A presenting screen that prepares the help screen as the main screen does: prepareInfo(which:)
// with the segue's identifier.
class Presenting : public UIViewController {
 public:
  using UIViewController::UIViewController;
  void prepare(UIStoryboardSegue& segue, const std::any&) override {
    if (!segue.identifier())
      return;
    if (auto help = std::dynamic_pointer_cast<HelpViewController>(segue.destination()))
      help->prepareInfo(*segue.identifier());
  }
};

class HelpScreenSegueTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();  // before the first window
    window = UIWindow::make(CGRect(0, 0, 640, 480));
    resources.writeInfo("help.test.example:8443");
  }
  ResourceFolder resources;
  UIStoryboard board{"Main"};
  std::shared_ptr<UIWindow> window;
  std::shared_ptr<Presenting> root = std::make_shared<Presenting>(NSCoder(&board));
};

}  // namespace

TEST_F(HelpScreenSegueTest, TheSeguesMakeUnloadedHelpScreensFromTheirStoryboard) {
  EXPECT_FALSE(board.hasSegue("ShowHelp"));
  registerHelpScenes(board);
  for (const char* segue : {"ShowHelp", "ShowInfo"}) {
    SCOPED_TRACE(segue);
    EXPECT_TRUE(board.hasSegue(segue));
    auto made = std::dynamic_pointer_cast<HelpViewController>(board.instantiateDestination(segue));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->storyboard(), &board);
    EXPECT_FALSE(made->isViewLoaded());
  }
}

TEST_F(HelpScreenSegueTest, EachSegueShowsItsPageUnderTheBarAndTheExitButtonDismissesIt) {
  registerHelpScenes(board);
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  for (const auto& [segue, address] : {std::pair{"ShowHelp", "https://help.test.example:8443/DYNAMICS/"},
                                       std::pair{"ShowInfo", "https://help.test.example:8443/"}}) {
    SCOPED_TRACE(segue);
    root->performSegue(segue, std::any());
    MainLoop::runUntilIdle();
    auto help = std::dynamic_pointer_cast<HelpViewController>(root->presentedViewController());
    ASSERT_TRUE(help);
    auto web = help->webView();
    ASSERT_EQ(web->requestedLoads().size(), 1u);
    const WKLoadRequest& load = web->requestedLoads()[0];
    ASSERT_TRUE(load.request);
    EXPECT_EQ(load.request->url.absoluteString(), address);
    EXPECT_EQ(load.request->cachePolicy, URLRequestCachePolicy::useProtocolCachePolicy);
    EXPECT_EQ(load.request->timeoutInterval, 60.0);
    EXPECT_EQ(web->convert(web->bounds(), nullptr), CGRect(0, 48, 640, 432));
    UITestSupport::display(*window);
    UITestSupport::TouchInjector(*window).tap(help->buttonExit()->convert(CGPoint(20, 10), nullptr));
    MainLoop::runUntilIdle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
  }
}
