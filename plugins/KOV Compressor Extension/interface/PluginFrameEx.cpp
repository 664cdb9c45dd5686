#include "PluginFrameEx.h"

std::shared_ptr<PluginFrameEx> PluginFrameEx::make(CGRect frame) {
  return std::shared_ptr<PluginFrameEx>(new PluginFrameEx(frame));
}

std::shared_ptr<PluginFrameEx> PluginFrameEx::make(const NSCoder& /*coder*/) {
  return make(CGRect());
}

PluginFrameEx::PluginFrameEx(CGRect frame) : UIControl(frame) {}

void PluginFrameEx::draw(const CGRect& /*rect*/) {
  baseClass_->contrast = contrast;
  baseClass_->mainColor = mainColor;
  // The bounds, not the invalidated rectangle: a partial redraw must not fit a whole plate into
  // the part.
  baseClass_->draw(bounds(), PluginFrameBaseEx::ResizingBehavior::aspectFit);
}
