#include "UIKit/internal/RectList.h"

void addToRectList(std::vector<CGRect>& rects, const CGRect& rect, std::size_t limit) {
  if (rect.isEmpty())
    return;
  CGRect merged = rect;
  for (bool grew = true; grew;) {
    grew = false;
    for (auto it = rects.begin(); it != rects.end(); ++it) {
      if (it->intersects(merged)) {
        merged = merged.united(*it);
        rects.erase(it);
        grew = true;
        break;
      }
    }
  }
  rects.push_back(merged);
  if (rects.size() > limit)
    rects.assign(1, boundsOfRectList(rects));
}

CGRect boundsOfRectList(const std::vector<CGRect>& rects) {
  CGRect box;
  for (const CGRect& r : rects)
    box = box.united(r);
  return box;
}
