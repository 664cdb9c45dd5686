// A colour as the drawing context takes it: red, green, blue and alpha in device RGB. Components
// outside 0...1 are allowed here and clamped when drawn. Plain value. [any]
#pragma once

#include "CoreGraphics/CGGeometry.h"

struct CGColor {
  CGFloat red = 0, green = 0, blue = 0, alpha = 1;
  bool operator==(const CGColor&) const = default;
};
