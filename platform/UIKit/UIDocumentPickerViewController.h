// The document picker: lets the user choose files (or folders) of the given types, presented
// modally from a controller. Shown by the current UIDialogPresenter once it has appeared (a
// GtkFileChooserNative in the windowed backend); the answer reaches the delegate and the picker
// closes. Type identifiers: "public.folder" picks folders, anything else ("public.data", ...)
// picks files. [main]
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/URL.h"
#include "UIKit/UIDialogPresenter.h"
#include "UIKit/UIViewController.h"

class UIDocumentPickerViewController;

// UIDocumentPickerMode: import copies the files, open uses them in place. (The layer hands out
// the chosen files' own URLs in both modes.)
enum class UIDocumentPickerMode { import = 0, open = 1, exportToService = 2, moveToService = 3 };

class UIDocumentPickerDelegate {
 public:
  virtual ~UIDocumentPickerDelegate();
  // documentPicker(_:didPickDocumentsAt:): what the picker calls for every pick. The default
  // passes the first URL to the single-URL form below.
  virtual void documentPicker(UIDocumentPickerViewController& controller,
                              const std::vector<URL>& didPickDocumentsAt);
  // documentPicker(_:didPickDocumentAt:): the older single-URL form; the default does nothing.
  virtual void documentPicker(UIDocumentPickerViewController& controller, const URL& didPickDocumentAt);
  virtual void documentPickerWasCancelled(UIDocumentPickerViewController& controller);
};

class UIDocumentPickerViewController : public UIViewController {
 public:
  // init(documentTypes:in:).
  UIDocumentPickerViewController(std::vector<std::string> documentTypes, UIDocumentPickerMode mode);
  ~UIDocumentPickerViewController() override;

  const std::vector<std::string>& documentTypes() const { return documentTypes_; }
  UIDocumentPickerMode documentPickerMode() const { return mode_; }
  // Whether the types ask for folders ("public.folder") rather than files.
  bool picksFolders() const;

  // Not owned: the picker holds its delegate weakly.
  std::shared_ptr<UIDocumentPickerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<UIDocumentPickerDelegate> delegate) { delegate_ = std::move(delegate); }
  // Off unless set: one document per pick.
  bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
  void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
  // The folder the picker opens in, when set.
  const std::optional<URL>& directoryURL() const { return directoryURL_; }

  // ---- answers (presenters and tests)

  bool isAwaitingAnswer() const { return awaiting_; }
  // The user chose these: the picker closes and the delegate gets them (only the first unless
  // multiple selection is allowed; an empty list counts as cancelled). False when not awaiting.
  bool pick(std::vector<URL> urls);
  // The user cancelled: the picker closes and the delegate hears of it. False when not awaiting.
  bool cancel();

 protected:
  void showPresentation(UIViewController& presenting) override;
  void hidePresentation() override;
  bool coversPresentingController() const override { return false; }
  void presentationDidAppear() override;

 private:
  std::vector<std::string> documentTypes_;
  UIDocumentPickerMode mode_;
  std::weak_ptr<UIDocumentPickerDelegate> delegate_;
  bool allowsMultipleSelection_ = false;
  std::optional<URL> directoryURL_;
  std::shared_ptr<UIDialogPresenter> shownBy_;
  bool awaiting_ = false;
};
