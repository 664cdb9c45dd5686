// A button of an alert: its title, its style and what pressing it does. [main]
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

// UIAlertAction.Style (`default_` for the keyword).
enum class UIAlertActionStyle { default_ = 0, cancel = 1, destructive = 2 };

class UIAlertAction {
 public:
  using Handler = std::function<void(UIAlertAction& action)>;

  UIAlertAction(std::optional<std::string> title, UIAlertActionStyle style, Handler handler = {})
      : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}

  const std::optional<std::string>& title() const { return title_; }
  UIAlertActionStyle style() const { return style_; }
  // A disabled action cannot be pressed.
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  // Runs when the action is pressed (by the alert, never directly). Empty for no handler.
  const Handler& handler() const { return handler_; }

 private:
  std::optional<std::string> title_;
  UIAlertActionStyle style_;
  Handler handler_;
  bool enabled_ = true;
};
