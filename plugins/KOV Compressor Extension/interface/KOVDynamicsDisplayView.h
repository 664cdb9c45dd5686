// The dynamics gauge: a transparent control over the compressor panel that shows the live
// meters as four marks, fed 25 times a second by the editor's meter timer. It has no
// touch handling of its own. Setters that feed it redraw only when a value changed, so a still
// meter costs no drawing, and a change redraws only where the moved marks were and go. [main]
#pragma once

#include <memory>

#include "KOVDynamicsDisplayViewBase.h"
#include "UIKit/NSCoder.h"
#include "UIKit/UIControl.h"

class KOVDynamicsDisplayView : public UIControl {
 public:
  static std::shared_ptr<KOVDynamicsDisplayView> make(CGRect frame = CGRect());
  static std::shared_ptr<KOVDynamicsDisplayView> make(const NSCoder& coder);

  KOVDynamicsDisplayViewBase& baseClass() const { return *baseClass_; }
  void setBaseClass(std::shared_ptr<KOVDynamicsDisplayViewBase> baseClass);

  virtual void setFocus(bool focus);
  // Contrast c: colorContrast and colorMain the opaque grey 1 - c, colorContrastInverted the grey
  // c. The marks keep their own colours. Redraws.
  virtual void setContrast(CGFloat contrast);
  // Stores the threshold; it is not drawn, so no redraw.
  virtual void setThresholdValue(float value);
  // The needles (gain reduction): stored and redrawn only when either differs (exactly; NaN
  // always counts as changed).
  virtual void setCompressionValues(float value1, float value2);
  // The dots (output peaks), likewise.
  virtual void setOutputValues(float value3, float value4);
  // Both needles back to 1.0 (the dots stay); redraws.
  virtual void resetDisplay();

  // Paints the marks into the bounds (aspect fit); a hidden gauge draws nothing.
  void draw(const CGRect& rect) override;
  // Where the marks can show in the bounds: a change of value redraws only this part.
  CGRect marksRect() const;

 protected:
  explicit KOVDynamicsDisplayView(CGRect frame);

 private:
  void markMoved(int mark, CGFloat from, CGFloat to);
  std::shared_ptr<KOVDynamicsDisplayViewBase> baseClass_ = std::make_shared<KOVDynamicsDisplayViewBase>();
};
