// The compressor panel's eleven controls in one table: the name a touch reports, the parameter
// each edits, where it is drawn and where it is touched, and which fields of the drawing object
// hold its state. The drawing pass, the hotspot search, the touch handlers and the display of
// values from the audio unit all read this one table. [any]
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "KOVCompressorViewBase.h"
#include "KOVParameterAddresses.h"

enum class KOVPanelControlKind {
  knob,     // a value 0...1, dragged
  button,   // an on/off switch, flipped at touch-down
  mode,     // the channel mode label, stepped at touch-down
  meter,    // the threshold meter: drawn, touched, edits nothing
  caption,  // the title: touched, edits nothing (the title text is drawn on its own)
};

struct KOVPanelControl {
  using Base = KOVCompressorViewBase;

  // The hotspot's name; knobs and buttons also show it as their label.
  std::string_view name;
  KOVPanelControlKind kind;
  // The parameter address it edits and shows; kNone for the meter and the caption.
  int address;
  // Drawing: the element's anchor on the canvas, and its symbol rectangle relative to it.
  CGPoint anchor;
  CGRect symbol;
  // Touching: the hit rectangle in canvas units (it follows neither the element scale nor the
  // frame), published in `path` on every drawing pass.
  CGRect hotspot;
  UIBezierPath Base::*path;
  // Fields of the drawing object; null where the control has none.
  bool Base::*active;        // being touched: drawn enlarged
  CGFloat Base::*value;      // a knob's position; the meter's needle
  bool Base::*selected;      // a knob's or button's selected state (the buttons' switch)
  std::string Base::*label;  // the mode's caption

  static constexpr int kNone = -1;
};

namespace kov_panel {

using Base = KOVCompressorViewBase;
using Kind = KOVPanelControlKind;

// Symbol rectangles relative to their element's anchor: centred for knobs and buttons, standing
// on the anchor for the meter. The push buttons' 86 x 38 canvas is stretched into 80 x 32.
inline constexpr CGRect kKnobSymbol{-45, -45, 90, 90};
inline constexpr CGRect kModeSymbol{-27, -13, 54, 26};
inline constexpr CGRect kMeterSymbol{0, -106, 206, 106};
inline constexpr CGRect kButtonSymbol{-39, -16, 80, 32};

// clang-format off
// Positions in `controls`.
enum Index : std::size_t { attack, release, threshold, ratio, gain, mix, bypass, audition, caption, meter, mode };

// In the order a touch-down point is tested: where rectangles share an edge (mode with release
// at x 227 and with threshold at x 284) the earlier one wins. Each row: name, kind, address;
// anchor, symbol rectangle; hotspot rectangle and path; active flag, value, selected flag, label.
inline constexpr std::array<KOVPanelControl, 11> controls = {{
    {"attack", Kind::knob, kov_address::attack, {83, 94}, kKnobSymbol, {39, 44, 90, 98},
     &Base::hotspotAttackPath, &Base::isAttackActive, &Base::valueAttack, &Base::isAttackSelected, nullptr},
    {"release", Kind::knob, kov_address::release, {182, 94}, kKnobSymbol, {137, 44, 90, 98},
     &Base::hotspotReleasePath, &Base::isReleaseActive, &Base::valueRelease, &Base::isReleaseSelected, nullptr},
    {"threshold", Kind::knob, kov_address::threshold, {329, 94}, kKnobSymbol, {284, 45, 90, 98},
     &Base::hotspotThresholdPath, &Base::isThresholdActive, &Base::valueThreshold, &Base::isThresholdSelected, nullptr},
    {"ratio", Kind::knob, kov_address::ratio, {428, 94}, kKnobSymbol, {384, 45, 90, 98},
     &Base::hotspotRatioPath, &Base::isRatioActive, &Base::valueRatio, &Base::isRatioSelected, nullptr},
    {"gain", Kind::knob, kov_address::gain, {83.5, 201.5}, kKnobSymbol, {39, 153, 90, 98},
     &Base::hotspotGainPath, &Base::isGainActive, &Base::valueGain, &Base::isGainSelected, nullptr},
    {"mix", Kind::knob, kov_address::mix, {428.5, 201.5}, kKnobSymbol, {384, 158, 90, 98},
     &Base::hotspotMixPath, &Base::isMixActive, &Base::valueMix, &Base::isMixSelected, nullptr},
    {"bypass", Kind::button, kov_address::bypass, {87.9, 283.86}, kButtonSymbol, {44, 266, 90, 36},
     &Base::hotspotBypassPath, &Base::isBypassActive, nullptr, &Base::isBypassSelected, nullptr},
    {"audition", Kind::button, kov_address::audition, {423.9, 281.86}, kButtonSymbol, {380, 264, 90, 36},
     &Base::hotspotAuditionPath, &Base::isAuditionActive, nullptr, &Base::isAuditioSelected, nullptr},
    {"caption", Kind::caption, KOVPanelControl::kNone, {}, {}, {166, 264, 180, 36},
     &Base::hotspotCaptionPath, nullptr, nullptr, nullptr, nullptr},
    {"meter", Kind::meter, KOVPanelControl::kNone, {153, 242}, kMeterSymbol, {166, 151, 180, 90},
     &Base::hotspotMeterPath, nullptr, &Base::valueThreshold, nullptr, nullptr},
    {"mode", Kind::mode, kov_address::mode, {256.7, 74.7}, kModeSymbol, {227, 54, 57, 45},
     &Base::hotspotModePath, &Base::isModeActive, nullptr, nullptr, &Base::valueMode},
}};

// The order the elements are painted in (later ones over earlier ones); the caption is the title
// text, painted after them.
inline constexpr std::array<Index, 10> drawingOrder = {
    attack, release, mode, threshold, ratio, meter, gain, mix, bypass, audition};
// clang-format on

// The table's own rules, checked when it is compiled: names and addresses stand once each, and
// every control but the caption is painted exactly once.
constexpr bool isWellFormed() {
  for (std::size_t i = 0; i < controls.size(); ++i) {
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      if (controls[i].name == controls[j].name)
        return false;
      if (controls[i].address != KOVPanelControl::kNone && controls[i].address == controls[j].address)
        return false;
    }
    std::size_t painted = 0;
    for (const Index index : drawingOrder)
      painted += index == i ? 1 : 0;
    if (painted != (controls[i].kind == Kind::caption ? 0u : 1u))
      return false;
  }
  return true;
}
static_assert(isWellFormed());

// The control with this hotspot name, or null ("" and unknown names).
constexpr const KOVPanelControl* named(std::string_view name) {
  for (const KOVPanelControl& control : controls) {
    if (control.name == name)
      return &control;
  }
  return nullptr;
}

// The control that shows this parameter address, or null (the filters, the final limiter and
// unknown addresses are not shown).
constexpr const KOVPanelControl* showing(int address) {
  for (const KOVPanelControl& control : controls) {
    if (control.address != KOVPanelControl::kNone && control.address == address)
      return &control;
  }
  return nullptr;
}

}  // namespace kov_panel
