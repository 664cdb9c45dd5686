// The editor's clock and its one-shot refresh: the view's first load, the 25 Hz meter timer with
// its gating, the visibility test, and the push of every parameter value into the panel. [main]
#include <limits>

#include "AudioUnitViewController.h"
#include "Foundation/Print.h"
#include "KOVParameterAddresses.h"
#include "KOV_Compressor_Extension_AudioUnit.h"

namespace {
constexpr double kMeterInterval = 0.04;  // 25 ticks a second
}  // namespace

void AudioUnitViewController::viewDidLoad() {
  AUViewController::viewDidLoad();
  const auto strong = self();
  mainView->setDelegate(strong);
  mainView->setViewController(strong);
  currentView = pluginView;
  currentView->setHidden(false);
  startMeterTimer();
  if (!audioUnit())
    print("AudioUnitViewController: WARNING: The audio unit plugin is nil (yet?).");

  // A binding block that found the view unloaded left the binding to the view's load.
  if (bindingAwaitsView_ && audioUnit()) {
    bindingAwaitsView_ = false;
    bind();
  }
}

void AudioUnitViewController::startMeterTimer() {
  // Held weakly, so the timer does not keep a controller that is gone; the first tick after that
  // stops it (the controller's destructor normally has already).
  timer = Timer::scheduledTimer(kMeterInterval, true, [weak = weakSelf()](Timer& firing) {
    if (const auto strong = weak.lock()) {
      strong->onTimer(firing);
    } else {
      firing.invalidate();
    }
  });
}

void AudioUnitViewController::onTimer(Timer& /*instance*/) {
  const auto unit = audioUnit();
  if (!unit) {
    print("WARNING: The Audio unit is not initialized.");
    return;
  }
  if (unit->shouldBypassEffect())
    return;
  if (!isViewVisible(*mainView))
    return;
  // Only exactly 0 lets the meters through: 0.5 and NaN count as bypassed.
  if (!(unit->getParameter(kov_address::bypass) == 0.0f))
    return;

  const float dynamics1 = unit->getDynamicsValue1();
  const float dynamics2 = unit->getDynamicsValue2();
  displayView->setCompressionValues(dynamics1, dynamics2);
  const float peak1 = unit->getPeakValue1();
  const float peak2 = unit->getPeakValue2();
  displayView->setOutputValues(peak1, peak2);
}

bool AudioUnitViewController::isViewVisible(const UIView& view) const {
  if (!view.window())
    return false;
  const UIView* current = &view;
  for (;;) {
    const auto superview = current->superview();
    if (!superview)
      return true;  // the top-most view's own hidden state is not looked at
    if (!superview->bounds().intersects(current->frame()))
      return false;
    if (current->isHidden())
      return false;
    current = superview.get();
  }
}

void AudioUnitViewController::updateView() {
  if (!audioUnit())
    return;
  for (const auto& parameter : parameters) {
    const AUParameterAddress address = parameter->address();
    if (address > static_cast<AUParameterAddress>(std::numeric_limits<int>::max()))
      continue;
    mainView->setParameter(static_cast<int>(address), parameter->value());
  }
}
