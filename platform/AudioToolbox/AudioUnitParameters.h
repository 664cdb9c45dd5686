// The v2 audio-unit handle and its parameter calls. A handle belongs to an AVAudioUnit (or to
// whoever made it with AudioComponentInstanceNew) and reaches that object's AUAudioUnit; the
// parameters are those of the unit's tree, on the global scope, element 0, by address.
// Threads: [main]/[any] off the render thread (a set runs the tree's observers).
#pragma once

#include <memory>

#include "AudioToolbox/AudioComponent.h"
#include "AudioToolbox/CoreAudioTypes.h"

class AUAudioUnit;

struct ComponentInstanceRecord;
using AudioComponentInstance = ComponentInstanceRecord*;
using AudioUnit = AudioComponentInstance;

// Makes a unit of the component and a handle for it. kAudio_ParamError for a null component or
// out pointer; the factory's failure as kAudioUnitErr_FailedInitialization (or the code of its
// NSError when that is in NSOSStatusErrorDomain).
OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance);
// A handle for a unit that already exists (how AVAudioUnit makes its handle). Null for null.
AudioComponentInstance AudioComponentInstanceForAudioUnit(std::shared_ptr<AUAudioUnit> unit);
// Releases the handle (the unit lives on while others hold it). Null is ignored.
OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);
AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance);
// The unit behind a handle (null for null).
std::shared_ptr<AUAudioUnit> AudioUnitGetAUAudioUnit(AudioUnit inUnit);

// Sets parameter `inID` of the unit's tree to inValue with a plain set (observers run).
// kAudio_ParamError for a null handle, kAudioUnitErr_InvalidScope for a scope other than
// global, kAudioUnitErr_InvalidElement for an element other than 0,
// kAudioUnitErr_InvalidParameter when the tree is absent or holds no such address.
// inBufferOffsetInFrames is accepted and not used (the value takes effect at once).
OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue,
                               UInt32 inBufferOffsetInFrames);
// Reads the parameter's value (the tree's value read: its provider runs when installed).
// Same failures as the set; *outValue is left alone on failure.
OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue);
