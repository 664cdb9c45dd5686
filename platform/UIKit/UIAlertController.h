// Alerts: a title, a message, buttons (actions) in the order added and optional text fields,
// presented modally from a controller. Shown as a dialog by the current UIDialogPresenter once it
// has appeared; pressing a button runs that action's handler, then the alert closes (see
// UIDialogPresenter for who answers when no one can). A handler may present the next alert from
// the same controller. The alert's presentation does not make the presenting controller
// disappear. [main]
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UIKit/UIAlertAction.h"
#include "UIKit/UIDialogPresenter.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIViewController.h"

enum class UIAlertControllerStyle { actionSheet = 0, alert = 1 };

class UIAlertController : public UIViewController {
 public:
  UIAlertController(std::optional<std::string> title, std::optional<std::string> message,
                    UIAlertControllerStyle preferredStyle);
  ~UIAlertController() override;

  const std::optional<std::string>& title() const { return title_; }
  void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
  const std::optional<std::string>& message() const { return message_; }
  UIAlertControllerStyle preferredStyle() const { return preferredStyle_; }

  // Buttons, in the order added.
  void addAction(std::shared_ptr<UIAlertAction> action);
  const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
  // The button Return presses (one of the actions), or null: then the first default-style one.
  const std::shared_ptr<UIAlertAction>& preferredAction() const { return preferred_; }
  // The first cancel-style action, or null: what closing the dialog presses.
  std::shared_ptr<UIAlertAction> cancelAction() const;

  // Adds a text field (alert style only) and lets `configurationHandler` set it up at once.
  void addTextField(const std::function<void(UITextField& textField)>& configurationHandler = {});
  const std::vector<std::shared_ptr<UITextField>>& textFields() const { return textFields_; }

  // ---- answers (presenters and tests)

  // Whether the alert is shown and not answered yet.
  bool isAwaitingAnswer() const { return awaiting_; }
  // Presses a button: the action's handler runs, then the alert closes. False (nothing happens)
  // when the alert is not awaiting an answer or the action is not an enabled one of its own.
  bool press(const std::shared_ptr<UIAlertAction>& action);
  bool press(std::size_t actionIndex);
  // The first action with this title.
  bool press(std::string_view title);

 protected:
  void showPresentation(UIViewController& presenting) override;
  void hidePresentation() override;
  bool coversPresentingController() const override { return false; }
  void presentationDidAppear() override;

 private:
  std::optional<std::string> title_;
  std::optional<std::string> message_;
  UIAlertControllerStyle preferredStyle_;
  std::vector<std::shared_ptr<UIAlertAction>> actions_;
  std::shared_ptr<UIAlertAction> preferred_;
  std::vector<std::shared_ptr<UITextField>> textFields_;
  std::shared_ptr<UIDialogPresenter> shownBy_;
  bool awaiting_ = false;
};
