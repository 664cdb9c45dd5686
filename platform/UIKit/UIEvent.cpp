#include "UIKit/UIEvent.h"

#include "UIKit/UIView.h"

UITouchSet UIEvent::touches(const UIView* forView) const {
  std::vector<std::shared_ptr<UITouch>> own;
  for (const auto& t : all_) {
    if (t->view().get() == forView)
      own.push_back(t);
  }
  return UITouchSet(std::move(own));
}
