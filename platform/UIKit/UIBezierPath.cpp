#include "UIKit/UIBezierPath.h"

#include "UIKit/UIGraphics.h"

UIBezierPath::UIBezierPath(const CGRect& rect) {
  path_.addRect(rect);
}

UIBezierPath UIBezierPath::ovalIn(const CGRect& rect) {
  UIBezierPath path;
  path.path_.addEllipse(rect);
  return path;
}

UIBezierPath UIBezierPath::roundedRect(const CGRect& rect, CGFloat cornerRadius) {
  UIBezierPath path;
  path.path_.addRoundedRect(rect, cornerRadius);
  return path;
}

void UIBezierPath::stroke() const {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (!context || path_.isEmpty())
    return;
  // The path's own settings apply for this stroke only; colour and dash come from the context.
  context->saveGState();
  context->setLineWidth(lineWidth);
  context->setLineCap(lineCapStyle);
  context->setLineJoin(lineJoinStyle);
  context->setMiterLimit(miterLimit);
  context->beginPath();
  context->addPath(path_);
  context->strokePath();
  context->restoreGState();
}

void UIBezierPath::fill() const {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (!context || path_.isEmpty())
    return;
  context->beginPath();
  context->addPath(path_);
  context->fillPath(CGPathFillRule::winding);
}

void UIBezierPath::addClip() const {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (!context)
    return;
  context->beginPath();
  context->addPath(path_);
  context->clip(CGPathFillRule::winding);
}
