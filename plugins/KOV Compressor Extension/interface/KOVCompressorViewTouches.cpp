// The compressor panel's touch handling: hotspot search, touch-down actions, knob drags,
// touch-up and cancel.
#include <cmath>
#include <string>

#include "Foundation/Print.h"
#include "Foundation/TextForms.h"
#include "KOVCompressorView.h"
#include "KOVPanelControls.h"
#include "KOVParameterAddresses.h"
#include "KOVValueTexts.h"

namespace {

using kov_panel::Kind;

// The drag rule: half the upward plus half the rightward distance, in hundredths of the range,
// computed in 32-bit float (the rounding is part of the result); then both the step and the value
// are clamped.
CGFloat draggedValue(CGFloat savedValue, CGFloat dx, CGFloat dy) {
  float d = static_cast<float>(dy - dx) / 2 / 100;
  if (std::isnan(d))
    d = 0;  // a non-finite touch point must not turn into a NaN parameter value
  if (d < -1) {
    d = -1;
  } else if (d > 1) {
    d = 1;
  }
  CGFloat v = savedValue - static_cast<CGFloat>(d);
  // Written so that a NaN left by the host also comes out as 0: no drag sends a value outside 0...1.
  if (!(v >= 0)) {
    v = 0;
  } else if (v > 1) {
    v = 1;
  }
  return v;
}

}  // namespace

CGPoint KOVCompressorView::canvasPoint(CGPoint windowLocation) const {
  const CGPoint p = convertFrom(windowLocation, nullptr);
  const CGSize scale = baseClass_->viewScale;
  return {p.x / scale.width, p.y / scale.height};
}

// While the panel stays where it is, this is the touch's canvas point itself (the shift stays
// exactly 0). When the panel moved or zoomed since the touch's last event, the last point no
// longer maps to where it was on the canvas: the difference joins the shift, so the touch keeps
// its place on the canvas and only its own moves on screen count. A touch that did not move on
// screen is where it was, to the bit.
CGPoint KOVCompressorView::trackedPoint(const UITouch& touch) {
  const CGPoint at = touch.windowLocation();
  if (at == lastWindowLocation_)
    return lastLocation_;
  const CGPoint lastNow = canvasPoint(lastWindowLocation_);
  const CGFloat sx = lastNow.x - panelShift_.x - lastLocation_.x;
  const CGFloat sy = lastNow.y - panelShift_.y - lastLocation_.y;
  if (std::isfinite(sx) && std::isfinite(sy))  // a non-finite point on either side says nothing
    panelShift_ = {panelShift_.x + sx, panelShift_.y + sy};
  const CGPoint p = canvasPoint(at);
  lastWindowLocation_ = at;
  lastLocation_ = {p.x - panelShift_.x, p.y - panelShift_.y};
  return lastLocation_;
}

void KOVCompressorView::setHotspotMode(CGPoint location) {
  hotspotMode_.clear();
  for (const KOVPanelControl& control : kov_panel::controls) {
    if (hitTest(location, baseClass_.get()->*control.path)) {
      hotspotMode_ = control.name;
      break;
    }
  }
  print(hotspotMode_);
}

void KOVCompressorView::setActiveFlag(bool active) {
  const KOVPanelControl* control = kov_panel::named(hotspotMode_);
  if (control != nullptr && control->active != nullptr)
    baseClass_.get()->*control->active = active;
}

void KOVCompressorView::touchesBegan(const UITouchSet& touches, const UIEvent* /*event*/) {
  const auto controller = viewController();
  const auto delegate = this->delegate();
  const auto touch = touches.first();
  if (!controller || !delegate || !touch)
    return;

  startLocation_ = canvasPoint(touch->windowLocation());
  lastWindowLocation_ = touch->windowLocation();
  lastLocation_ = startLocation_;
  panelShift_ = {0, 0};
  setHotspotMode(startLocation_);
  const KOVPanelControl* control = kov_panel::named(hotspotMode_);
  if (control == nullptr) {
    controller->setTouchesLocked(false);
    return;
  }
  controller->setTouchesLocked(true);

  KOVCompressorViewBase& base = *baseClass_;
  switch (control->kind) {
    case Kind::knob:
      savedValue_ = base.*control->value;
      base.*control->active = true;
      break;
    case Kind::button: {
      base.*control->active = true;
      bool& selected = base.*control->selected;
      selected = !selected;
      delegate->onKOVCompressorViewParameter(control->address, selected ? 1.0f : 0.0f);
      break;
    }
    case Kind::mode: {
      base.*control->active = true;
      std::string& label = base.*control->label;
      if (const auto next = nextModeLabel(label)) {
        label = std::string(*next);
        delegate->onKOVCompressorViewParameter(control->address, *modeValue(*next));
      }
      break;
    }
    case Kind::meter:
    case Kind::caption:
      break;
  }
  setNeedsDisplay();
  sendActions(UIControlEvents::touchDown);
}

void KOVCompressorView::touchesMoved(const UITouchSet& touches, const UIEvent* /*event*/) {
  const auto controller = viewController();
  const auto delegate = this->delegate();
  const auto touch = touches.first();
  if (!controller || !delegate || hotspotMode_.empty() || !touch)
    return;

  // The canvas distance is divided by the scale once more: a drag of P points moves a knob by
  // P / (200 · s²) of its range at scale s.
  const CGPoint q = trackedPoint(*touch);
  const CGSize scale = baseClass_->viewScale;
  const CGFloat dx = (q.x - startLocation_.x) / scale.width * scaler_;
  const CGFloat dy = (q.y - startLocation_.y) / scale.height * scaler_;

  const KOVPanelControl* control = kov_panel::named(hotspotMode_);
  if (control != nullptr && control->kind == Kind::knob) {
    const CGFloat v = draggedValue(savedValue_, dx, dy);
    baseClass_.get()->*control->value = v;
    if (control->address == kov_address::threshold)
      print(describe(v));
    delegate->onKOVCompressorViewParameter(control->address, static_cast<float>(v));
  }
  setNeedsDisplay();
  sendActions(UIControlEvents::valueChanged);
}

void KOVCompressorView::touchesEnded(const UITouchSet& touches, const UIEvent* event) {
  const auto controller = viewController();
  if (!controller)
    return;
  touchesMoved(touches, event);  // the end point counts as a last move (if it moved on screen)
  setActiveFlag(false);
  hotspotMode_.clear();
  controller->setTouchesLocked(false);
  setNeedsDisplay();
  // Inside or outside by where the touch ends, in the panel's own coordinates.
  const auto touch = touches.first();
  const bool inside = touch && pointInside(touch->location(this), event);
  sendActions(inside ? UIControlEvents::touchUpInside : UIControlEvents::touchUpOutside);
}

void KOVCompressorView::touchesCancelled(const UITouchSet& /*touches*/, const UIEvent* /*event*/) {
  const auto controller = viewController();
  if (!controller)
    return;
  controller->setTouchesLocked(false);
  setActiveFlag(false);
  setNeedsDisplay();
  sendActions(UIControlEvents::touchCancel);
}
