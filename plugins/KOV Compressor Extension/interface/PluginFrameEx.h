// The editor's background frame: a grey rounded plate behind the compressor panel whose grey
// level is the editor's contrast. Writing `contrast` does not repaint by itself; the controller
// asks for a redraw after it. [main]
#pragma once

#include <memory>

#include "PluginFrameBaseEx.h"
#include "UIKit/NSCoder.h"
#include "UIKit/UIControl.h"

class PluginFrameEx : public UIControl {
 public:
  static std::shared_ptr<PluginFrameEx> make(CGRect frame = CGRect());
  static std::shared_ptr<PluginFrameEx> make(const NSCoder& coder);

  // Grey level of the plate, 0 black to 1 white.
  float contrast = 0.15f;
  UIColor mainColor = UIColor::lightGray();  // handed to the drawing object, not painted

  // Hands contrast and colour to the drawing object and paints the plate into the whole bounds,
  // whatever rectangle was invalidated.
  void draw(const CGRect& rect) override;

 protected:
  explicit PluginFrameEx(CGRect frame);

 private:
  std::unique_ptr<PluginFrameBaseEx> baseClass_ = std::make_unique<PluginFrameBaseEx>();
};
