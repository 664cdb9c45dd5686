// A view that shows one image (or none). [main]
#pragma once

#include <memory>

#include "UIKit/UIImage.h"
#include "UIKit/UIView.h"

class UIImageView : public UIView {
 public:
  static std::shared_ptr<UIImageView> make(CGRect frame = CGRect());
  static std::shared_ptr<UIImageView> make(std::shared_ptr<UIImage> image);

  std::shared_ptr<UIImage> image() const { return image_; }
  void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }

 protected:
  explicit UIImageView(CGRect frame) : UIView(frame) {}

 private:
  std::shared_ptr<UIImage> image_;
};
