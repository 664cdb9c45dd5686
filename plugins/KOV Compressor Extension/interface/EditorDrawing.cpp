#include "EditorDrawing.h"

#include <limits>

#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIGraphics.h"

void mapCanvas(CGContext& context, const CGRect& placed, CGSize design) {
  context.translateBy(placed.minX(), placed.minY());
  context.scaleBy(placed.width() / design.width, placed.height() / design.height);
}

void strokeLine(UIBezierPath& path, const UIColor& color, CGFloat width, CGLineJoin join) {
  color.setStroke();
  path.lineWidth = width;
  path.lineCapStyle = CGLineCap::round;
  path.lineJoinStyle = join;
  path.stroke();
}

void drawCentredText(const std::string& text, const CGRect& box, const UIFont& font, const UIColor& color) {
  CGContext* context = UIGraphicsGetCurrentContext();
  if (context == nullptr)
    return;
  NSMutableParagraphStyle style;
  style.alignment = NSTextAlignment::center;
  const NSStringAttributes attributes{font, color, style};
  const NSString string(text);
  // The height of the whole wrapped block; the box's own height does not limit it.
  const CGFloat height = string
                             .boundingRect({box.width(), std::numeric_limits<CGFloat>::infinity()},
                                           usesLineFragmentOrigin, attributes)
                             .height();
  context->saveGState();
  context->clip(box);
  string.draw({box.minX(), box.minY() + (box.height() - height) / 2, box.width(), height}, attributes);
  context->restoreGState();
}
