// The base of an audio-unit extension's editor: a view controller that is also the extension's
// unit factory, so the host gets the unit and its editor from one object. Subclasses implement
// createAudioUnit(with:) and build their view as any controller does. The view belongs to the
// main thread [main]; the factory may be called on the host's thread [any].
#pragma once

#include "AudioToolbox/AUAudioUnitFactory.h"
#include "UIKit/UIViewController.h"

class AUViewController : public UIViewController, public AUAudioUnitFactory {
 public:
  AUViewController() = default;
  AUViewController(std::optional<std::string> nibName, const Bundle* bundle)
      : UIViewController(std::move(nibName), bundle) {}
  explicit AUViewController(const NSCoder& coder) : UIViewController(coder) {}
  ~AUViewController() override;
};
