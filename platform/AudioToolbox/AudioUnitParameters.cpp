#include "AudioToolbox/AudioUnitParameters.h"

#include "AudioToolbox/AUAudioUnit.h"

// The v2 handle: the unit it reaches and the component it was made from.
struct ComponentInstanceRecord {
  std::shared_ptr<AUAudioUnit> unit;
  AudioComponent component = nullptr;
};

OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance) {
  if (!inComponent || !outInstance)
    return kAudio_ParamError;
  std::shared_ptr<NSError> error;
  auto unit = AudioComponentInstantiate(inComponent, 0, &error);
  if (!unit) {
    *outInstance = nullptr;
    if (error && error->domain() == NSOSStatusErrorDomain && error->code() != 0)
      return OSStatus(error->code());
    return kAudioUnitErr_FailedInitialization;
  }
  *outInstance = new ComponentInstanceRecord{std::move(unit), inComponent};
  return noErr;
}

AudioComponentInstance AudioComponentInstanceForAudioUnit(std::shared_ptr<AUAudioUnit> unit) {
  if (!unit)
    return nullptr;
  AudioComponent component = unit->component();
  return new ComponentInstanceRecord{std::move(unit), component};
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance) {
  delete inInstance;
  return noErr;
}

AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance) {
  return inInstance ? inInstance->component : nullptr;
}

std::shared_ptr<AUAudioUnit> AudioUnitGetAUAudioUnit(AudioUnit inUnit) {
  return inUnit ? inUnit->unit : nullptr;
}

namespace {
// The parameter addressed by a v2 call, or the status that refuses the call.
OSStatus findParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                       AudioUnitElement element, std::shared_ptr<AUParameter>& parameter) {
  if (!unit || !unit->unit)
    return kAudio_ParamError;
  if (scope != kAudioUnitScope_Global)
    return kAudioUnitErr_InvalidScope;
  if (element != 0)
    return kAudioUnitErr_InvalidElement;
  auto tree = unit->unit->parameterTree();
  parameter = tree ? tree->parameterWithAddress(id) : nullptr;
  return parameter ? noErr : kAudioUnitErr_InvalidParameter;
}
}  // namespace

OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue, UInt32) {
  std::shared_ptr<AUParameter> parameter;
  if (OSStatus status = findParameter(inUnit, inID, inScope, inElement, parameter); status != noErr)
    return status;
  parameter->setValue(inValue);
  return noErr;
}

OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue) {
  if (!outValue)
    return kAudio_ParamError;
  std::shared_ptr<AUParameter> parameter;
  if (OSStatus status = findParameter(inUnit, inID, inScope, inElement, parameter); status != noErr)
    return status;
  *outValue = parameter->value();
  return noErr;
}
