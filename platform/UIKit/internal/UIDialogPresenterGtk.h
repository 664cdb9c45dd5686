// The windowed backend's dialogs: an alert becomes a GtkDialog (title, message, one entry per
// text field, one button per action in order), a document picker a GtkFileChooserNative (open
// files, or select folders for "public.folder"; multiple selection as the picker allows). Neither
// blocks: the answer comes back through the main loop. Closing an alert's window presses its
// cancel action (or closes it without an answer when it has none). [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <map>

#include "UIKit/UIDialogPresenter.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkFileChooserNative GtkFileChooserNative;

class UIDialogPresenterGtk : public UIDialogPresenter {
 public:
  UIDialogPresenterGtk() = default;
  ~UIDialogPresenterGtk() override;

  void showAlert(const std::shared_ptr<UIAlertController>& alert) override;
  void showDocumentPicker(const std::shared_ptr<UIDocumentPickerViewController>& picker) override;
  void closeAlert(const UIAlertController& alert) override;
  void closeDocumentPicker(const UIDocumentPickerViewController& picker) override;

 private:
  std::map<const UIAlertController*, GtkWidget*> dialogs_;
  std::map<const UIDocumentPickerViewController*, GtkFileChooserNative*> choosers_;
};
