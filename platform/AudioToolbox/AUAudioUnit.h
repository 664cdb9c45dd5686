// The audio-unit base class. Effects derive from it and override its virtual members; hosts
// drive units through it: buses, parameters, presets, state, render resources and the render
// block. Units are held by shared pointer.
//
// Threads: every member is [main] (the host's control threads: never the render thread)
// unless marked otherwise. No member takes a lock, except that construction and `instantiate`
// consult the component registry (which has its own mutex). The blocks returned by `internalRenderBlock`
// and `renderBlock` are made on the host's thread and called on the render thread [render];
// calling them allocates nothing here. `maximumFramesToRender` and `shouldBypassEffect` are
// atomics that the render thread may read while a host sets them.
//
// The base class keeps no render-resource bookkeeping that rendering depends on: a subclass
// whose allocation does not call the base's still renders through `renderBlock`.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioToolbox/AUAudioUnitBus.h"
#include "AudioToolbox/AUAudioUnitPreset.h"
#include "AudioToolbox/AUParameters.h"
#include "AudioToolbox/AudioComponent.h"
#include "AudioToolbox/CoreAudioTypes.h"
#include "Foundation/NSError.h"
#include "Foundation/PropertyList.h"

class AUAudioUnitFactory;

class AUAudioUnit : public std::enable_shared_from_this<AUAudioUnit> {
 public:
  // init(componentDescription:options:) throws. Stores the description and looks up the
  // registered component for it (names and version come from there; none when unregistered).
  // The base initialiser itself does not fail; subclasses may throw NSError from theirs.
  explicit AUAudioUnit(const AudioComponentDescription& componentDescription,
                       AudioComponentInstantiationOptions options = 0);
  virtual ~AUAudioUnit();
  AUAudioUnit(const AUAudioUnit&) = delete;
  AUAudioUnit& operator=(const AUAudioUnit&) = delete;

  // initWithComponentDescription:options:error: for a unit class: the unit, or null with the
  // thrown NSError handed back through *outError (when given).
  template <typename Unit>
  static std::shared_ptr<Unit> initWithComponentDescription(const AudioComponentDescription& desc,
                                                            AudioComponentInstantiationOptions options,
                                                            std::shared_ptr<NSError>* outError) {
    try {
      return std::make_shared<Unit>(desc, options);
    } catch (const NSError& error) {
      if (outError)
        *outError = std::make_shared<NSError>(error);
      return nullptr;
    }
  }
  // registerSubclass:asComponentDescription:name:version: — in-process registration.
  static AudioComponent registerSubclass(AudioComponentFactoryFunction factory,
                                         const AudioComponentDescription& desc, std::string name,
                                         UInt32 version);
  // Makes a unit of the first component matching `desc` (zero fields match any), on the calling
  // thread. Null with *outError when none matches (kAudio_ParamError) or making it fails.
  static std::shared_ptr<AUAudioUnit> instantiate(const AudioComponentDescription& desc,
                                                  AudioComponentInstantiationOptions options,
                                                  std::shared_ptr<NSError>* outError);
  // The completion-handler form: calls the handler once, synchronously, with the unit or error.
  static void instantiate(
      const AudioComponentDescription& desc, AudioComponentInstantiationOptions options,
      const std::function<void(std::shared_ptr<AUAudioUnit>, std::shared_ptr<NSError>)>& completionHandler);

  // ---- Identity -------------------------------------------------------------------------
  const AudioComponentDescription& componentDescription() const { return componentDescription_; }
  // The registered component (null when the description is not registered).
  AudioComponent component() const { return component_; }
  // The registered name ("Apple: AUPeakLimiter"); none when unregistered.
  const std::optional<std::string>& componentName() const { return componentName_; }
  // The part of the name after ": " (the whole name when it has none).
  virtual std::optional<std::string> audioUnitName() const;
  // The part before ": "; none when the name has no ": ".
  virtual std::optional<std::string> manufacturerName() const;
  virtual std::optional<std::string> audioUnitShortName() const { return std::nullopt; }
  UInt32 componentVersion() const { return componentVersion_; }

  // ---- Render resources ------------------------------------------------------------------
  // Throws NSError when the unit cannot render with its bus formats. The base marks the
  // resources allocated; it throws kAudioUnitErr_InvalidPropertyValue for a maximum frame count
  // of 0.
  virtual void allocateRenderResources();
  // allocateRenderResourcesAndReturnError: — false with *outError when allocation throws.
  bool allocateRenderResourcesAndReturnError(std::shared_ptr<NSError>* outError);
  virtual void deallocateRenderResources();  // the base marks the resources released
  virtual void reset() {}
  bool renderResourcesAllocated() const { return renderResourcesAllocated_.load(std::memory_order_relaxed); }

  // The unit's render block. Made on the host's thread; the base has none (an empty function).
  virtual AUInternalRenderBlock internalRenderBlock();
  // The host-facing render block: reads `internalRenderBlock` now and returns a block that
  // calls it with no render events. It never refuses to render because of the base's
  // allocation flag; without an internal block it returns kAudioUnitErr_Uninitialized.
  AURenderBlock renderBlock();

  // ---- Properties the render thread reads ----------------------------------------------
  // Frames per render call at most; 4096 by default. [any]
  virtual AUAudioFrameCount maximumFramesToRender() const;
  virtual void setMaximumFramesToRender(AUAudioFrameCount frames);
  // [any]
  virtual bool shouldBypassEffect() const;
  virtual void setShouldBypassEffect(bool bypass);

  // ---- Buses ----------------------------------------------------------------------------
  // The base offers an empty input and an empty output array (the same objects on every read).
  virtual std::shared_ptr<AUAudioUnitBusArray> inputBusses();
  virtual std::shared_ptr<AUAudioUnitBusArray> outputBusses();

  // ---- Parameters -----------------------------------------------------------------------
  // The base stores the tree it is given (none at first).
  virtual std::shared_ptr<AUParameterTree> parameterTree();
  virtual void setParameterTree(std::shared_ptr<AUParameterTree> tree);
  // Addresses of the parameters a host should show in a compact view; the base: none.
  virtual std::vector<NSInteger> parametersForOverviewWithCount(NSInteger count);
  virtual bool allParameterValues() const { return false; }

  // ---- State and presets ----------------------------------------------------------------
  // The base's state: "manufacturer", "subtype", "type" and "version" (integers) and "data", a
  // dictionary from each parameter's address in decimal to its value (real). Setting applies
  // the "data" entries whose address the tree holds (a plain set, so observers run); other
  // entries and an absent state change nothing.
  virtual std::optional<PropertyList::Dictionary> fullState();
  virtual void setFullState(std::optional<PropertyList::Dictionary> state);
  // The base: none.
  virtual std::optional<std::vector<std::shared_ptr<AUAudioUnitPreset>>> factoryPresets();
  // The base stores the preset it is given (none at first).
  virtual std::shared_ptr<AUAudioUnitPreset> currentPreset();
  virtual void setCurrentPreset(std::shared_ptr<AUAudioUnitPreset> preset);
  // The base: none (an empty list).
  virtual std::vector<std::shared_ptr<AUAudioUnitPreset>> userPresets();
  virtual bool supportsUserPresets() { return false; }
  // presetState(for:) throws. The base throws NSError (NSOSStatusErrorDomain,
  // kAudioUnitErr_InvalidPropertyValue): it has no preset states.
  virtual PropertyList::Dictionary presetStateFor(const AUAudioUnitPreset& preset);
  // presetStateFor:error: — the state, or none with the thrown error in *outError.
  std::optional<PropertyList::Dictionary> presetStateForError(const AUAudioUnitPreset& preset,
                                                              std::shared_ptr<NSError>* outError);

  // ---- Capabilities ---------------------------------------------------------------------
  // True for music devices and music effects ('aumu', 'aumf').
  virtual bool isMusicDeviceOrEffect();
  virtual NSInteger virtualMIDICableCount() { return 0; }
  virtual std::vector<std::string> MIDIOutputNames() { return {}; }
  virtual bool canPerformInput() { return false; }
  virtual bool canPerformOutput() { return false; }
  virtual bool canProcessInPlace() { return false; }
  // Supported (input, output) channel-count pairs; none means any.
  virtual std::optional<std::vector<NSInteger>> channelCapabilities() { return std::nullopt; }
  // The base stores the map it is given (none at first).
  virtual std::optional<std::vector<NSInteger>> channelMap();
  virtual void setChannelMap(std::optional<std::vector<NSInteger>> map);
  // Indices of the offered configurations the editor supports; the base: all of them.
  virtual IndexSet supportedViewConfigurations(
      const std::vector<AUAudioUnitViewConfiguration>& configurations);
  virtual bool providesUserInterface() { return false; }
  virtual bool supportsMPE() { return false; }
  // Seconds of delay the unit adds, and of sound it keeps making after its input stops.
  virtual double latency() { return 0.0; }
  virtual double tailTime() { return 0.0; }
  // 0 (lowest) to 127 (highest); the base stores it, 127 at first.
  NSInteger renderQuality() const { return renderQuality_; }
  bool isRenderingOffline() const { return renderingOffline_; }
  const std::optional<std::string>& contextName() const { return contextName_; }
  void setContextName(std::optional<std::string> name) { contextName_ = std::move(name); }
  NSInteger MIDIOutputBufferSizeHint() const { return midiOutputBufferSizeHint_; }

  // requestViewController(completionHandler:): calls the handler once, on the main queue, with
  // the principal class instance of the effect bundle whose factory made this unit (the same
  // object; the UI layer casts it to its view controller). Null for a unit that no bundle made
  // (registered in-process, or made directly) and once the host has let go of the unit. [any]
  void requestViewController(std::function<void(std::shared_ptr<AUAudioUnitFactory>)> completionHandler);

  // ---- Host blocks ----------------------------------------------------------------------
  // Set by the host; empty when it gives none. The unit reads them off the render thread and
  // may hand copies to its render path.
  virtual AUMIDIOutputEventBlock MIDIOutputEventBlock();
  virtual void setMIDIOutputEventBlock(AUMIDIOutputEventBlock block);
  AUHostMusicalContextBlock musicalContextBlock() const { return musicalContextBlock_; }
  void setMusicalContextBlock(AUHostMusicalContextBlock block) { musicalContextBlock_ = std::move(block); }
  AUHostTransportStateBlock transportStateBlock() const { return transportStateBlock_; }
  void setTransportStateBlock(AUHostTransportStateBlock block) { transportStateBlock_ = std::move(block); }
  // Offered by the unit to hosts to schedule MIDI; read-only for hosts, none in the base.
  AUScheduleMIDIEventBlock scheduleMIDIEventBlock() const { return scheduleMIDIEventBlock_; }

  // "<AUAudioUnit: 0x…> 'aufx' 'lmtr' 'appl' \"Apple: AUPeakLimiter\"" (one line); subclasses
  // may name themselves through `className`.
  virtual std::string description();
  virtual std::string className() const { return "AUAudioUnit"; }

 private:
  // Sets principalClass_ for units of effect bundles.
  friend std::shared_ptr<AUAudioUnit> AudioComponentInstantiate(AudioComponent,
                                                                AudioComponentInstantiationOptions,
                                                                std::shared_ptr<NSError>*);

  AudioComponentDescription componentDescription_;
  AudioComponent component_ = nullptr;
  std::optional<std::string> componentName_;
  UInt32 componentVersion_ = 0;

  std::atomic<AUAudioFrameCount> maximumFramesToRender_{4096};
  std::atomic<bool> shouldBypassEffect_{false};
  std::atomic<bool> renderResourcesAllocated_{false};

  std::shared_ptr<AUAudioUnitBusArray> inputBusses_;
  std::shared_ptr<AUAudioUnitBusArray> outputBusses_;
  std::shared_ptr<AUParameterTree> parameterTree_;
  std::shared_ptr<AUAudioUnitPreset> currentPreset_;
  std::optional<std::vector<NSInteger>> channelMap_;
  NSInteger renderQuality_ = 127;
  bool renderingOffline_ = false;
  std::optional<std::string> contextName_;
  NSInteger midiOutputBufferSizeHint_ = 0;

  AUMIDIOutputEventBlock midiOutputEventBlock_;
  AUHostMusicalContextBlock musicalContextBlock_;
  AUHostTransportStateBlock transportStateBlock_;
  AUScheduleMIDIEventBlock scheduleMIDIEventBlock_;
  // Weak: the instance usually owns this unit; the host's references keep it alive instead.
  std::weak_ptr<AUAudioUnitFactory> principalClass_;
};
