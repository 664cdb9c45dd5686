// A one-line text entry. Here it exists only inside alerts: the dialog shows it as an entry with
// its placeholder and text, and writes what was typed back into `text` before an action's
// handler runs. [main]
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIView.h"

class UITextField : public UIView {
 public:
  static std::shared_ptr<UITextField> make(CGRect frame = CGRect()) {
    return std::shared_ptr<UITextField>(new UITextField(frame));
  }

  // Never absent: an empty field reads "".
  const std::string& text() const { return text_; }
  void setText(std::optional<std::string> text) { text_ = text.value_or(std::string()); }
  // Shown greyed while the field is empty.
  const std::optional<std::string>& placeholder() const { return placeholder_; }
  void setPlaceholder(std::optional<std::string> placeholder) { placeholder_ = std::move(placeholder); }
  // Typed characters are shown as dots.
  bool isSecureTextEntry() const { return secure_; }

 protected:
  explicit UITextField(CGRect frame) : UIView(frame) {}

 private:
  std::string text_;
  std::optional<std::string> placeholder_;
  bool secure_ = false;
};
