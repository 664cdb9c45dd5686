#include "ResizingBehavior.h"

#include <cmath>

namespace resizing {

namespace {

// Two rectangles are equal when their standardized forms are (a negative size counts as the
// rectangle it spans).
bool sameRect(const CGRect& a, const CGRect& b) {
  return a.standardized() == b.standardized();
}

}  // namespace

Placement place(Case behaviour, const CGRect& rect, const CGRect& target) {
  if (sameRect(target, CGRect::zero()))
    return {rect, std::nullopt};
  if (sameRect(rect, target))
    return {rect, CGSize{1, 1}};

  CGFloat sx = std::fabs(target.width() / rect.width());
  CGFloat sy = std::fabs(target.height() / rect.height());
  // Ties and NaN keep sx: the comparisons are false for both.
  switch (behaviour) {
    case Case::aspectFit:
      sx = sy = (sy < sx) ? sy : sx;
      break;
    case Case::aspectFill:
      sx = sy = (sy > sx) ? sy : sx;
      break;
    case Case::stretch:
      break;
    case Case::center:
      sx = sy = 1;
      break;
  }

  CGRect result = rect.standardized();
  result.size.width *= sx;
  result.size.height *= sy;
  result.origin.x = target.minX() + (target.width() - result.size.width) / 2;
  result.origin.y = target.minY() + (target.height() - result.size.height) / 2;
  return {result, CGSize{sx, sy}};
}

}  // namespace resizing
