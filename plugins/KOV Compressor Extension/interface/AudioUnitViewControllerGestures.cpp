// The panel gestures: pan moves the panel's container, pinch zooms it about its centre, double
// tap puts it back in its fitted place, tap only releases the lock, long press shows and hides
// the side controls. Every frame a gesture computes derives from `controlFrame`, the frame at
// the gesture's start, never from the current frame, so no error accumulates. [main]
#include "AudioUnitViewController.h"

namespace {

using State = UIGestureRecognizerState;

// Zoom limits of the panel's width, in points, both inclusive.
constexpr CGFloat kPinchMinimumWidth = 128;
constexpr CGFloat kScalingMinimumWidth = 256;
constexpr CGFloat kMaximumWidth = 2048;

CGRect translated(const CGRect& rect, CGFloat dx, CGFloat dy) {
  return rect.applying(CGAffineTransform::identity().translatedBy(dx, dy));
}

// About the rectangle's centre: move the centre to the origin, scale, move it back.
CGRect scaledAboutCentre(const CGRect& rect, CGFloat scale) {
  const CGFloat cx = rect.minX() + rect.width() / 2;
  const CGFloat cy = rect.minY() + rect.height() / 2;
  return translated(rect, -cx, -cy)
      .applying(CGAffineTransform::identity().scaledBy(scale, scale))
      .applying(CGAffineTransform::identity().translatedBy(cx, cy));
}

}  // namespace

void AudioUnitViewController::onPanGesture(UIPanGestureRecognizer& recognizer) {
  // Tested on every callback: one that comes while a control holds the lock is dropped, ended
  // included, so lockAutoLayout can stay set until a later pan or pinch ends.
  if (!isSizeable || touchesLocked())
    return;
  switch (recognizer.state()) {
    case State::began:
      lockAutoLayout = true;
      controlFrame = currentView->frame();
      break;
    case State::changed: {
      const CGPoint t = recognizer.translation(view().get());
      currentView->setFrame(translated(controlFrame, t.x, t.y));
      break;
    }
    case State::ended:
      lockAutoLayout = false;
      controlFrame = currentView->frame();
      setTouchesLocked(false);
      break;
    case State::cancelled:
      controlFrame = currentView->frame();
      lockAutoLayout = false;
      setTouchesLocked(false);
      break;
    default:
      break;
  }
}

void AudioUnitViewController::onPinchGesture(UIPinchGestureRecognizer& recognizer) {
  if (!isSizeable)
    return;
  setTouchesLocked(false);
  switch (recognizer.state()) {
    case State::began:
      lockAutoLayout = true;
      controlFrame = currentView->frame();
      break;
    case State::changed: {
      // Out of range is ignored, not clamped: the panel waits at its last accepted size.
      const CGRect candidate = scaledAboutCentre(controlFrame, recognizer.scale());
      if (candidate.width() >= kPinchMinimumWidth && candidate.width() <= kMaximumWidth) {
        currentView->setFrame(candidate);
      }
      break;
    }
    case State::ended:
      lockAutoLayout = false;
      controlFrame = currentView->frame();
      break;
    case State::cancelled:
      lockAutoLayout = false;
      break;
    default:
      break;
  }
}

void AudioUnitViewController::onDoubleTapGesture(UITapGestureRecognizer& /*recognizer*/) {
  setTouchesLocked(false);
  const CGRect bounds = view()->bounds();
  resetpluginView(bounds.width(), bounds.height());
}

void AudioUnitViewController::onTapGesture(UITapGestureRecognizer& /*recognizer*/) {
  setTouchesLocked(false);
  controlFrame = currentView->frame();
}

void AudioUnitViewController::onlongPressGesture(UILongPressGestureRecognizer& recognizer) {
  switch (recognizer.state()) {
    case State::began:
      contrastButton->setHidden(!contrastButton->isHidden());
      freezeButton->setHidden(contrastButton->isHidden());
      if (contrastButton->isHidden()) {
        brightnessSlider->setHidden(true);
        setTouchesLocked(false);
      } else {
        setTouchesLocked(true);  // the slider keeps its visibility
      }
      break;
    case State::ended:
      // Full strength whatever the slider shows: kept as the controls have always behaved.
      contrastButton->setAlpha(1.0);
      setTouchesLocked(false);
      break;
    default:
      break;
  }
}

void AudioUnitViewController::doTranslationTransform(UIView& view, const CGRect& origin, CGPoint position) {
  view.setFrame(translated(origin, position.x, position.y));
  view.setNeedsDisplay();
}

void AudioUnitViewController::doScalingTransform(UIView& view, const CGRect& origin, CGFloat scaling) {
  const CGRect candidate = scaledAboutCentre(origin, scaling);
  if (candidate.width() >= kScalingMinimumWidth && candidate.width() <= kMaximumWidth) {
    view.setFrame(candidate);
    view.setNeedsDisplay();
  }
}
