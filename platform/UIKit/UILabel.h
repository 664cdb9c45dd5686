// Labels: text drawn in the bounds, wrapped at their width when more than one line is allowed,
// vertically centred, aligned as asked. [main]
#pragma once

#include <memory>
#include <string>

#include "UIKit/NSParagraphStyle.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIView.h"

class UILabel : public UIView {
 public:
  static std::shared_ptr<UILabel> make(CGRect frame = CGRect());

  const std::string& text() const { return text_; }
  // Marks the view for redrawing when the text changes.
  void setText(std::string text);
  const UIFont& font() const { return font_; }
  void setFont(const UIFont& font);
  void setTextColor(const UIColor& color);
  void setTextAlignment(NSTextAlignment alignment);
  // 1 (the default) keeps the text on one line; 0 allows any number.
  void setNumberOfLines(int lines);

  void draw(const CGRect& rect) override;

 protected:
  explicit UILabel(CGRect frame);

 private:
  std::string text_;
  UIFont font_;
  UIColor textColor_ = UIColor::black();
  NSTextAlignment alignment_ = NSTextAlignment::natural;
  int lines_ = 1;
};
