// The factory side of an effect extension. An effect bundle's principal class adopts it: the
// component registry asks it for the units of the bundle's components, and a unit answers
// requestViewController with the very object that made it. The extension's view controller is
// usually its own factory, so that object is the editor the host shows. This interface knows
// nothing of views: the UI layer derives its view controller from it as well, and a host turns
// the object it is handed back into the view controller with std::dynamic_pointer_cast.
//
// An effect module exports exactly one C entry, `kov_principal_class_create`, that makes a new
// principal class instance; everything else in the module stays hidden.
//
// Threads: the registry calls the entry and the factory on the thread that instantiates: the
// main thread for AVAudioUnit.instantiate, the caller's for the synchronous forms [main].
#pragma once

#include <memory>

#include "AudioToolbox/CoreAudioTypes.h"

class AUAudioUnit;
class NSError;

class AUAudioUnitFactory {
 public:
  virtual ~AUAudioUnitFactory();
  AUAudioUnitFactory(const AUAudioUnitFactory&) = delete;
  AUAudioUnitFactory& operator=(const AUAudioUnitFactory&) = delete;

  // createAudioUnit(with:) throws: a new unit for the description the host asked with (handed
  // on unchanged). Throws NSError when the unit cannot be made. [main]
  virtual std::shared_ptr<AUAudioUnit> createAudioUnit(
      const AudioComponentDescription& componentDescription) = 0;

  // createAudioUnitWithComponentDescription:error: — the entry the registry calls. The unit, or
  // null with the thrown error stored through `outError` when that pointer is non-null. Any other
  // exception counts as an NSError of kAudioUnitErr_FailedInitialization with its text. [main]
  std::shared_ptr<AUAudioUnit> createAudioUnitWithComponentDescription(
      const AudioComponentDescription& componentDescription, std::shared_ptr<NSError>* outError);

 protected:
  AUAudioUnitFactory() = default;
};

// The module entry: a new principal class instance (null when it cannot be made). Defined by the
// effect module, which makes the object with std::make_shared so that it can share itself.
#define KOV_PRINCIPAL_CLASS_ENTRY_NAME "kov_principal_class_create"
extern "C" __attribute__((visibility("default"))) std::shared_ptr<AUAudioUnitFactory>
kov_principal_class_create();
using AUPrincipalClassEntry = std::shared_ptr<AUAudioUnitFactory> (*)();
