// Short lists of rectangles whose union is what counts (the marks of a view, the damage of a
// display pass): a rectangle added swallows those it overlaps (and then those the merge overlaps),
// and past `limit` rectangles the list becomes their bounding box. [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <cstddef>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

// Adds `rect` (nothing when it is empty).
void addToRectList(std::vector<CGRect>& rects, const CGRect& rect, std::size_t limit);
// The bounding box; the zero rectangle for an empty list.
CGRect boundsOfRectList(const std::vector<CGRect>& rects);
