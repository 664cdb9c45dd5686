#include "UIKit/UIDialogPresenter.h"

#include "UIKit/UIWindow.h"
#include "UIKit/internal/UIDialogPresenterGtk.h"

namespace {

std::shared_ptr<UIDialogPresenter>& installedPresenter() {
  static std::shared_ptr<UIDialogPresenter> presenter;
  return presenter;
}

}  // namespace

UIDialogPresenter::~UIDialogPresenter() = default;

void UIDialogPresenter::closeAlert(const UIAlertController&) {}
void UIDialogPresenter::closeDocumentPicker(const UIDocumentPickerViewController&) {}

void UIDialogPresenter::install(std::shared_ptr<UIDialogPresenter> presenter) {
  installedPresenter() = std::move(presenter);
}

std::shared_ptr<UIDialogPresenter> UIDialogPresenter::current() {
  if (installedPresenter())
    return installedPresenter();
  if (UIWindow::backendKind() == UIWindowBackendKind::windowed) {
    static const std::shared_ptr<UIDialogPresenter> gtk = std::make_shared<UIDialogPresenterGtk>();
    return gtk;
  }
  return nullptr;
}
