#include "AudioToolbox/AUAudioUnitFactory.h"

#include <exception>

#include "AudioToolbox/AUAudioUnit.h"
#include "Foundation/NSError.h"

// Out of line, so that the class's type information lives in the platform library and a host
// can cast a principal class made inside a module to its own view-controller type.
AUAudioUnitFactory::~AUAudioUnitFactory() = default;

std::shared_ptr<AUAudioUnit> AUAudioUnitFactory::createAudioUnitWithComponentDescription(
    const AudioComponentDescription& componentDescription, std::shared_ptr<NSError>* outError) {
  auto fail = [&](NSError error) -> std::shared_ptr<AUAudioUnit> {
    if (outError)
      *outError = std::make_shared<NSError>(std::move(error));
    return nullptr;
  };
  try {
    return createAudioUnit(componentDescription);
  } catch (const NSError& error) {
    return fail(error);
  } catch (const std::exception& error) {
    return fail(NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization, error.what()));
  }
}
