// The drawing object behind the compressor panel: every value, flag, colour and hit rectangle the
// panel shows, and the painting of the panel on its 512 x 340 design canvas (outline, six knobs,
// mode button, meter symbol, bypass and audition buttons, title), scaled into the view. Each
// drawing pass also publishes the eleven touch hotspots in canvas units. Where each control is
// drawn and touched, and which of the fields below are its, is the table in KOVPanelControls.h.
//
// The panel view (KOVCompressorView) writes the properties and calls drawMain from its drawing
// pass. Nothing is cached between draws: colours and values are read on every call. The drawers
// need a current graphics context; without one they draw nothing and change nothing. [main]
#pragma once

#include <memory>
#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "KOVCompressorViewDelegate.h"
#include "ResizingBehavior.h"
#include "UIKit/UIBezierPath.h"
#include "UIKit/UIColor.h"

class KOVCompressorViewBase {
 public:
  using ResizingBehavior = ::ResizingBehavior;
  using ResizingBehavior0 = ::ResizingBehavior0;

  static constexpr CGRect kCanvas{0, 0, 512, 340};

  KOVCompressorViewBase() = default;
  virtual ~KOVCompressorViewBase() = default;
  KOVCompressorViewBase(const KOVCompressorViewBase&) = delete;
  KOVCompressorViewBase& operator=(const KOVCompressorViewBase&) = delete;

  // The editor controller; the panel keeps it in step with its own. Not owned: the controller
  // owns the panel.
  std::weak_ptr<KOVCompressorViewController> viewController;

  UIColor colorContrast{0, 0, 0, 1};
  UIColor colorContrastInverted{1, 1, 1, 1};
  // Outline, title and every symbol's normal state.
  UIColor colorMain{0.753, 0.753, 0.753, 1};
  UIColor colorSelected1{0.76, 0.29, 0.29, 1};
  UIColor colorSelected2{0.195, 0.479, 0.75, 1};
  UIColor colorHotspots{0.652, 0.8, 0.32, 0.198};  // kept, never drawn

  // An element being touched is drawn at scale 1.5 instead of 1.1.
  bool isAttackActive = false;
  bool isReleaseActive = false;
  bool isThresholdActive = false;
  bool isModeActive = false;
  bool isRatioActive = false;
  bool isGainActive = false;
  bool isMixActive = false;
  bool isBypassActive = false;
  bool isAuditionActive = false;

  // Knob positions, 0...1 in normal use (values from the host are not clamped).
  CGFloat valueAttack = 0.5;
  CGFloat valueRelease = 0.5;
  CGFloat valueThreshold = 0.5;  // also the meter symbol's needle
  CGFloat valueRatio = 0.5;
  CGFloat valueGain = 0.5;
  CGFloat valueMix = 0.5;
  // The mode button's caption: "dual", "linked" or "m/s".
  std::string valueMode = "dual";

  // Selected state handed to the symbols. Bypass and audition (spelled without the n) are the
  // two switches; nothing sets the knob flags.
  bool isAttackSelected = false;
  bool isReleaseSelected = false;
  bool isThresholdSelected = false;
  bool isRatioSelected = false;
  bool isGainSelected = false;
  bool isMixSelected = false;
  bool isBypassSelected = false;
  bool isAuditioSelected = false;

  // The meter symbol's first two values; it does not draw them.
  CGFloat value1 = 1.0;
  CGFloat value2 = 1.0;

  // Touch areas in canvas units, empty until the first drawing pass, replaced on every pass.
  UIBezierPath hotspotAttackPath;
  UIBezierPath hotspotReleasePath;
  UIBezierPath hotspotThresholdPath;
  UIBezierPath hotspotRatioPath;
  UIBezierPath hotspotGainPath;
  UIBezierPath hotspotMixPath;
  UIBezierPath hotspotBypassPath;
  UIBezierPath hotspotAuditionPath;
  UIBezierPath hotspotCaptionPath;
  UIBezierPath hotspotModePath;
  UIBezierPath hotspotMeterPath;

  // Scale of the last main-canvas mapping; (0, 0) until the first pass.
  CGSize viewScale{0, 0};

  // Paints the whole panel into `frame` (view points) and replaces the hotspot paths.
  virtual void drawMain(CGRect frame = kCanvas, ResizingBehavior0 resizing = ResizingBehavior0::aspectFit);

  // A knob on a 90 x 90 canvas: ring, pointer turned (2v - 1) · 145°, end dots, label above and
  // the value as a whole percentage below.
  virtual void drawSymbolKnob(CGRect frame = {0, 0, 90, 90},
                              ResizingBehavior resizing = ResizingBehavior::aspectFit,
                              CGFloat valueKnob = 0.5, const std::string& labelKnob = "parameter",
                              bool isSelected = true);
  // A half dial on a 206 x 106 canvas: dashed dome, pivot dot, base line and a faint needle
  // turned (2v - 1) · 90° by valueKnob. The two meter values are accepted and not drawn.
  virtual void drawSymbolMeter(CGRect frame = {0, 0, 206, 106},
                               ResizingBehavior resizing = ResizingBehavior::aspectFit,
                               CGFloat valueMeter1 = 0.774, CGFloat valueMeter2 = 0.799,
                               CGFloat valueKnob = 0.5);
  // A plain rounded frame on a 390 x 134 canvas.
  virtual void drawSymbolHistory(CGRect frame = {0, 0, 390, 134},
                                 ResizingBehavior resizing = ResizingBehavior::aspectFit);
  // An outlined push button with a centred label on an 86 x 38 canvas.
  virtual void drawSymbolButton(CGRect frame = {0, 0, 86, 38},
                                ResizingBehavior resizing = ResizingBehavior::aspectFit,
                                bool isSelected = true, const std::string& labelButton = "button");
  // A small filled and outlined button with a condensed bold label on a 54 x 26 canvas.
  virtual void drawSymbolButton2(CGRect frame = {0, 0, 54, 26},
                                 ResizingBehavior resizing = ResizingBehavior::aspectFit,
                                 const std::string& labelButton = "button");
};
