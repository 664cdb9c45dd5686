#include "KOVDynamicsDisplayView.h"

std::shared_ptr<KOVDynamicsDisplayView> KOVDynamicsDisplayView::make(CGRect frame) {
  return std::shared_ptr<KOVDynamicsDisplayView>(new KOVDynamicsDisplayView(frame));
}

std::shared_ptr<KOVDynamicsDisplayView> KOVDynamicsDisplayView::make(const NSCoder& /*coder*/) {
  return make(CGRect());
}

KOVDynamicsDisplayView::KOVDynamicsDisplayView(CGRect frame) : UIControl(frame) {}

void KOVDynamicsDisplayView::setBaseClass(std::shared_ptr<KOVDynamicsDisplayViewBase> baseClass) {
  if (baseClass)
    baseClass_ = std::move(baseClass);
}

void KOVDynamicsDisplayView::setFocus(bool /*focus*/) {
  setNeedsDisplay();
}

void KOVDynamicsDisplayView::setContrast(CGFloat contrast) {
  KOVDynamicsDisplayViewBase& base = *baseClass_;
  base.colorContrast = UIColor(1 - contrast, 1 - contrast, 1 - contrast, 1.0);
  base.colorContrastInverted = UIColor(contrast, contrast, contrast, 1.0);
  base.colorMain = base.colorContrast;
  setNeedsDisplay();
}

void KOVDynamicsDisplayView::setThresholdValue(float value) {
  baseClass_->valueThreshold = value;
}

void KOVDynamicsDisplayView::setCompressionValues(float value1, float value2) {
  KOVDynamicsDisplayViewBase& base = *baseClass_;
  if (base.value1 != CGFloat(value1) || base.value2 != CGFloat(value2)) {
    markMoved(1, base.value1, value1);
    markMoved(2, base.value2, value2);
    base.value1 = value1;
    base.value2 = value2;
  }
}

void KOVDynamicsDisplayView::setOutputValues(float value3, float value4) {
  KOVDynamicsDisplayViewBase& base = *baseClass_;
  if (base.value3 != CGFloat(value3) || base.value4 != CGFloat(value4)) {
    markMoved(3, base.value3, value3);
    markMoved(4, base.value4, value4);
    base.value3 = value3;
    base.value4 = value4;
  }
}

void KOVDynamicsDisplayView::resetDisplay() {
  baseClass_->value1 = 1.0;
  baseClass_->value2 = 1.0;
  setNeedsDisplay(marksRect());
}

// Marks where the mark was and where it goes (NaN never equals itself, so it always counts).
void KOVDynamicsDisplayView::markMoved(int mark, CGFloat from, CGFloat to) {
  if (from == to)
    return;
  using Base = KOVDynamicsDisplayViewBase;
  setNeedsDisplay(Base::markRect(bounds(), mark, from, Base::ResizingBehavior0::aspectFit));
  setNeedsDisplay(Base::markRect(bounds(), mark, to, Base::ResizingBehavior0::aspectFit));
}

CGRect KOVDynamicsDisplayView::marksRect() const {
  return KOVDynamicsDisplayViewBase::marksRect(bounds(),
                                               KOVDynamicsDisplayViewBase::ResizingBehavior0::aspectFit);
}

void KOVDynamicsDisplayView::draw(const CGRect& /*rect*/) {
  if (isHidden())
    return;
  baseClass_->drawMain(bounds(), KOVDynamicsDisplayViewBase::ResizingBehavior0::aspectFit);
}
