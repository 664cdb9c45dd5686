// The info overlay: a message that fades and grows in over 320 animator frames, then at once
// shrinks and fades out over 120, then hides. Each phase is one Animator of the toolkit, kept
// alive only by its own running timer; the overlay's alpha and scale both follow the value. [main]
#include <memory>

#include "Animator.h"
#include "AudioUnitViewController.h"

namespace {

constexpr std::int64_t kShowFrames = 320;
constexpr std::int64_t kHideFrames = 120;
constexpr float kFrameInterval = 0.009f;  // seconds, as a Float: exactly 0.008999999612569809

// The overlay update of both phases: alpha v and a scale of v on both axes.
void applyOverlayValue(const std::weak_ptr<AudioUnitViewController>& weak, float v) {
  const auto controller = weak.lock();
  if (!controller)
    return;
  controller->infoView->setAlpha(v);
  controller->infoView->setTransform(CGAffineTransform::identity().scaledBy(v, v));
}

}  // namespace

void AudioUnitViewController::showInfo(const std::string& string) {
  infoMessage->setText(string);
  infoView->setHidden(false);
  infoView->setAlpha(0);
  auto animator = std::make_shared<Animator>(static_cast<float>(infoView->alpha()), 1.0f, kShowFrames,
                                             kFrameInterval, EnumEasing::EASING_easeOutExpo);
  const auto weak = weakSelf();
  animator->onAnimation = [weak](Animator&, float v) { applyOverlayValue(weak, v); };
  // No hold time: the hide phase starts on the tick that ends this one.
  animator->onFinished = [weak](Animator&, float) {
    if (const auto controller = weak.lock())
      controller->hideInfo();
  };
  animator->start();
}

void AudioUnitViewController::hideInfo() {
  auto animator = std::make_shared<Animator>(static_cast<float>(infoView->alpha()), 0.0f, kHideFrames,
                                             kFrameInterval, EnumEasing::EASING_easeInExpo);
  const auto weak = weakSelf();
  animator->onAnimation = [weak](Animator&, float v) { applyOverlayValue(weak, v); };
  // The last alpha and scale stay (about 0.056 of the start); the next show resets the alpha.
  animator->onFinished = [weak](Animator&, float) {
    const auto controller = weak.lock();
    if (!controller)
      return;
    controller->infoView->setHidden(true);
    controller->infoMessage->setText("");
  };
  animator->start();
}
