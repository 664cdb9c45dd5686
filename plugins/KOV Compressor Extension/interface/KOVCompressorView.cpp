// The compressor panel's construction, its display of values from the audio unit, and its
// drawing pass. The touch handling is in KOVCompressorViewTouches.cpp.
#include "KOVCompressorView.h"

#include <string>

#include "Foundation/Print.h"
#include "Foundation/TextForms.h"
#include "KOVPanelControls.h"
#include "KOVValueTexts.h"

std::shared_ptr<KOVCompressorView> KOVCompressorView::make(CGRect frame) {
  return std::shared_ptr<KOVCompressorView>(new KOVCompressorView(frame));
}

std::shared_ptr<KOVCompressorView> KOVCompressorView::make(const NSCoder& /*coder*/) {
  return make(CGRect());
}

KOVCompressorView::KOVCompressorView(CGRect frame) : UIControl(frame) {}

void KOVCompressorView::setViewController(const std::shared_ptr<KOVCompressorViewController>& controller) {
  viewController_ = controller;
  baseClass_->viewController = controller;
}

void KOVCompressorView::setBaseClass(std::shared_ptr<KOVCompressorViewBase> baseClass) {
  if (baseClass)
    baseClass_ = std::move(baseClass);
}

void KOVCompressorView::setParameter(int address, float value) {
  KOVCompressorViewBase& base = *baseClass_;
  // Values are taken as they come: nothing is clamped, and a switch is on only for exactly 1.0.
  if (const KOVPanelControl* control = kov_panel::showing(address)) {
    switch (control->kind) {
      case kov_panel::Kind::knob:
        base.*control->value = value;
        break;
      case kov_panel::Kind::mode:
        if (const auto label = modeLabel(value))
          base.*control->label = std::string(*label);
        break;
      case kov_panel::Kind::button:
        base.*control->selected = (value == 1.0f);
        break;
      case kov_panel::Kind::meter:
      case kov_panel::Kind::caption:
        break;
    }
  }
  print("editor received parameter : address: " + std::to_string(address) + ", value: " + describe(value));
  setNeedsDisplay();
}

void KOVCompressorView::setContrast(CGFloat contrast) {
  KOVCompressorViewBase& base = *baseClass_;
  base.colorContrast = UIColor(1 - contrast, 1 - contrast, 1 - contrast, 1.0);
  base.colorContrastInverted = UIColor(contrast, contrast, contrast, 1.0);
  base.colorMain = base.colorContrast;
  setNeedsDisplay();
}

void KOVCompressorView::setFocus(bool /*focus*/) {
  setNeedsDisplay();
}

void KOVCompressorView::draw(const CGRect& /*rect*/) {
  if (isHidden())
    return;
  baseClass_->drawMain(bounds(), KOVCompressorViewBase::ResizingBehavior0::aspectFit);
}
