#include "UIKit/UIDocumentPickerViewController.h"

#include <algorithm>

#include "UIKit/internal/UIKitLog.h"

UIDocumentPickerDelegate::~UIDocumentPickerDelegate() = default;

void UIDocumentPickerDelegate::documentPicker(UIDocumentPickerViewController& controller,
                                              const std::vector<URL>& urls) {
  if (!urls.empty())
    documentPicker(controller, urls.front());
}

void UIDocumentPickerDelegate::documentPicker(UIDocumentPickerViewController&, const URL&) {}
void UIDocumentPickerDelegate::documentPickerWasCancelled(UIDocumentPickerViewController&) {}

UIDocumentPickerViewController::UIDocumentPickerViewController(std::vector<std::string> documentTypes,
                                                               UIDocumentPickerMode mode)
    : documentTypes_(std::move(documentTypes)), mode_(mode) {}

UIDocumentPickerViewController::~UIDocumentPickerViewController() = default;

bool UIDocumentPickerViewController::picksFolders() const {
  return std::find(documentTypes_.begin(), documentTypes_.end(), "public.folder") != documentTypes_.end();
}

bool UIDocumentPickerViewController::pick(std::vector<URL> urls) {
  if (!awaiting_)
    return false;
  if (urls.empty())
    return cancel();
  if (!allowsMultipleSelection_)
    urls.erase(urls.begin() + 1, urls.end());
  awaiting_ = false;
  auto keep = shared_from_this();
  // The picker closes first and then tells its delegate, so the delegate may present again.
  beginDismissal();
  if (presentingViewController())
    dismiss(true);
  if (auto delegate = delegate_.lock())
    delegate->documentPicker(*this, urls);
  return true;
}

bool UIDocumentPickerViewController::cancel() {
  if (!awaiting_)
    return false;
  awaiting_ = false;
  auto keep = shared_from_this();
  beginDismissal();
  if (presentingViewController())
    dismiss(true);
  if (auto delegate = delegate_.lock())
    delegate->documentPickerWasCancelled(*this);
  return true;
}

void UIDocumentPickerViewController::showPresentation(UIViewController&) {}

void UIDocumentPickerViewController::hidePresentation() {
  awaiting_ = false;
  if (auto presenter = std::move(shownBy_))
    presenter->closeDocumentPicker(*this);
}

void UIDocumentPickerViewController::presentationDidAppear() {
  awaiting_ = true;
  shownBy_ = UIDialogPresenter::current();
  if (shownBy_) {
    shownBy_->showDocumentPicker(
        std::static_pointer_cast<UIDocumentPickerViewController>(shared_from_this()));
    return;
  }
  uikitLog("UIDocumentPickerViewController: no dialog presenter; the picker was cancelled");
  cancel();
}
