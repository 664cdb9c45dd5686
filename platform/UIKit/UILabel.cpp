#include "UIKit/UILabel.h"

#include "CoreGraphics/CGContext.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIGraphics.h"

UILabel::UILabel(CGRect frame) : UIView(frame), font_(UIFont::systemFont(17)) {
  setOpaque(false);
}

std::shared_ptr<UILabel> UILabel::make(CGRect frame) {
  return std::shared_ptr<UILabel>(new UILabel(frame));
}

void UILabel::setText(std::string text) {
  if (text == text_)
    return;
  text_ = std::move(text);
  setNeedsDisplay();
}

void UILabel::setFont(const UIFont& font) {
  font_ = font;
  setNeedsDisplay();
}

void UILabel::setTextColor(const UIColor& color) {
  textColor_ = color;
  setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
  alignment_ = alignment;
  setNeedsDisplay();
}

void UILabel::setNumberOfLines(int lines) {
  lines_ = lines < 0 ? 0 : lines;
  setNeedsDisplay();
}

// The text block is centred vertically in the bounds and clipped to them; one line unless more are
// allowed, in which case it wraps at the bounds' width.
void UILabel::draw(const CGRect& rect) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (!context || text_.empty())
    return;
  NSStringAttributes attributes;
  attributes.font = font_;
  attributes.foregroundColor = textColor_;
  NSParagraphStyle style;
  style.alignment = alignment_;
  style.lineBreakMode = lines_ == 1 ? NSLineBreakMode::byClipping : NSLineBreakMode::byWordWrapping;
  attributes.paragraphStyle = style;
  const NSString text(text_);
  const CGFloat height =
      text.boundingRect(CGSize{rect.size.width, 1e9}, usesLineFragmentOrigin, attributes).size.height;
  context->saveGState();
  context->clip(rect);
  text.draw(CGRect(rect.origin.x, rect.origin.y + (rect.size.height - height) / 2, rect.size.width, height),
            attributes);
  context->restoreGState();
}
