#include "UIKit/UIButton.h"

#include "CoreGraphics/CGContext.h"
#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGFloat faceRadius = 6;
constexpr CGFloat symbolInset = 4;

}  // namespace

UIButton::UIButton(UIButtonType type, CGRect frame)
    : UIControl(frame),
      titleColor_(UIColor::systemBlue()),
      font_(UIFont::systemFont(15)),
      drawsFace_(type == UIButtonType::system) {
  setOpaque(false);
}

std::shared_ptr<UIButton> UIButton::make(UIButtonType type, CGRect frame) {
  return std::shared_ptr<UIButton>(new UIButton(type, frame));
}

void UIButton::setTitle(std::string title) {
  if (title == title_)
    return;
  title_ = std::move(title);
  setNeedsDisplay();
}

void UIButton::setTitleColor(const UIColor& color) {
  titleColor_ = color;
  setNeedsDisplay();
}

void UIButton::setFont(const UIFont& font) {
  font_ = font;
  setNeedsDisplay();
}

void UIButton::setSymbol(Symbol symbol) {
  symbol_ = std::move(symbol);
  setNeedsDisplay();
}

// A plain face: a thin rounded outline in the title colour, lightly filled while pressed; the title
// (or symbol) centred, dimmed while pressed or disabled.
void UIButton::draw(const CGRect& rect) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (!context)
    return;
  CGFloat a;
  CGFloat r, g, b;
  titleColor_.getRed(&r, &g, &b, &a);
  const CGFloat dim = !isEnabled() ? 0.35 : isHighlighted() ? 0.5 : 1.0;
  const UIColor ink(r, g, b, a * dim);

  if (drawsFace_) {
    const UIBezierPath face = UIBezierPath::roundedRect(rect.insetBy(0.5, 0.5), faceRadius);
    if (isHighlighted()) {
      UIColor(r, g, b, 0.15).setFill();
      face.fill();
    }
    ink.setStroke();
    face.stroke();
  }
  if (symbol_) {
    context->saveGState();
    symbol_(*context, rect.insetBy(symbolInset, symbolInset), ink);
    context->restoreGState();
    return;
  }
  if (title_.empty())
    return;
  NSStringAttributes attributes;
  attributes.font = font_;
  attributes.foregroundColor = ink;
  NSParagraphStyle centred;
  centred.alignment = NSTextAlignment::center;
  attributes.paragraphStyle = centred;
  const NSString text(title_);
  const CGFloat height =
      text.boundingRect(CGSize{rect.size.width, 1e9}, usesLineFragmentOrigin, attributes).size.height;
  context->saveGState();
  context->clip(rect);
  text.draw(CGRect(rect.origin.x, rect.origin.y + (rect.size.height - height) / 2, rect.size.width, height),
            attributes);
  context->restoreGState();
}
