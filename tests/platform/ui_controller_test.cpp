// View controllers: lazy loading, the life-cycle call order, layout passes, containment, modal
// presentation and segues.

#include <gtest/gtest.h>

#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIWindow.h"
#include "ui_controller_support.h"

using namespace ui_controller_test;
using Lines = std::vector<std::string>;

namespace {

// Puts a controller on screen as the application's launch does for its root controller.
void appear(UIViewController& controller) {
  controller.beginAppearanceTransition(true, false);
  controller.endAppearanceTransition();
}

std::string stderrOf(const std::function<void()>& action) {
  testing::internal::CaptureStderr();
  action();
  return testing::internal::GetCapturedStderr();
}

class UIViewControllerTest : public testing::Test {
 protected:
  void SetUp() override {
    UIWindow::useBackend(UIWindowBackendKind::headless);
    MainLoop::runUntilIdle();
  }
  Journal journal;
};

}  // namespace

TEST_F(UIViewControllerTest, ViewLoadsOnceOnItsFirstRead) {
  auto a = makeController("A", journal);
  {
    SCOPED_TRACE("isViewLoaded never loads");
    EXPECT_FALSE(a->isViewLoaded());
    EXPECT_FALSE(a->viewIfLoaded());
    EXPECT_TRUE(journal.empty());
  }
  {
    SCOPED_TRACE("the first read loads, later reads do not");
    const auto view = a->view();
    ASSERT_TRUE(view);
    EXPECT_EQ(a->view(), view);
    EXPECT_TRUE(a->isViewLoaded());
    EXPECT_EQ(take(journal), (Lines{"A.loadView", "A.viewDidLoad"}));
    EXPECT_EQ(view->viewOwner(), a.get());
    EXPECT_EQ(view->next(), a.get());
  }
  {
    SCOPED_TRACE("a view set before the first read is not loaded again");
    auto b = makeController("B", journal);
    auto own = UIView::make(CGRect(0, 0, 10, 10));
    b->setView(own);
    EXPECT_EQ(b->view(), own);
    EXPECT_TRUE(journal.empty());
  }
  {
    SCOPED_TRACE("a view that outlives its controller forgets it");
    auto kept = a->view();
    a.reset();
    EXPECT_EQ(kept->viewOwner(), nullptr);
    kept->setFrame(CGRect(0, 0, 50, 50));  // must not reach the destroyed controller
    EXPECT_TRUE(journal.empty());
  }
  {
    SCOPED_TRACE("the initialiser forms");
    const UIViewController byName(std::string("Main"), nullptr);
    EXPECT_EQ(byName.nibName(), "Main");
    UIStoryboard board("Board");
    const UIViewController decoded{NSCoder(&board)};
    EXPECT_EQ(decoded.storyboard(), &board);
    EXPECT_EQ(UIViewController().storyboard(), nullptr);
  }
}

TEST_F(UIViewControllerTest, LayoutPassesOfTheViewReachTheController) {
  auto a = makeController("A", journal);
  a->journalLayout = true;
  const auto& view = a->view();
  view->setFrame(CGRect(0, 0, 200, 100));
  view->layoutIfNeeded();
  take(journal);
  {
    SCOPED_TRACE("a bounds change");
    view->setFrame(CGRect(0, 0, 300, 100));
    EXPECT_EQ(take(journal), (Lines{"A.viewDidLayoutSubviews"}));
  }
  {
    SCOPED_TRACE("a requested layout");
    view->setNeedsLayout();
    view->layoutIfNeeded();
    EXPECT_EQ(take(journal), (Lines{"A.viewDidLayoutSubviews"}));
  }
  {
    SCOPED_TRACE("a move without a size change lays nothing out");
    view->setFrame(CGRect(40, 0, 300, 100));
    view->layoutIfNeeded();
    EXPECT_TRUE(journal.empty());
  }
}

TEST_F(UIViewControllerTest, ChildContainmentCallsInOrder) {
  auto parent = makeController("P", journal);
  auto other = makeController("Q", journal);
  auto child = makeController("C", journal);
  {
    SCOPED_TRACE("embedding: addChild, view in place, didMove");
    parent->addChild(child);
    parent->view()->addSubview(child->view());
    child->didMove(parent.get());
    EXPECT_EQ(take(journal), (Lines{"C.willMove(P)", "P.loadView", "P.viewDidLoad", "C.loadView",
                                    "C.viewDidLoad", "C.didMove(P)"}));
    EXPECT_EQ(parent->children(), (std::vector<std::shared_ptr<UIViewController>>{child}));
    EXPECT_EQ(child->parent(), parent);
  }
  {
    SCOPED_TRACE("adding it again changes nothing; a cycle is refused");
    parent->addChild(child);
    child->addChild(parent);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(parent->children().size(), 1u);
    EXPECT_TRUE(child->children().empty());
  }
  {
    SCOPED_TRACE("moving to another parent leaves the first");
    other->addChild(child);
    EXPECT_EQ(take(journal), (Lines{"C.didMove(nil)", "C.willMove(Q)"}));
    EXPECT_TRUE(parent->children().empty());
    EXPECT_EQ(child->parent(), other);
  }
  {
    SCOPED_TRACE("appearance reaches children whose views are loaded");
    auto unloaded = makeController("U", journal);
    other->addChild(unloaded);
    take(journal);
    appear(*other);
    EXPECT_EQ(take(journal),
              (Lines{"Q.viewWillAppear()", "C.viewWillAppear()", "Q.viewDidAppear()", "C.viewDidAppear()"}));
  }
  {
    SCOPED_TRACE("removeFromParent");
    child->willMove(nullptr);
    child->view()->removeFromSuperview();
    child->removeFromParent();
    EXPECT_EQ(take(journal), (Lines{"C.willMove(nil)", "C.didMove(nil)"}));
    EXPECT_EQ(child->parent(), nullptr);
    EXPECT_EQ(other->children().size(), 1u);
  }
}

TEST_F(UIViewControllerTest, PresentAndDismissInOrderWithCompletions) {
  auto window = UIWindow::make(CGRect(0, 0, 400, 300));
  auto a = makeController("A", journal);
  window->setRootViewController(a);
  appear(*a);
  auto b = makeController("B", journal);
  take(journal);
  {
    SCOPED_TRACE("present: appearing at once, appeared and completed on the next turn");
    a->present(b, true, [&] { journal.push_back("presented"); });
    EXPECT_EQ(take(journal), (Lines{"B.loadView", "B.viewDidLoad", "A.viewWillDisappear(animated)",
                                    "B.viewWillAppear(animated)"}));
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_EQ(b->presentingViewController(), a);
    EXPECT_EQ(b->view()->superview(), window);
    EXPECT_EQ(b->view()->frame(), window->bounds());
    MainLoop::runUntilIdle();
    EXPECT_EQ(take(journal),
              (Lines{"A.viewDidDisappear(animated)", "B.viewDidAppear(animated)", "presented"}));
  }
  {
    SCOPED_TRACE("a second presentation is refused");
    auto c = makeController("C", journal);
    const std::string log = stderrOf([&] { a->present(c, false, [&] { journal.push_back("never"); }); });
    EXPECT_EQ(log, "UIViewController: cannot present a controller while another one is presented\n");
    MainLoop::runUntilIdle();
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(a->presentedViewController(), b);
  }
  {
    SCOPED_TRACE("the presented controller dismisses itself");
    b->dismiss(true, [&] { journal.push_back("dismissed"); });
    EXPECT_EQ(take(journal), (Lines{"B.viewWillDisappear(animated)", "A.viewWillAppear(animated)"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(b->presentingViewController(), nullptr);
    EXPECT_EQ(b->view()->superview(), nullptr);
    MainLoop::runUntilIdle();
    EXPECT_EQ(take(journal),
              (Lines{"B.viewDidDisappear(animated)", "A.viewDidAppear(animated)", "dismissed"}));
  }
  {
    SCOPED_TRACE("dismissed before it appeared: no completion, no viewDidAppear");
    a->present(b, false, [&] { journal.push_back("never"); });
    a->dismiss(false);
    MainLoop::runUntilIdle();
    EXPECT_EQ(take(journal), (Lines{"A.viewWillDisappear()", "B.viewWillAppear()", "B.viewWillDisappear()",
                                    "A.viewWillAppear()", "B.viewDidDisappear()", "A.viewDidAppear()"}));
  }
  {
    SCOPED_TRACE("nothing to dismiss: the completion still runs, later");
    a->dismiss(true, [&] { journal.push_back("nothing dismissed"); });
    EXPECT_TRUE(journal.empty());
    MainLoop::runUntilIdle();
    EXPECT_EQ(take(journal), (Lines{"nothing dismissed"}));
  }
  {
    SCOPED_TRACE("a stack of two is dismissed from its bottom; the middle one does not come back");
    auto c = makeController("C", journal);
    a->present(b, false);
    MainLoop::runUntilIdle();
    b->present(c, false);
    MainLoop::runUntilIdle();
    take(journal);
    a->dismiss(false, [&] { journal.push_back("dismissed"); });
    MainLoop::runUntilIdle();
    // B went off screen when C came; only C goes and only A comes back.
    EXPECT_EQ(take(journal), (Lines{"C.viewWillDisappear()", "A.viewWillAppear()", "C.viewDidDisappear()",
                                    "A.viewDidAppear()", "dismissed"}));
  }
}

TEST_F(UIViewControllerTest, PresentingFromAControllerOffScreen) {
  auto a = makeController("A", journal);
  auto b = makeController("B", journal);
  a->present(b, true);
  MainLoop::runUntilIdle();
  b->dismiss(true);
  MainLoop::runUntilIdle();
  // The presenting controller was never on screen: it neither disappears nor comes back.
  EXPECT_EQ(take(journal),
            (Lines{"B.loadView", "B.viewDidLoad", "B.viewWillAppear(animated)", "B.viewDidAppear(animated)",
                   "B.viewWillDisappear(animated)", "B.viewDidDisappear(animated)"}));
}

TEST_F(UIViewControllerTest, SegueIsPreparedBeforeItsDestinationIsPresented) {
  UIStoryboard board("Board");
  board.setInitialViewController(
      [&](const NSCoder& coder) { return std::make_shared<JournalController>("A", journal, coder); });
  board.addSegue("ShowHelp", [&](const NSCoder& coder) {
    return std::make_shared<JournalController>("H", journal, coder);
  });
  auto a = board.instantiateInitialViewController();
  ASSERT_TRUE(a);
  appear(*a);
  take(journal);
  {
    SCOPED_TRACE("performSegue: destination made, prepared, presented animated");
    a->performSegue("ShowHelp", std::string("sender"));
    EXPECT_EQ(take(journal),
              (Lines{"H.init(coder:)", "A.prepare(ShowHelp, H, sender)", "H.loadView", "H.viewDidLoad",
                     "A.viewWillDisappear(animated)", "H.viewWillAppear(animated)"}));
    auto help = a->presentedViewController();
    ASSERT_TRUE(help);
    EXPECT_EQ(help->storyboard(), &board);
    MainLoop::runUntilIdle();
    help->dismiss(true);
    MainLoop::runUntilIdle();
    take(journal);
  }
  {
    SCOPED_TRACE("an unknown identifier is refused with a line");
    const std::string log = stderrOf([&] { a->performSegue("ShowNothing", std::any()); });
    EXPECT_EQ(log, "UIViewController: no segue with the identifier \"ShowNothing\"\n");
    EXPECT_TRUE(journal.empty());
    EXPECT_FALSE(a->presentedViewController());
  }
  {
    SCOPED_TRACE("a controller made in code uses the main storyboard");
    UIStoryboard::main().addSegue(
        "ShowInfo", [&](const NSCoder& c) { return std::make_shared<JournalController>("I", journal, c); });
    auto code = makeController("K", journal);
    code->performSegue("ShowInfo", std::string("button"));
    UIStoryboard::main().removeAll();
    EXPECT_EQ(take(journal), (Lines{"I.init(coder:)", "K.prepare(ShowInfo, I, button)", "I.loadView",
                                    "I.viewDidLoad", "I.viewWillAppear(animated)"}));
    EXPECT_EQ(code->presentedViewController()->storyboard(), &UIStoryboard::main());
    code->dismiss(false);
    MainLoop::runUntilIdle();
  }
}
