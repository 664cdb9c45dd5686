// The drawing object behind the dynamics gauge: the four live meter values and their painting
// as four marks turning over a half circle (two needles for the gain-reduction values, two dots
// for the output peaks), on the panel's 512 x 340 design canvas with the 206 x 106 meter symbol
// at the panel meter's place. No dial, scale or text: the panel under it draws those.
//
// The gauge view (KOVDynamicsDisplayView) writes the values and calls drawMain from its drawing
// pass. The drawers need a current graphics context; without one they draw nothing and change
// nothing. [main]
#pragma once

#include "CoreGraphics/CGGeometry.h"
#include "ResizingBehavior.h"
#include "UIKit/UIColor.h"

class KOVDynamicsDisplayViewBase {
 public:
  using ResizingBehavior = ::ResizingBehavior;
  using ResizingBehavior0 = ::ResizingBehavior0;

  static constexpr CGRect kCanvas{0, 0, 512, 340};

  KOVDynamicsDisplayViewBase() = default;
  virtual ~KOVDynamicsDisplayViewBase() = default;
  KOVDynamicsDisplayViewBase(const KOVDynamicsDisplayViewBase&) = delete;
  KOVDynamicsDisplayViewBase& operator=(const KOVDynamicsDisplayViewBase&) = delete;

  // Set from the contrast; not drawn.
  UIColor colorContrast{0, 0, 0, 1};
  UIColor colorContrastInverted{1, 1, 1, 1};
  UIColor colorMain{0.753, 0.753, 0.753, 1};
  // Needle 1 and dot 1; needle 2 and dot 2.
  UIColor colorSelected1{0.76, 0.29, 0.29, 1};
  UIColor colorSelected2{0.195, 0.479, 0.75, 1};

  // Needles (gain reduction) and dots (output peaks); 0 points left, 0.5 up, 1 right.
  CGFloat value1 = 1.0;
  CGFloat value2 = 1.0;
  CGFloat value3 = 0.0;
  CGFloat value4 = 0.0;
  CGFloat valueThreshold = 0.5;  // handed to the meter drawer, which does not draw it

  // Scale of the last main-canvas mapping; (0, 0) until the first pass.
  CGSize viewScale{0, 0};

  virtual void drawMain(CGRect frame = kCanvas, ResizingBehavior0 resizing = ResizingBehavior0::aspectFit);
  // The rectangle drawMain(frame, resizing) confines the marks to (they are clipped to it), grown
  // by one unit on each side; nothing outside it changes with the values.
  static CGRect marksRect(CGRect frame, ResizingBehavior0 resizing = ResizingBehavior0::aspectFit);
  // The rectangle mark `mark` (1, 2: the needles; 3, 4: the dots) covers at `value` when
  // drawMain(frame, resizing) draws it: its segment's bounds grown by half its line width (the
  // round caps) and one unit more, cut to marksRect. Not finite for a value that is not.
  static CGRect markRect(CGRect frame, int mark, CGFloat value,
                         ResizingBehavior0 resizing = ResizingBehavior0::aspectFit);
  // The four marks on the 206 x 106 meter canvas, each turned (2v - 1) · 90° about its pivot.
  virtual void drawSymbolMeter(CGRect frame = {0, 0, 206, 106},
                               ResizingBehavior resizing = ResizingBehavior::aspectFit,
                               CGFloat valueMeter1 = 1, CGFloat valueMeter2 = 1, CGFloat valueMeter3 = 0,
                               CGFloat valueMeter4 = 0, CGFloat valueKnob = 0.5);
};
