// Test controllers that write every life-cycle call they receive, in order, to a shared journal
// ("<name>.<call>"), and the alert and picker delegate of the dialog tests. [main]
#pragma once

#include <gtest/gtest.h>

#include <any>
#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIAlertController.h"
#include "UIKit/UIDocumentPickerViewController.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/UIViewController.h"

namespace ui_controller_test {

using Journal = std::vector<std::string>;

inline std::string flag(bool animated) {
  return animated ? "(animated)" : "()";
}

class JournalController : public UIViewController {
 public:
  JournalController(std::string name, Journal& journal) : name_(std::move(name)), journal_(journal) {}
  JournalController(std::string name, Journal& journal, const NSCoder& coder)
      : UIViewController(coder), name_(std::move(name)), journal_(journal) {
    note("init(coder:)");
  }

  void loadView() override {
    note("loadView");
    UIViewController::loadView();
  }
  void viewDidLoad() override {
    note("viewDidLoad");
    view();  // reading the view while it loads must not load it again
  }
  void viewDidLayoutSubviews() override {
    if (journalLayout)
      note("viewDidLayoutSubviews");
  }
  void viewWillAppear(bool animated) override { note("viewWillAppear" + flag(animated)); }
  void viewDidAppear(bool animated) override { note("viewDidAppear" + flag(animated)); }
  void viewWillDisappear(bool animated) override { note("viewWillDisappear" + flag(animated)); }
  void viewDidDisappear(bool animated) override { note("viewDidDisappear" + flag(animated)); }
  void didReceiveMemoryWarning() override { note("didReceiveMemoryWarning"); }
  void willMove(UIViewController* toParent) override { note("willMove(" + nameOf(toParent) + ")"); }
  void didMove(UIViewController* toParent) override { note("didMove(" + nameOf(toParent) + ")"); }
  void prepare(UIStoryboardSegue& segue, const std::any& sender) override {
    const auto* text = std::any_cast<std::string>(&sender);
    note("prepare(" + segue.identifier().value_or("nil") + ", " + nameOf(segue.destination().get()) + ", " +
         (text ? *text : std::string("?")) + ")");
    EXPECT_EQ(segue.source().get(), this);
    EXPECT_FALSE(segue.destination()->presentingViewController()) << "prepared after it was presented";
  }

  // Layout passes are written only when asked for: most tests follow other calls.
  bool journalLayout = false;

  const std::string& name() const { return name_; }
  void note(const std::string& call) { journal_.push_back(name_ + "." + call); }

  static std::string nameOf(const UIViewController* controller) {
    if (!controller)
      return "nil";
    const auto* named = dynamic_cast<const JournalController*>(controller);
    return named ? named->name() : "?";
  }

 private:
  std::string name_;
  Journal& journal_;
};

inline std::shared_ptr<JournalController> makeController(std::string name, Journal& journal) {
  return std::make_shared<JournalController>(std::move(name), journal);
}

// A host that is also a picker delegate, as the editor and the main screen are.
class PickingController : public JournalController, public UIDocumentPickerDelegate {
 public:
  using JournalController::JournalController;
  void documentPicker(UIDocumentPickerViewController&, const std::vector<URL>& urls) override {
    std::string line = "picked";
    for (const auto& url : urls)
      line += " " + url.path();
    note(line);
  }
  void documentPickerWasCancelled(UIDocumentPickerViewController&) override { note("cancelled"); }
};

// The editor's file-name alert: OK with a handler that reads the field, Cancel, one field.
inline std::shared_ptr<UIAlertController> fileNameAlert(Journal& journal, const std::string& defaultName) {
  auto alert = std::make_shared<UIAlertController>(
      "File name", "Please enter the file name for the current file: ", UIAlertControllerStyle::alert);
  std::weak_ptr<UIAlertController> weak = alert;
  alert->addAction(
      std::make_shared<UIAlertAction>("OK", UIAlertActionStyle::default_, [&journal, weak](UIAlertAction&) {
        journal.push_back("OK with " + weak.lock()->textFields().at(0)->text());
      }));
  alert->addAction(std::make_shared<UIAlertAction>(
      "Cancel", UIAlertActionStyle::cancel, [&journal](UIAlertAction&) { journal.push_back("Cancel"); }));
  alert->addTextField([defaultName](UITextField& field) {
    field.setPlaceholder("file name");
    field.setText(defaultName);
  });
  return alert;
}

// The journal's lines since the last call, and the journal emptied.
inline Journal take(Journal& journal) {
  Journal lines;
  lines.swap(journal);
  return lines;
}

}  // namespace ui_controller_test
