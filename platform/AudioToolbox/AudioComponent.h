// The component registry: which audio units exist and how to make them.
//
// Components are found by description: a zero type, subtype or manufacturer in the searched
// description matches any value; flags match when (component flags & mask) equals
// (searched flags & mask), the mask being the searched description's componentFlagsMask (a mask
// of 0 ignores flags). Components are listed in registration order: first the platform's own
// system effects, then the effect bundles found in the standard plug-in folders (see
// AudioComponentPlugInFolders), then, as they come, units registered in-process and the bundles
// of folders added later.
// A component handle stays valid for the life of the process.
//
// A bundle's component is made in process: the registry asks the module's entry for a new
// principal class instance (AUAudioUnitFactory), asks that for the unit, and hands the host a
// unit whose references also keep that instance alive (the instance usually owns the unit too,
// so neither holds the other forever). The unit answers requestViewController with it.
//
// Threads: all functions are [main]/[any] off the render thread; the registry is guarded by a
// mutex. Factories run outside that lock, on the calling thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioToolbox/CoreAudioTypes.h"
#include "Foundation/ObjectAddress.h"

class AUAudioUnit;
class NSError;

struct OpaqueAudioComponent;
using AudioComponent = OpaqueAudioComponent*;

// Makes a unit for the description asked for (the registered one's type, subtype and
// manufacturer, with the caller's flags). May throw NSError; a null result counts as failure.
using AudioComponentFactoryFunction = std::function<std::shared_ptr<AUAudioUnit>(
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
AudioComponent AudioComponentRegister(const AudioComponentDescription& desc, std::string name, UInt32 version,
                                      AudioComponentFactoryFunction factory);

// Registers one of the platform's own effects. Called by platform code only, normally from
// the registrar below the first time the registry is used; the same replacement rule holds.
AudioComponent AudioComponentRegisterSystemEffect(const AudioComponentDescription& desc, std::string name,
                                                  UInt32 version, AudioComponentFactoryFunction factory);

// The registrar of the system peak limiter ('aufx', 'lmtr', 'appl'): defined beside the
// limiter (PeakLimiterUnit.cpp, with PeakLimiterUnit.h) and called by the registry once, on its
// first use. It registers through AudioComponentRegisterSystemEffect and must not look up or
// instantiate components itself (the registry is not open for that while it runs).
void registerSystemPeakLimiter();

// The folders searched for effect bundles, in search order: the program's own "PlugIns" folder
// beside its executable, the user's data folder ($XDG_DATA_HOME, by default ~/.local/share) and
// then each system data folder ($XDG_DATA_DIRS, by default /usr/local/share and /usr/share), each
// with the subfolder "kov-compressor/PlugIns", then the folders added below. The first bundle to
// register a type, subtype and manufacturer wins; later ones are skipped with a line on stderr.
std::vector<std::string> AudioComponentPlugInFolders();
// Adds a folder to search, after the others, and loads its bundles now (a folder that is
// searched already changes nothing). For tests and hosts with a plug-in folder of their own.
void AudioComponentAddPlugInFolder(std::string folder);

// Makes a unit of the component (AUAudioUnit.instantiate(with:options:), synchronously, on the
// calling thread). Null with *outError (when given) set when the handle is null
// (kAudio_ParamError) or the factory throws or gives nothing (its NSError, or
// kAudioUnitErr_FailedInitialization).
std::shared_ptr<AUAudioUnit> AudioComponentInstantiate(AudioComponent component,
                                                       AudioComponentInstantiationOptions options,
                                                       std::shared_ptr<NSError>* outError);

// Text forms as the diagnostics print them:
// "AudioComponentDescription(componentType: 1635083896, componentSubType: 1819112562,
//  componentManufacturer: 1634758764, componentFlags: 0, componentFlagsMask: 0)" (one line)
std::string describe(const AudioComponentDescription& desc);
