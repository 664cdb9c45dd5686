// Who shows alerts and document pickers to the user and reports the answer.
//
// A presented alert or picker, once it has appeared (after its presentation's completion), is
// handed to the current presenter: the one a test installed, else, in the windowed backend, the
// GTK dialogs (a GtkDialog for an alert, a GtkFileChooserNative for a picker). The presenter
// answers later through UIAlertController::press / UIDocumentPickerViewController::pick and
// cancel. With no presenter (the headless backend and no test presenter) nothing could ever
// answer, so an alert is answered with its cancel action and a picker is cancelled at once, each
// with a line on stderr. [main]
#pragma once

#include <memory>

class UIAlertController;
class UIDocumentPickerViewController;

class UIDialogPresenter {
 public:
  virtual ~UIDialogPresenter();

  // Shows the alert; it stays until pressed or dismissed by code. [main]
  virtual void showAlert(const std::shared_ptr<UIAlertController>& alert) = 0;
  virtual void showDocumentPicker(const std::shared_ptr<UIDocumentPickerViewController>& picker) = 0;
  // The dialog goes (answered, or dismissed by code): take it off the screen. [main]
  virtual void closeAlert(const UIAlertController& alert);
  virtual void closeDocumentPicker(const UIDocumentPickerViewController& picker);

  // Installs the presenter that every later dialog goes to (null removes it). [main]
  static void install(std::shared_ptr<UIDialogPresenter> presenter);
  // The presenter for a dialog appearing now: the installed one, else the GTK one in the windowed
  // backend, else null. [main]
  static std::shared_ptr<UIDialogPresenter> current();
};
