// A dialog presenter for tests: installed for its own lifetime, it keeps every alert and picker
// it is shown (in order) and answers each at once through the given answer functions, or leaves
// it waiting for the test to answer (press / pick / cancel). It also writes what happened to
// `events`: "show alert <title>", "close alert <title>", "show picker", "close picker". [main]
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIAlertController.h"
#include "UIKit/UIDialogPresenter.h"
#include "UIKit/UIDocumentPickerViewController.h"

class UITestDialogPresenter : public UIDialogPresenter {
 public:
  // Answers alerts / pickers as they are shown, when set.
  std::function<void(UIAlertController&)> answerAlert;
  std::function<void(UIDocumentPickerViewController&)> answerPicker;

  std::vector<std::shared_ptr<UIAlertController>> alerts;
  std::vector<std::shared_ptr<UIDocumentPickerViewController>> pickers;
  std::vector<std::string> events;

  void showAlert(const std::shared_ptr<UIAlertController>& alert) override {
    alerts.push_back(alert);
    events.push_back("show alert " + alert->title().value_or(""));
    if (answerAlert)
      answerAlert(*alert);
  }
  void showDocumentPicker(const std::shared_ptr<UIDocumentPickerViewController>& picker) override {
    pickers.push_back(picker);
    events.push_back("show picker");
    if (answerPicker)
      answerPicker(*picker);
  }
  void closeAlert(const UIAlertController& alert) override {
    events.push_back("close alert " + alert.title().value_or(""));
  }
  void closeDocumentPicker(const UIDocumentPickerViewController&) override {
    events.push_back("close picker");
  }
};

// Installs a UITestDialogPresenter while it exists; the previous presenter is not restored (there
// is only ever the test's own). [main]
class UIScopedTestDialogPresenter {
 public:
  UIScopedTestDialogPresenter() : presenter_(std::make_shared<UITestDialogPresenter>()) {
    UIDialogPresenter::install(presenter_);
  }
  ~UIScopedTestDialogPresenter() { UIDialogPresenter::install(nullptr); }
  UIScopedTestDialogPresenter(const UIScopedTestDialogPresenter&) = delete;
  UIScopedTestDialogPresenter& operator=(const UIScopedTestDialogPresenter&) = delete;

  UITestDialogPresenter* operator->() const { return presenter_.get(); }
  UITestDialogPresenter& operator*() const { return *presenter_; }

 private:
  std::shared_ptr<UITestDialogPresenter> presenter_;
};
