// Placing the panel's container in whatever size the host gives the editor, and the three side
// controls: contrast button, brightness slider and freeze button. [main]
#include "AudioUnitViewController.h"

void AudioUnitViewController::viewDidLayoutSubviews() {
  AUViewController::viewDidLayoutSubviews();
  if (!lockAutoLayout)
    centerpluginView();
}

void AudioUnitViewController::centerpluginView() {
  if (!currentView)
    return;  // a layout pass before viewDidLoad has nothing to place yet
  const CGRect bounds = view()->bounds();
  resetpluginView(bounds.width(), bounds.height(), 0);
}

// Fits the panel (aspect `ratio`) to the height of an area wider than tall (or to its width when
// fitToHeight is off) and to the width otherwise, centred across the view's bounds along the
// other axis. No clamping: a panel fitted to the height of an area less than 1/ratio times as
// wide as tall overhangs left and right. A failed comparison (a NaN size) takes the width branch.
void AudioUnitViewController::resetpluginView(CGFloat w, CGFloat h, CGFloat inset) {
  const CGFloat W = w - 2 * inset;
  const CGFloat H = h - 2 * inset;
  const CGRect bounds = view()->bounds();
  CGRect frame;
  if (H < W && fitToHeight) {
    const CGFloat width = H / ratio;
    frame = CGRect(bounds.width() / 2 - width / 2 + inset, inset, width, H);
  } else {
    const CGFloat height = W * ratio;
    frame = CGRect(inset, bounds.height() / 2 - height / 2, W, height);
  }
  currentView->setFrame(frame);
}

void AudioUnitViewController::onContrastButton(UIButton& sender) {
  brightnessSlider->setHidden(!brightnessSlider->isHidden());
  // A button at full strength means on: here, the slider shown.
  if (brightnessSlider->isHidden()) {
    sender.setAlpha(0.5);
    setTouchesLocked(false);
  } else {
    sender.setAlpha(1.0);
    setTouchesLocked(true);
  }
}

void AudioUnitViewController::onBrightnessSlider(UISlider& sender) {
  const float contrast = sender.value();
  setTouchesLocked(true);
  pluginFrame->contrast = contrast;
  pluginFrame->setNeedsDisplay();
  mainView->setContrast(static_cast<CGFloat>(contrast));
  displayView->setContrast(static_cast<CGFloat>(contrast));
}

void AudioUnitViewController::onFreezeButton(UIButton& sender) {
  isSizeable = !isSizeable;
  sender.setAlpha(isSizeable ? 0.5 : 1.0);  // full strength: frozen
}
