// The component registry: which audio units exist and how to make them.
//
// Components are found by description: a zero type, subtype or manufacturer in the searched
// description matches any value; flags match when (component flags & mask) equals
// (searched flags & mask), the mask being the searched description's componentFlagsMask (a mask
// of 0 ignores flags). Components are listed in registration order: first the platform's own
// system effects, then the units registered in-process.
// A component handle stays valid for the life of the process.
//
// Threads: all functions are [main]/[any] off the render thread; the registry is guarded by a
// mutex. Factories run outside that lock, on the calling thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AudioToolbox/CoreAudioTypes.h"

class AUAudioUnit;
class NSError;

struct OpaqueAudioComponent;
using AudioComponent = OpaqueAudioComponent*;

// Makes a unit for the description asked for (the registered one's type, subtype and
// manufacturer, with the caller's flags). May throw NSError; a null result counts as failure.
using AUAudioUnitFactoryFunction = std::function<std::shared_ptr<AUAudioUnit>(
    const AudioComponentDescription& componentDescription, AudioComponentInstantiationOptions options)>;

// Component flags (layer's own meaning: informational).
inline constexpr UInt32 kAudioComponentFlag_SandboxSafe = 2;
inline constexpr UInt32 kAudioComponentFlag_IsV3AudioUnit = 4;
inline constexpr UInt32 kAudioComponentFlag_CanLoadInProcess = 16;

// Whether `component` is matched by the searched description `search` (rules above).
bool AudioComponentDescriptionMatches(const AudioComponentDescription& search,
                                      const AudioComponentDescription& component);

// The component after `inComponent` (null: the first) that matches `inDesc` (null: any);
// null when there is none.
AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc);
// How many components match `inDesc` (null: all).
UInt32 AudioComponentCount(const AudioComponentDescription* inDesc);
// kAudio_ParamError for a null handle or out pointer.
OSStatus AudioComponentGetDescription(AudioComponent inComponent, AudioComponentDescription* outDesc);
OSStatus AudioComponentCopyName(AudioComponent inComponent, std::string* outName);
OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion);

// Registers a unit made in-process under a description (its flags are the component's flags),
// a name ("Manufacturer: Unit name") and a version (0xMMMMmmbb). A later registration of the
// same type, subtype and manufacturer replaces the earlier one's name, version, flags and
// factory and keeps its handle. Returns the component.
AudioComponent AudioComponentRegister(const AudioComponentDescription& desc, std::string name,
                                      UInt32 version, AUAudioUnitFactoryFunction factory);

// Registers one of the platform's own effects. Called by platform code only, normally from
// the registrar below the first time the registry is used; the same replacement rule holds.
AudioComponent AudioComponentRegisterSystemEffect(const AudioComponentDescription& desc, std::string name,
                                                  UInt32 version, AUAudioUnitFactoryFunction factory);

// The registrar of the system peak limiter ('aufx', 'lmtr', 'appl'): defined beside the
// limiter (PeakLimiterUnit.cpp, with PeakLimiterUnit.h) and called by the registry once, on its
// first use. It registers through AudioComponentRegisterSystemEffect and must not look up or
// instantiate components itself (the registry is not open for that while it runs).
void registerSystemPeakLimiter();

// Makes a unit of the component (AUAudioUnit.instantiate(with:options:), synchronously).
// Null with *outError (when given) set when the handle is null (kAudio_ParamError) or the
// factory throws or gives nothing (its NSError, or kAudioUnitErr_FailedInitialization).
std::shared_ptr<AUAudioUnit> AudioComponentInstantiate(AudioComponent component,
                                                       AudioComponentInstantiationOptions options,
                                                       std::shared_ptr<NSError>* outError);

// Text forms as the diagnostics print them:
// "AudioComponentDescription(componentType: 1635083896, componentSubType: 1819112562,
//  componentManufacturer: 1634758764, componentFlags: 0, componentFlagsMask: 0)" (one line)
std::string describe(const AudioComponentDescription& desc);
// A handle or other address as 0x and 16 lower-case hex digits ("0x00005581d2c0e0a0").
std::string describeAddress(const void* address);
