// The compressor panel's touch handling: hotspot search, touch-down actions, knob drags,
// touch-up and cancel.
#include <array>
#include <cmath>
#include <string_view>

#include "Foundation/Print.h"
#include "Foundation/TextForms.h"
#include "KOVCompressorView.h"
#include "KOVParameterAddresses.h"
#include "KOVValueTexts.h"

namespace {

using Base = KOVCompressorViewBase;

enum class Kind { knob, button, mode, passive };

// One hotspot: its name, hit rectangle, kind, the fields it edits and its parameter address.
struct Hotspot {
  std::string_view name;
  UIBezierPath Base::*path;
  Kind kind;
  bool Base::*active;    // null for the passive ones
  CGFloat Base::*value;  // knobs
  bool Base::*selected;  // buttons
  int address;           // -1 for the passive ones
};

// In the order a touch-down point is tested: where rectangles share an edge (mode with release
// at x 227 and with threshold at x 284) the earlier one wins.
constexpr std::array<Hotspot, 11> kHotspots = {{
    {"attack", &Base::hotspotAttackPath, Kind::knob, &Base::isAttackActive, &Base::valueAttack, nullptr,
     kov_address::attack},
    {"release", &Base::hotspotReleasePath, Kind::knob, &Base::isReleaseActive, &Base::valueRelease, nullptr,
     kov_address::release},
    {"threshold", &Base::hotspotThresholdPath, Kind::knob, &Base::isThresholdActive, &Base::valueThreshold,
     nullptr, kov_address::threshold},
    {"ratio", &Base::hotspotRatioPath, Kind::knob, &Base::isRatioActive, &Base::valueRatio, nullptr,
     kov_address::ratio},
    {"gain", &Base::hotspotGainPath, Kind::knob, &Base::isGainActive, &Base::valueGain, nullptr,
     kov_address::gain},
    {"mix", &Base::hotspotMixPath, Kind::knob, &Base::isMixActive, &Base::valueMix, nullptr,
     kov_address::mix},
    {"bypass", &Base::hotspotBypassPath, Kind::button, &Base::isBypassActive, nullptr,
     &Base::isBypassSelected, kov_address::bypass},
    {"audition", &Base::hotspotAuditionPath, Kind::button, &Base::isAuditionActive, nullptr,
     &Base::isAuditioSelected, kov_address::audition},
    {"caption", &Base::hotspotCaptionPath, Kind::passive, nullptr, nullptr, nullptr, -1},
    {"meter", &Base::hotspotMeterPath, Kind::passive, nullptr, nullptr, nullptr, -1},
    {"mode", &Base::hotspotModePath, Kind::mode, &Base::isModeActive, nullptr, nullptr, kov_address::mode},
}};

const Hotspot* hotspotNamed(std::string_view name) {
  for (const Hotspot& hotspot : kHotspots) {
    if (hotspot.name == name)
      return &hotspot;
  }
  return nullptr;
}

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

CGPoint KOVCompressorView::canvasPoint(const UITouch& touch) const {
  const CGPoint p = touch.location(this);
  const CGSize scale = baseClass_->viewScale;
  return {p.x / scale.width, p.y / scale.height};
}

void KOVCompressorView::setHotspotMode(CGPoint location) {
  hotspotMode_.clear();
  for (const Hotspot& hotspot : kHotspots) {
    if (hitTest(location, baseClass_.get()->*hotspot.path)) {
      hotspotMode_ = hotspot.name;
      break;
    }
  }
  print(hotspotMode_);
}

void KOVCompressorView::setActiveFlag(bool active) {
  const Hotspot* hotspot = hotspotNamed(hotspotMode_);
  if (hotspot != nullptr && hotspot->active != nullptr)
    baseClass_.get()->*hotspot->active = active;
}

void KOVCompressorView::touchesBegan(const UITouchSet& touches, const UIEvent* /*event*/) {
  const auto controller = viewController();
  const auto delegate = this->delegate();
  const auto touch = touches.first();
  if (!controller || !delegate || !touch)
    return;

  startLocation_ = canvasPoint(*touch);
  setHotspotMode(startLocation_);
  const Hotspot* hotspot = hotspotNamed(hotspotMode_);
  if (hotspot == nullptr) {
    controller->setTouchesLocked(false);
    return;
  }
  controller->setTouchesLocked(true);

  KOVCompressorViewBase& base = *baseClass_;
  switch (hotspot->kind) {
    case Kind::knob:
      savedValue_ = base.*hotspot->value;
      base.*hotspot->active = true;
      break;
    case Kind::button: {
      base.*hotspot->active = true;
      bool& selected = base.*hotspot->selected;
      selected = !selected;
      delegate->onKOVCompressorViewParameter(hotspot->address, selected ? 1.0f : 0.0f);
      break;
    }
    case Kind::mode:
      base.isModeActive = true;
      if (const auto next = nextModeLabel(base.valueMode)) {
        base.valueMode = std::string(*next);
        delegate->onKOVCompressorViewParameter(hotspot->address, *modeValue(*next));
      }
      break;
    case Kind::passive:
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
  const CGPoint q = canvasPoint(*touch);
  const CGSize scale = baseClass_->viewScale;
  const CGFloat dx = (q.x - startLocation_.x) / scale.width * scaler_;
  const CGFloat dy = (q.y - startLocation_.y) / scale.height * scaler_;

  const Hotspot* hotspot = hotspotNamed(hotspotMode_);
  if (hotspot != nullptr && hotspot->kind == Kind::knob) {
    const CGFloat v = draggedValue(savedValue_, dx, dy);
    baseClass_.get()->*hotspot->value = v;
    if (hotspot->address == kov_address::threshold)
      print(describe(v));
    delegate->onKOVCompressorViewParameter(hotspot->address, static_cast<float>(v));
  }
  setNeedsDisplay();
  sendActions(UIControlEvents::valueChanged);
}

void KOVCompressorView::touchesEnded(const UITouchSet& touches, const UIEvent* event) {
  const auto controller = viewController();
  if (!controller)
    return;
  touchesMoved(touches, event);  // the end point counts as a last move
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
