#include "UIKit/UIImageView.h"

std::shared_ptr<UIImageView> UIImageView::make(CGRect frame) {
  return std::shared_ptr<UIImageView>(new UIImageView(frame));
}

// A view made for an image takes the image's size (an empty frame without an image).
std::shared_ptr<UIImageView> UIImageView::make(std::shared_ptr<UIImage> image) {
  const CGSize size = image ? image->size() : CGSize{};
  auto view = std::shared_ptr<UIImageView>(new UIImageView(CGRect(0, 0, size.width, size.height)));
  view->setImage(std::move(image));
  return view;
}
