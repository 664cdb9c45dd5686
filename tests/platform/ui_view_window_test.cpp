// Windows: the root controller's view pinned to the window and laid out with it, the responder
// chain through the owning controller, the window's picture following its size and scale, the
// backend choice, and views too large for a full-resolution backing.
#include <cstdlib>

#include "NewEmptyUserFolders.h"
#include "UIKit/UIViewController.h"
#include "UIKit/testing/UIKitTesting.h"
#include "ui_view_support.h"

using namespace ui_view_test;

namespace {

class UIWindowTest : public HeadlessWindowTest {};

class LayoutCounter : public UIViewController {
 public:
  void viewDidLayoutSubviews() override { sizes.push_back(view()->bounds().size); }
  std::vector<CGSize> sizes;
};

TEST_F(UIWindowTest, RootControllerViewFillsTheWindowAndFollowsIt) {
  auto controller = std::make_shared<LayoutCounter>();
  window->setRootViewController(controller);
  ASSERT_TRUE(controller->isViewLoaded());
  EXPECT_EQ(window->rootViewController(), controller);
  EXPECT_EQ(controller->view()->superview(), window);
  EXPECT_EQ(controller->view()->frame(), CGRect(0, 0, 100, 100));
  controller->sizes.clear();
  window->setFrame(CGRect(0, 0, 300, 200));
  EXPECT_EQ(controller->view()->frame(), CGRect(0, 0, 300, 200));
  EXPECT_EQ(controller->sizes, (std::vector<CGSize>{{300, 200}})) << "one layout pass per bounds change";
  {
    SCOPED_TRACE("the picture is made at the new size");
    const auto& p = picture();
    EXPECT_EQ(p.pixelWidth(), 300);
    EXPECT_EQ(p.pixelHeight(), 200);
    EXPECT_EQ(p.pixel(299, 199), kWhite);
  }
  {
    SCOPED_TRACE("touches that no view handles rise through the controller to the window");
    auto probe = ProbeView::make("probe", CGRect(0, 0, 10, 10));
    EXPECT_EQ(controller->view()->next(), controller.get());
    controller->view()->addSubview(probe);
    EXPECT_EQ(probe->next(), controller->view().get());
  }
  {
    SCOPED_TRACE("another root controller replaces the view; none leaves the window empty");
    auto other = std::make_shared<UIViewController>();
    const auto firstView = controller->view();
    window->setRootViewController(other);
    EXPECT_EQ(firstView->superview(), nullptr);
    EXPECT_EQ(window->subviews(), (std::vector<std::shared_ptr<UIView>>{other->view()}));
    window->setRootViewController(nullptr);
    EXPECT_TRUE(window->subviews().empty());
    EXPECT_EQ(window->rootViewController(), nullptr);
  }
  controller->view()->setViewOwner(nullptr);
}

TEST_F(UIWindowTest, BackendIsChosenOnceWindowsExist) {
  EXPECT_EQ(UIWindow::backendKind(), UIWindowBackendKind::headless);
  EXPECT_TRUE(UIWindow::useBackend(UIWindowBackendKind::headless));
  EXPECT_FALSE(UIWindow::useBackend(UIWindowBackendKind::windowed)) << "a headless window is open";
  window->makeKeyAndVisible();
  EXPECT_EQ(UIWindow::keyWindow(), window);
  EXPECT_EQ(window->window(), window);
  auto second = UIWindow::make(CGRect(0, 0, 10, 10));
  second->makeKeyAndVisible();
  EXPECT_FALSE(window->isKeyWindow());
  EXPECT_EQ(UIWindow::keyWindow(), second);
}

// A display that is named but cannot be opened is said once on standard error, and windows are
// drawn off screen; a fresh process (the threadsafe death-test style re-runs the binary) makes the
// first choice of backend.
TEST(UIWindowDisplay, ADisplayThatCannotBeOpenedIsSaid) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const test_support::NewEmptyUserFolders userFolders;  // GTK's try at the display makes the cache folder
  EXPECT_EXIT(
      {
        setenv("DISPLAY", ":77.0", 1);  // no X server listens there
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("KOV_UI_BACKEND");
        std::_Exit(UIWindow::backendKind() == UIWindowBackendKind::headless ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "UIWindow: cannot open the display :77.0; windows are drawn off screen");
}

TEST_F(UIWindowTest, NestedAlphasMultiplyAndHugeViewsStillDraw) {
  auto outer = UIView::make(CGRect(0, 0, 50, 50));
  auto inner = UIView::make(CGRect(0, 0, 50, 50));
  inner->setBackgroundColor(UIColor::black());
  outer->addSubview(inner);
  window->addSubview(outer);
  outer->setAlpha(0.5);
  inner->setAlpha(0.5);
  EXPECT_NEAR(picture().pixel(10, 10).red, 191, 2) << "black at 0.25 over white";
  {
    SCOPED_TRACE("a view wider than a backing may be is drawn at a lower resolution, not refused");
    auto huge = ProbeView::make("huge", CGRect(-20000, 60, 40000, 20));
    huge->setBackgroundColor(UIColor::red());
    window->addSubview(huge);
    const auto& p = picture();
    EXPECT_EQ(UIViewTesting::drawCount(*huge), 1u);
    EXPECT_EQ(p.pixel(50, 70), kRed);
    EXPECT_EQ(p.pixel(50, 85), kWhite);
  }
}

}  // namespace
