// The editor controller's own view: the dark area the host sizes, holding the panel's container
// and, above it, the info overlay and the side controls. Besides pinned subviews it keeps the
// overlay centred, whatever size the host gives. The panel's container is placed by the
// controller after each layout pass. [main]
#pragma once

#include <memory>

#include "UIKit/UIView.h"

class EditorRootView : public UIView {
 public:
  static std::shared_ptr<EditorRootView> make(CGRect frame);

  // The view kept centred (the info overlay); its size is its own.
  std::weak_ptr<UIView> centred;

  void layoutSubviews() override;

 protected:
  explicit EditorRootView(CGRect frame) : UIView(frame) {}
};
