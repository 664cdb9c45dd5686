#include "UIKit/UIAlertController.h"

#include <algorithm>

#include "UIKit/internal/UIKitLog.h"

UIAlertController::UIAlertController(std::optional<std::string> title, std::optional<std::string> message,
                                     UIAlertControllerStyle preferredStyle)
    : title_(std::move(title)), message_(std::move(message)), preferredStyle_(preferredStyle) {}

UIAlertController::~UIAlertController() = default;

void UIAlertController::addAction(std::shared_ptr<UIAlertAction> action) {
  if (!action || std::find(actions_.begin(), actions_.end(), action) != actions_.end())
    return;
  actions_.push_back(std::move(action));
}

std::shared_ptr<UIAlertAction> UIAlertController::cancelAction() const {
  for (const auto& action : actions_) {
    if (action->style() == UIAlertActionStyle::cancel)
      return action;
  }
  return nullptr;
}

void UIAlertController::addTextField(const std::function<void(UITextField&)>& configurationHandler) {
  auto field = UITextField::make();
  if (configurationHandler)
    configurationHandler(*field);
  textFields_.push_back(std::move(field));
}

bool UIAlertController::press(const std::shared_ptr<UIAlertAction>& action) {
  if (!awaiting_ || !action || !action->isEnabled())
    return false;
  if (std::find(actions_.begin(), actions_.end(), action) == actions_.end())
    return false;
  awaiting_ = false;
  auto keep = shared_from_this();  // the presenting controller may hold the last reference
  // Marked as going before the handler runs, so that the handler can present the next alert from
  // the same controller; that presentation takes this one down first.
  beginDismissal();
  if (action->handler())
    action->handler()(*action);
  if (presentingViewController())
    dismiss(true);
  return true;
}

bool UIAlertController::press(std::size_t actionIndex) {
  return actionIndex < actions_.size() && press(actions_[actionIndex]);
}

bool UIAlertController::press(std::string_view title) {
  for (const auto& action : actions_) {
    if (action->title() == title)
      return press(action);
  }
  return false;
}

void UIAlertController::showPresentation(UIViewController&) {
  // Nothing goes into the window: the dialog is shown once the alert has appeared.
}

void UIAlertController::hidePresentation() {
  awaiting_ = false;
  if (auto presenter = std::move(shownBy_))
    presenter->closeAlert(*this);
}

void UIAlertController::presentationDidAppear() {
  awaiting_ = true;
  shownBy_ = UIDialogPresenter::current();
  if (shownBy_) {
    shownBy_->showAlert(std::static_pointer_cast<UIAlertController>(shared_from_this()));
    return;
  }
  const std::string title = "\"" + title_.value_or("") + "\"";
  if (auto cancel = cancelAction()) {
    uikitLog("UIAlertController: no dialog presenter; " + title + " answered with \"" +
             cancel->title().value_or("") + "\"");
    press(cancel);
  } else {
    uikitLog("UIAlertController: no dialog presenter; " + title + " closed without an answer");
    awaiting_ = false;
    beginDismissal();
    dismiss(false);
  }
}
