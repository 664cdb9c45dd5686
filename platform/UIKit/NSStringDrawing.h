// Measuring and drawing strings with attributes (font, colour, paragraph style), laid out by
// Pango. Text is laid out in user space with absolute sizes (points), unhinted metrics and
// unrounded glyph positions, so the same string in the same box lays out identically under any
// transform (scale 1 or 2, non-uniform stretch); only the rasterisation differs. [main]
#pragma once

#include <optional>
#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/NSParagraphStyle.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"

// The drawing attributes of a string: font, foreground colour and paragraph style. Unset keys take the
// defaults: the system font of size 12, black, natural alignment with word wrapping.
struct NSStringAttributes {
  std::optional<UIFont> font;
  std::optional<UIColor> foregroundColor;
  std::optional<NSParagraphStyle> paragraphStyle;
};

// NSStringDrawingOptions, a bit set.
enum NSStringDrawingOptions : unsigned {
  // Lay out in lines from the top of the rectangle, wrapping at its width; without it the string
  // is one line whose baseline is the rectangle's origin.
  usesLineFragmentOrigin = 1 << 0,
  usesFontLeading = 1 << 1,
};

class NSStringDrawingContext;

// A UTF-8 string that measures and draws itself with attributes. Ill-formed UTF-8 is drawn with
// replacement characters rather than refused.
class NSString {
 public:
  explicit NSString(std::string text) : text_(std::move(text)) {}
  const std::string& string() const { return text_; }

  // The bounding rectangle of the laid-out text: with `usesLineFragmentOrigin`, origin (0, 0), the
  // widest line's width and the height of the whole wrapped block (all lines) for the width
  // `size.width` (unbounded when not a positive finite number). The height of `size` is ignored.
  CGRect boundingRect(CGSize with, unsigned options, const NSStringAttributes& attributes,
                      NSStringDrawingContext* context = nullptr) const;
  // The size of the text as one unwrapped line.
  CGSize size(const NSStringAttributes& withAttributes) const;

  // Draws the text wrapped at the rectangle's width from its top, aligned as the paragraph style
  // says; lines that would not fit wholly within the rectangle's height are left out (the first
  // line is always drawn). Does nothing without a current context.
  void draw(const CGRect& in, const NSStringAttributes& withAttributes) const;
  // Draws the text as one line from a top-left point.
  void draw(CGPoint at, const NSStringAttributes& withAttributes) const;

 private:
  std::string text_;
};
