// The compressor panel: the control the user touches to turn the six knobs, switch bypass and
// audition and step the channel mode, and the view that shows every value the host sets.
//
// It keeps no values of its own: values, flags, hit rectangles and the canvas scale live in its
// drawing object (baseClass), which also paints it. Touches are mapped to canvas units by
// dividing by the scale of the last drawing pass, tested against the eleven hotspots in order
// (the first that contains the point wins) and turned into edits that go to the delegate. While
// a control is held the controller's touchesLocked is set, so a drag on a knob does not move the
// panel. The touch handlers consume every touch (nothing goes to the next responder) and send
// the control events themselves. [main]
#pragma once

#include <memory>
#include <string>

#include "KOVCompressorViewBase.h"
#include "KOVCompressorViewDelegate.h"
#include "UIKit/NSCoder.h"
#include "UIKit/UIControl.h"

class KOVCompressorView : public UIControl {
 public:
  static std::shared_ptr<KOVCompressorView> make(CGRect frame = CGRect());
  // From the interface description.
  static std::shared_ptr<KOVCompressorView> make(const NSCoder& coder);

  // The editor controller. Setting it also sets the drawing object's. Not owned (the controller
  // owns the panel); a touch does nothing while there is none.
  std::shared_ptr<KOVCompressorViewController> viewController() const { return viewController_.lock(); }
  void setViewController(const std::shared_ptr<KOVCompressorViewController>& controller);
  // Receives every edit made on the panel. Not owned, for the same reason.
  std::shared_ptr<KOVCompressorViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<KOVCompressorViewDelegate>& delegate) { delegate_ = delegate; }
  // The drawing object: values, flags, hotspots, viewScale.
  KOVCompressorViewBase& baseClass() const { return *baseClass_; }
  void setBaseClass(std::shared_ptr<KOVCompressorViewBase> baseClass);

  // ---- values from the audio unit

  // Shows a parameter value: addresses 0-5 set the knobs, 6 the mode label (its whole part 0, 1
  // or 2; anything else leaves the label), 7 and 8 the switches (on only for exactly 1.0); other
  // addresses change nothing. Prints "editor received parameter : address: N, value: F" for
  // every call and redraws. Never calls the delegate.
  virtual void setParameter(int address, float value);
  // Contrast c: colorContrast and colorMain become the opaque grey 1 - c, colorContrastInverted
  // the grey c (not clamped: the drawing clamps them). Redraws.
  virtual void setContrast(CGFloat contrast);
  virtual void setFocus(bool focus);

  // Paints the whole panel into the bounds (aspect fit), which records the scale and hotspots
  // the touch mapping uses; a hidden panel draws nothing and keeps the last ones.
  void draw(const CGRect& rect) override;

  // ---- touches

  // The name of the first hotspot (in the panel's order) that contains the canvas point, or ""
  // when none does, stored and printed on a line of its own.
  virtual void setHotspotMode(CGPoint location);
  using UIControl::hitTest;
  virtual bool hitTest(CGPoint location, const UIBezierPath& path) const { return path.contains(location); }
  const std::string& hotspotMode() const { return hotspotMode_; }

  void touchesBegan(const UITouchSet& touches, const UIEvent* event) override;
  void touchesMoved(const UITouchSet& touches, const UIEvent* event) override;
  void touchesEnded(const UITouchSet& touches, const UIEvent* event) override;
  void touchesCancelled(const UITouchSet& touches, const UIEvent* event) override;

 protected:
  explicit KOVCompressorView(CGRect frame);

 private:
  // A window point in canvas units: in the panel's coordinates, divided by the scale of the last
  // drawing pass, no offset (the panel fills a container of the canvas's aspect ratio).
  CGPoint canvasPoint(CGPoint windowLocation) const;
  // The held touch in canvas units, as far as it moved on screen: a move of the panel under the
  // touch (a double tap refitting it, a host resizing it) is not a move of the touch.
  CGPoint trackedPoint(const UITouch& touch);
  void setActiveFlag(bool active);

  std::weak_ptr<KOVCompressorViewController> viewController_;
  std::weak_ptr<KOVCompressorViewDelegate> delegate_;
  std::shared_ptr<KOVCompressorViewBase> baseClass_ = std::make_shared<KOVCompressorViewBase>();
  std::string hotspotMode_;
  CGPoint startLocation_{0, 0};  // the touch-down point in canvas units
  CGPoint lastWindowLocation_{0, 0};  // the held touch's last point, in the window
  CGPoint lastLocation_{0, 0};        // and in canvas units, as trackedPoint() gave it
  CGPoint panelShift_{0, 0};          // how far the panel moved under the touch, in canvas units
  CGFloat scaler_ = 1.0;         // drag sensitivity
  CGFloat savedValue_ = 0;       // the touched knob's value at touch-down
};
