// The windowed backend driven through GTK itself: an alert's GtkDialog (buttons, entries,
// closing), the picker's file chooser, and an application whose main window is closed. Needs a
// display (run under xvfb-run); skipped without one.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "Dispatch/DispatchQueue.h"
#include "Eventually.h"
#include "NewEmptyUserFolders.h"
#include "UIKit/UIAlertController.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIApplicationMain.h"
#include "UIKit/UIDocumentPickerViewController.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIWindow.h"
#include "UIKit/internal/UIDialogPresenterGtk.h"
#include "ui_controller_support.h"

using namespace ui_controller_test;
using Lines = std::vector<std::string>;

namespace {

// The visible top-level GtkDialog titled `title`, or null.
GtkDialog* shownDialog(const char* title) {
  GList* windows = gtk_window_list_toplevels();
  GtkDialog* found = nullptr;
  for (GList* w = windows; w && !found; w = w->next) {
    auto* window = GTK_WINDOW(w->data);
    const char* own = gtk_window_get_title(window);
    if (GTK_IS_DIALOG(window) && gtk_widget_get_visible(GTK_WIDGET(window)) && own &&
        g_str_equal(own, title)) {
      found = GTK_DIALOG(window);
    }
  }
  g_list_free(windows);
  return found;
}

GtkEntry* firstEntry(GtkDialog* dialog) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_content_area(dialog)));
  GtkEntry* entry = nullptr;
  for (GList* c = children; c && !entry; c = c->next) {
    if (GTK_IS_ENTRY(c->data))
      entry = GTK_ENTRY(c->data);
  }
  g_list_free(children);
  return entry;
}

std::string buttonLabel(GtkDialog* dialog, int response) {
  GtkWidget* button = gtk_dialog_get_widget_for_response(dialog, response);
  return button ? gtk_button_get_label(GTK_BUTTON(button)) : "";
}

class Picking : public JournalController, public UIDocumentPickerDelegate {
 public:
  using JournalController::JournalController;
  void documentPicker(UIDocumentPickerViewController&, const std::vector<URL>& urls) override {
    note("picked " + std::to_string(urls.size()));
  }
  void documentPickerWasCancelled(UIDocumentPickerViewController&) override { note("cancelled"); }
};

class UIDialogGtkTest : public testing::Test {
 protected:
  void SetUp() override {
    // The file chooser keeps its settings; in memory, no settings service is needed.
    g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
    if (!gtk_init_check(nullptr, nullptr))
      GTEST_SKIP() << "no display";
    UIDialogPresenter::install(std::make_shared<UIDialogPresenterGtk>());
    host = std::make_shared<Picking>("A", journal);
  }
  void TearDown() override {
    UIDialogPresenter::install(nullptr);
    MainLoop::runUntilIdle();
  }
  // The file chooser makes the standard folders it needs.
  const test_support::NewEmptyUserFolders userFolders;
  Journal journal;
  std::shared_ptr<Picking> host;
};

}  // namespace

TEST_F(UIDialogGtkTest, AlertButtonsAndEntriesAreTheAlertsOwn) {
  auto makeAlert = [&] {
    auto alert = std::make_shared<UIAlertController>(
        "File name", "Please enter the file name for the current file: ", UIAlertControllerStyle::alert);
    std::weak_ptr<UIAlertController> weak = alert;
    alert->addAction(
        std::make_shared<UIAlertAction>("OK", UIAlertActionStyle::default_, [&, weak](UIAlertAction&) {
          journal.push_back("OK with " + weak.lock()->textFields().at(0)->text());
        }));
    alert->addAction(std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel,
                                                     [&](UIAlertAction&) { journal.push_back("Cancel"); }));
    alert->addTextField([](UITextField& field) {
      field.setPlaceholder("file name");
      field.setText("Preset 1");
    });
    return alert;
  };
  {
    SCOPED_TRACE("a button press with the typed text");
    host->present(makeAlert(), true);
    MainLoop::runUntilIdle();
    GtkDialog* dialog = shownDialog("File name");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(buttonLabel(dialog, 0), "OK");
    EXPECT_EQ(buttonLabel(dialog, 1), "Cancel");
    GtkEntry* entry = firstEntry(dialog);
    ASSERT_TRUE(entry);
    EXPECT_STREQ(gtk_entry_get_text(entry), "Preset 1");
    EXPECT_STREQ(gtk_entry_get_placeholder_text(entry), "file name");
    gtk_entry_set_text(entry, "Typed");
    gtk_dialog_response(dialog, 0);
    EXPECT_EQ(take(journal), (Lines{"OK with Typed"}));
    EXPECT_FALSE(shownDialog("File name"));
    EXPECT_FALSE(host->presentedViewController());
  }
  {
    SCOPED_TRACE("closing the window presses Cancel");
    host->present(makeAlert(), true);
    MainLoop::runUntilIdle();
    GtkDialog* dialog = shownDialog("File name");
    ASSERT_TRUE(dialog);
    gtk_dialog_response(dialog, GTK_RESPONSE_DELETE_EVENT);
    EXPECT_EQ(take(journal), (Lines{"Cancel"}));
    EXPECT_FALSE(shownDialog("File name"));
  }
  {
    SCOPED_TRACE("dismissed by code: the dialog goes, no handler runs");
    host->present(makeAlert(), false);
    MainLoop::runUntilIdle();
    ASSERT_TRUE(shownDialog("File name"));
    host->dismiss(false);
    EXPECT_FALSE(shownDialog("File name"));
    EXPECT_TRUE(journal.empty());
  }
}

TEST_F(UIDialogGtkTest, PickerIsAFileChooser) {
  auto picker = std::make_shared<UIDocumentPickerViewController>(std::vector<std::string>{"public.data"},
                                                                 UIDocumentPickerMode::import);
  picker->setDelegate(host);
  picker->setAllowsMultipleSelection(true);
  host->present(picker, true);
  MainLoop::runUntilIdle();
  // Without a desktop portal the native chooser is a GtkFileChooserDialog of our own process.
  GtkDialog* chooser = shownDialog("Choose Documents");
  ASSERT_TRUE(chooser);
  EXPECT_TRUE(gtk_file_chooser_get_select_multiple(GTK_FILE_CHOOSER(chooser)));
  EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(chooser)), GTK_FILE_CHOOSER_ACTION_OPEN);
  gtk_dialog_response(chooser, GTK_RESPONSE_CANCEL);
  EXPECT_TRUE(test_support::eventually("the picker's answer", [&] { return !journal.empty(); }));
  EXPECT_EQ(take(journal), (Lines{"A.cancelled"}));
  EXPECT_FALSE(host->presentedViewController());
  EXPECT_TRUE(test_support::eventually("the chooser gone", [] { return !shownDialog("Choose Documents"); }));
}

namespace {

Journal& launchJournal() {
  static Journal journal;
  return journal;
}

class ClosingDelegate : public UIApplicationDelegate {
 public:
  bool application(UIApplication&, const LaunchOptions&) override {
    launchJournal().push_back("didFinishLaunching");
    return true;
  }
  void applicationDidBecomeActive(UIApplication&) override {
    launchJournal().push_back("didBecomeActive");
    if (closed_)
      return;
    closed_ = true;
    // The user closes the main window.
    DispatchQueue::main().async([] {
      GList* windows = gtk_window_list_toplevels();
      for (GList* w = windows; w; w = w->next) {
        if (gtk_widget_get_visible(GTK_WIDGET(w->data)))
          gtk_window_close(GTK_WINDOW(w->data));
      }
      g_list_free(windows);
    });
  }
  void applicationWillResignActive(UIApplication&) override { launchJournal().push_back("willResignActive"); }
  void applicationWillTerminate(UIApplication&) override { launchJournal().push_back("willTerminate"); }
  std::shared_ptr<UIWindow> window() const override { return window_; }
  void setWindow(std::shared_ptr<UIWindow> window) override { window_ = std::move(window); }

 private:
  std::shared_ptr<UIWindow> window_;
  bool closed_ = false;
};

// In its own process (the backend is chosen once per process): launches with a GTK window,
// closes it, and exits 0 when the calls came in order (else prints them and exits 1).
[[noreturn]] void launchAndCloseTheWindow() {
  if (!UIWindow::useBackend(UIWindowBackendKind::windowed))
    std::exit(2);
  UIApplicationRegisterDelegateClass("ClosingDelegate", [] { return std::make_shared<ClosingDelegate>(); });
  UIStoryboard::main().setInitialViewController([](const NSCoder& coder) {
    return std::make_shared<JournalController>("Root", launchJournal(), coder);
  });
  char name[] = "app";
  char* argv[] = {name, nullptr};
  const int result = UIApplicationMain(1, argv, nullptr, "ClosingDelegate");
  const Lines expected{"Root.init(coder:)", "didFinishLaunching",    "Root.loadView",
                       "Root.viewDidLoad",  "Root.viewWillAppear()", "Root.viewDidAppear()",
                       "didBecomeActive",   "willResignActive",      "willTerminate"};
  if (result == 0 && launchJournal() == expected)
    std::exit(0);
  for (const auto& line : launchJournal())
    std::fprintf(stderr, "%s\n", line.c_str());
  std::exit(1);
}

}  // namespace

TEST(UIApplicationGtkTest, ClosingTheMainWindowTerminatesTheApplication) {
  g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
  if (!gtk_init_check(nullptr, nullptr))
    GTEST_SKIP() << "no display";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(launchAndCloseTheWindow(), testing::ExitedWithCode(0), "");
}
