// Push buttons: a title or a symbol drawn by a function, on a plain rounded face; dimmed while
// highlighted (pressed) or disabled. Actions are usually registered for touchUpInside. [main]
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIColor.h"
#include "UIKit/UIControl.h"
#include "UIKit/UIFont.h"

class CGContext;

enum class UIButtonType { custom = 0, system = 1 };

class UIButton : public UIControl {
 public:
  // Draws the symbol into `rect` (the button's bounds inset a little) with the given colour.
  using Symbol = std::function<void(CGContext& context, const CGRect& rect, const UIColor& color)>;

  static std::shared_ptr<UIButton> make(UIButtonType type = UIButtonType::system, CGRect frame = CGRect());

  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  void setTitleColor(const UIColor& color);
  const UIFont& font() const { return font_; }
  void setFont(const UIFont& font);
  // A drawn symbol shown instead of the title when set.
  void setSymbol(Symbol symbol);

  void draw(const CGRect& rect) override;

 protected:
  UIButton(UIButtonType type, CGRect frame);

 private:
  std::string title_;
  UIColor titleColor_;
  UIFont font_;
  Symbol symbol_;
  bool drawsFace_;
};
