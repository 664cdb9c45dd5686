// Test controllers that write every life-cycle call they receive, in order, to a shared journal
// ("<name>.<call>"), and small helpers for the controller and dialog tests. [main]
#pragma once

#include <gtest/gtest.h>

#include <any>
#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/UIViewController.h"

namespace ui_controller_test {

using Journal = std::vector<std::string>;

inline std::string flag(bool animated) { return animated ? "(animated)" : "()"; }

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
    if (journalLayout) note("viewDidLayoutSubviews");
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
    if (!controller) return "nil";
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

// The journal's lines since the last call, and the journal emptied.
inline Journal take(Journal& journal) {
  Journal lines;
  lines.swap(journal);
  return lines;
}

}  // namespace ui_controller_test
