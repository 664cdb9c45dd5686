// Drawing steps every editor drawer shares: mapping a design canvas onto its placed rectangle,
// and text centred both ways in a box. They draw into the current graphics context. [main]
#pragma once

#include <string>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"

// Moves the context so that canvas units of a `design`-sized canvas land on `placed`: translate
// to its origin, then scale by placed size / design size.
void mapCanvas(CGContext& context, const CGRect& placed, CGSize design);

// The panel's line style: `path` stroked in `color` at `width` with round caps and `join` joins.
void strokeLine(UIBezierPath& path, const UIColor& color, CGFloat width, CGLineJoin join = CGLineJoin::round);

// Text centred in `box`: laid out at the box's width (wrapping long texts), the block of lines
// centred vertically on the box (overhanging it evenly when taller) and clipped to the box.
void drawCentredText(const std::string& text, const CGRect& box, const UIFont& font, const UIColor& color);

// Degrees to the radians the context's rotation takes (positive turns clockwise on screen).
constexpr CGFloat radians(CGFloat degrees) {
  return degrees * 3.14159265358979323846 / 180;
}
