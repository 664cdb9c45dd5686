// The effect module's one exported entry: the component registry calls it for a new principal
// class instance, the editor controller, which is also the unit factory. Everything else in the
// module is hidden. [main]
#include "AudioToolbox/AUAudioUnitFactory.h"
#include "AudioUnitViewController.h"

extern "C" std::shared_ptr<AUAudioUnitFactory> kov_principal_class_create() {
  return makePrincipalClass();
}
