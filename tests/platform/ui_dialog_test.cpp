// Alerts and document pickers: answered by a test presenter, and defaulted without one.

#include <gtest/gtest.h>

#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIAlertController.h"
#include "UIKit/UIDocumentPickerViewController.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UITestDialogPresenter.h"
#include "ui_controller_support.h"

using namespace ui_controller_test;
using Lines = std::vector<std::string>;

namespace {

class UIDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    UIWindow::useBackend(UIWindowBackendKind::headless);
    MainLoop::runUntilIdle();
    host = std::make_shared<PickingController>("A", journal);
  }
  Journal journal;
  std::shared_ptr<PickingController> host;
};

}  // namespace

TEST_F(UIDialogTest, AlertIsShownAfterItsCompletionAndAnsweredByThePresenter) {
  UIScopedTestDialogPresenter presenter;
  auto alert = fileNameAlert(journal, "Preset 1");
  {
    SCOPED_TRACE("actions and fields as added");
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    EXPECT_EQ(alert->actions()[1]->style(), UIAlertActionStyle::cancel);
    EXPECT_EQ(alert->cancelAction(), alert->actions()[1]);
    EXPECT_EQ(alert->textFields().at(0)->placeholder(), "file name");
  }
  {
    SCOPED_TRACE("the completion runs when it has appeared, before anyone answers");
    host->present(alert, true, [&] { journal.push_back("completion"); });
    EXPECT_TRUE(presenter->alerts.empty());
    EXPECT_FALSE(alert->isAwaitingAnswer());
    MainLoop::runUntilIdle();
    EXPECT_EQ(take(journal), (Lines{"completion"}));
    ASSERT_EQ(presenter->alerts.size(), 1u);
    EXPECT_EQ(presenter->alerts[0], alert);
    EXPECT_TRUE(alert->isAwaitingAnswer());
    EXPECT_EQ(host->presentedViewController(), alert);
  }
  {
    SCOPED_TRACE("the press runs the handler with the typed text, then the alert closes");
    alert->textFields()[0]->setText("Loud");
    EXPECT_TRUE(alert->press("OK"));
    EXPECT_EQ(take(journal), (Lines{"OK with Loud"}));
    EXPECT_EQ(presenter->events, (Lines{"show alert File name", "close alert File name"}));
    EXPECT_FALSE(host->presentedViewController());
  }
  {
    SCOPED_TRACE("one answer only");
    EXPECT_FALSE(alert->press("Cancel"));
    EXPECT_FALSE(alert->press(std::size_t(7)));
    EXPECT_TRUE(journal.empty());
  }
  MainLoop::runUntilIdle();
  // The presenting controller was never covered by the alert.
  EXPECT_TRUE(journal.empty());
}

TEST_F(UIDialogTest, AHandlerCanPresentTheNextAlertFromTheSameController) {
  UIScopedTestDialogPresenter presenter;
  auto first = fileNameAlert(journal, "A");
  auto second = fileNameAlert(journal, "B");
  auto retry = std::make_shared<UIAlertAction>("Retry", UIAlertActionStyle::default_,
                                               [&](UIAlertAction&) { host->present(second, true); });
  first->addAction(retry);
  host->present(first, true);
  MainLoop::runUntilIdle();
  ASSERT_TRUE(first->press(retry));
  EXPECT_EQ(host->presentedViewController(), second);
  MainLoop::runUntilIdle();
  ASSERT_EQ(presenter->alerts.size(), 2u);
  EXPECT_EQ(presenter->alerts[1], second);
  EXPECT_TRUE(second->press(std::size_t(1)));
  EXPECT_EQ(take(journal), (Lines{"Cancel"}));
  EXPECT_EQ(presenter->events, (Lines{"show alert File name", "close alert File name", "show alert File name",
                                      "close alert File name"}));
}

TEST_F(UIDialogTest, DismissingFromCodeClosesAnAlertWithoutAnswer) {
  UIScopedTestDialogPresenter presenter;
  auto alert = fileNameAlert(journal, "A");
  host->present(alert, false);
  MainLoop::runUntilIdle();
  host->dismiss(false);
  EXPECT_FALSE(alert->isAwaitingAnswer());
  EXPECT_FALSE(alert->press("OK"));
  EXPECT_TRUE(journal.empty());
  EXPECT_EQ(presenter->events.back(), "close alert File name");
}

TEST_F(UIDialogTest, WithoutAPresenterAnAlertIsCancelledWithALine) {
  {
    SCOPED_TRACE("answered with its cancel action");
    auto alert = fileNameAlert(journal, "A");
    host->present(alert, true, [&] { journal.push_back("completion"); });
    testing::internal::CaptureStderr();
    MainLoop::runUntilIdle();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "UIAlertController: no dialog presenter; \"File name\" answered with \"Cancel\"\n");
    EXPECT_EQ(take(journal), (Lines{"completion", "Cancel"}));
    EXPECT_FALSE(host->presentedViewController());
  }
  {
    SCOPED_TRACE("no cancel action: closed, no handler runs");
    auto alert = std::make_shared<UIAlertController>("Caption", "Message", UIAlertControllerStyle::alert);
    alert->addAction(std::make_shared<UIAlertAction>("OK", UIAlertActionStyle::default_,
                                                     [&](UIAlertAction&) { journal.push_back("OK"); }));
    host->present(alert, true);
    testing::internal::CaptureStderr();
    MainLoop::runUntilIdle();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "UIAlertController: no dialog presenter; \"Caption\" closed without an answer\n");
    EXPECT_TRUE(journal.empty());
    EXPECT_FALSE(host->presentedViewController());
  }
}

TEST_F(UIDialogTest, DocumentPickerAnswersReachTheDelegate) {
  UIScopedTestDialogPresenter presenter;
  auto picker = std::make_shared<UIDocumentPickerViewController>(std::vector<std::string>{"public.data"},
                                                                 UIDocumentPickerMode::import);
  picker->setDelegate(host);
  const std::vector<URL> two{URL::fileURLWithPath("/tmp/a.wav", false),
                             URL::fileURLWithPath("/tmp/b.wav", false)};
  {
    SCOPED_TRACE("the picker's settings");
    EXPECT_FALSE(picker->picksFolders());
    EXPECT_FALSE(picker->allowsMultipleSelection());
    EXPECT_EQ(picker->documentPickerMode(), UIDocumentPickerMode::import);
    EXPECT_EQ(picker->delegate(), host);
  }
  {
    SCOPED_TRACE("multiple selection: every URL in one call, after the picker closed");
    picker->setAllowsMultipleSelection(true);
    host->present(picker, true, [&] { journal.push_back("completion"); });
    MainLoop::runUntilIdle();
    ASSERT_EQ(presenter->pickers.size(), 1u);
    EXPECT_TRUE(picker->pick(two));
    EXPECT_EQ(take(journal), (Lines{"completion", "A.picked /tmp/a.wav /tmp/b.wav"}));
    EXPECT_EQ(presenter->events, (Lines{"show picker", "close picker"}));
    EXPECT_FALSE(host->presentedViewController());
    EXPECT_FALSE(picker->cancel());
  }
  {
    SCOPED_TRACE("single selection keeps the first; an empty pick is a cancel");
    picker->setAllowsMultipleSelection(false);
    presenter->answerPicker = [&](UIDocumentPickerViewController& p) { p.pick(two); };
    host->present(picker, true);
    MainLoop::runUntilIdle();
    presenter->answerPicker = [](UIDocumentPickerViewController& p) { p.pick({}); };
    host->present(picker, true);
    MainLoop::runUntilIdle();
    EXPECT_EQ(take(journal), (Lines{"A.picked /tmp/a.wav", "A.cancelled"}));
  }
  {
    SCOPED_TRACE("folders");
    const UIDocumentPickerViewController folders({"public.folder"}, UIDocumentPickerMode::open);
    EXPECT_TRUE(folders.picksFolders());
  }
}

TEST_F(UIDialogTest, TheSingleURLFormGetsPicksWhenThePluralOneIsNotOverridden) {
  struct SingleDelegate : UIDocumentPickerDelegate {
    std::vector<std::string> seen;
    void documentPicker(UIDocumentPickerViewController&, const URL& url) override {
      seen.push_back(url.path());
    }
  };
  UIScopedTestDialogPresenter presenter;
  auto delegate = std::make_shared<SingleDelegate>();
  auto picker = std::make_shared<UIDocumentPickerViewController>(std::vector<std::string>{"public.data"},
                                                                 UIDocumentPickerMode::open);
  picker->setDelegate(delegate);
  presenter->answerPicker = [](UIDocumentPickerViewController& p) {
    p.pick({URL::fileURLWithPath("/x/y", false)});
  };
  host->present(picker, false);
  MainLoop::runUntilIdle();
  EXPECT_EQ(delegate->seen, (Lines{"/x/y"}));
}

TEST_F(UIDialogTest, WithoutAPresenterAPickerIsCancelledWithALine) {
  auto picker = std::make_shared<UIDocumentPickerViewController>(std::vector<std::string>{"public.folder"},
                                                                 UIDocumentPickerMode::open);
  picker->setDelegate(host);
  host->present(picker, true, [&] { journal.push_back("completion"); });
  testing::internal::CaptureStderr();
  MainLoop::runUntilIdle();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "UIDocumentPickerViewController: no dialog presenter; the picker was cancelled\n");
  EXPECT_EQ(take(journal), (Lines{"completion", "A.cancelled"}));
  EXPECT_FALSE(host->presentedViewController());
}
