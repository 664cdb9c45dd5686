// The factory protocol of an audio-unit extension: the object a host asks to create the unit for
// a component description (the extension's principal class). [any: the host's thread]
#pragma once

#include <memory>

#include "AudioToolbox/CoreAudioTypes.h"
#include "Foundation/NSError.h"

class AUAudioUnit;

class AUAudioUnitFactory {
 public:
  virtual ~AUAudioUnitFactory() = default;

  // createAudioUnit(with:): a new unit for the description; throws NSError when it cannot.
  virtual std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription& with) = 0;

  // createAudioUnitWithComponentDescription:error: — the same, with a thrown NSError handed back
  // through *outError (when given) and a null result.
  std::shared_ptr<AUAudioUnit> createAudioUnitWithComponentDescription(const AudioComponentDescription& desc,
                                                                       std::shared_ptr<NSError>* outError) {
    try {
      return createAudioUnit(desc);
    } catch (const NSError& error) {
      if (outError) *outError = std::make_shared<NSError>(error);
      return nullptr;
    }
  }
};
