// The effect's audio unit: the object hosts talk to. It owns the kernel adapter, the parameter
// tree and the wrapper of the system peak limiter, whose buses are the buses hosts see and whose
// unit runs as the optional final limiter stage after the compressor (parameter 11).
//
// Threads: every member is [main] (the host's control threads and the editor) unless marked
// otherwise; the block from `internalRenderBlock` runs on the render thread [render] and
// allocates, locks and throws nothing. Logging goes through `safeprint`, so lines appear later,
// on the main queue. Several units may restore state on different threads at the same time.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AUPeakLimiter.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "Foundation/URL.h"
#include "KOVPreset.h"

class KOV_Compressor_ExtensionDSPKernelAdapter;
class KOV_Compressor_Extension_Parameters;

class KOV_Compressor_Extension_AudioUnit final : public AUAudioUnit, public KOVPresetDelegate {
 public:
  // init(componentDescription:options:): logs "AUExtension::init()" and "<manufacturer> :
  // <subtype>", then makes the adapter (48 kHz stereo), the parameter tree (which pushes the
  // defaults into the kernel) and the limiter wrapper. The options are not handed on. Throws
  // NSError (kAudioUnitErr_FailedInitialization) when the platform has no system limiter.
  explicit KOV_Compressor_Extension_AudioUnit(const AudioComponentDescription& componentDescription,
                                              AudioComponentInstantiationOptions options = 0);
  ~KOV_Compressor_Extension_AudioUnit() override;

  // ---- Preset delegate: sets the tree parameter at `address` (plain set, so every observer
  // runs), limited to the parameter's range; unknown addresses and NaN do nothing. [any]
  void onFoundParameter(NSInteger group, const std::string& identifier, AUParameterAddress address,
                        AUValue value) override;

  // ---- Capabilities (each getter logs its line) ---------------------------------------------
  IndexSet supportedViewConfigurations(
      const std::vector<AUAudioUnitViewConfiguration>& configurations) override;
  std::vector<NSInteger> parametersForOverviewWithCount(NSInteger count) override;
  bool isMusicDeviceOrEffect() override;
  NSInteger virtualMIDICableCount() override;
  std::vector<std::string> MIDIOutputNames() override;
  bool canPerformInput() override;
  bool canPerformOutput() override;
  bool canProcessInPlace() override;
  std::optional<std::vector<NSInteger>> channelCapabilities() override;
  std::optional<std::vector<NSInteger>> channelMap() override;
  void setChannelMap(std::optional<std::vector<NSInteger>> map) override;

  // ---- Buses and tree: the wrapped limiter's bus arrays themselves ------------------------
  std::shared_ptr<AUAudioUnitBusArray> inputBusses() override;
  std::shared_ptr<AUAudioUnitBusArray> outputBusses() override;
  std::shared_ptr<AUParameterTree> parameterTree() override;
  void setParameterTree(std::shared_ptr<AUParameterTree> tree) override;  // ignored
  AUMIDIOutputEventBlock MIDIOutputEventBlock() override;
  void setMIDIOutputEventBlock(AUMIDIOutputEventBlock block) override;

  // ---- Render resources, bypass, frame limit ----------------------------------------------
  // Gives the kernel the host's rate and blocks, formats both limiter buses with the output
  // format, allocates the limiter and sets its attack, decay and pre-gain. Throws the limiter's
  // allocation error.
  void allocateRenderResources() override;
  void deallocateRenderResources() override;
  void reset() override;
  AUAudioFrameCount maximumFramesToRender() const override;
  // Also sets the kernel's and the wrapped limiter's frame limit.
  void setMaximumFramesToRender(AUAudioFrameCount frames) override;
  bool shouldBypassEffect() const override;
  // Also bypasses the kernel and the wrapped limiter.
  void setShouldBypassEffect(bool bypass) override;

  // A new render block on every read (see the .cpp for what one call does).
  AUInternalRenderBlock internalRenderBlock() override;

  // ---- Full state and presets ---------------------------------------------------------------
  // [any] control thread: hosts save and restore from several threads at once. Each of these
  // operations runs whole under the unit's state lock, so a state read never sees half of a
  // restore, and restores and preset choices apply one after the other. Parameter observers run
  // inside a restore and may call these operations again on the same thread.
  std::optional<PropertyList::Dictionary> fullState() override;
  void setFullState(std::optional<PropertyList::Dictionary> state) override;
  bool supportsUserPresets() override { return false; }
  // The ".plist" files (extension in any case) of the factory folder, sorted by name and
  // numbered from 0.
  std::optional<std::vector<std::shared_ptr<AUAudioUnitPreset>>> factoryPresets() override;
  std::shared_ptr<AUAudioUnitPreset> currentPreset() override;
  void setCurrentPreset(std::shared_ptr<AUAudioUnitPreset> preset) override;
  // The state of the factory file named like the preset; throws NSError (NSOSStatusErrorDomain,
  // -66742) when there is none, or when the name could leave the factory folder.
  PropertyList::Dictionary presetStateFor(const AUAudioUnitPreset& preset) override;

  // ---- Operations of the editor --------------------------------------------------------------
  // Sets the tree parameter when the value differs, then hands the value to the kernel.
  // Negative and unknown addresses do nothing. [main]
  void setParameter(std::int32_t address, AUValue value);
  // The kernel's value of a tree parameter; 0 for negative and unknown addresses. [main]
  AUValue getParameter(std::int32_t address);
  double getSamplerate();
  // Meters, 0..1: gain reduction (1 = none) and output peak of each channel. [main]
  float getDynamicsValue1();
  float getDynamicsValue2();
  float getPeakValue1();
  float getPeakValue2();

  // Logs the tree's nodes, indented by `level` blanks, groups followed by their children.
  void dumpParameters(const std::string& name, const std::shared_ptr<AUParameterGroup>& tree,
                      NSInteger level);

  std::string className() const override {
    return "KOV_Compressor_Extension.KOV_Compressor_Extension_AudioUnit";
  }

  // The folder the factory presets are read from (absent without a resource folder).
  std::optional<URL> factoryPresetsFolder() const;

 private:
  friend struct AudioUnitTestAccess;  // tests read the kernel adapter, the limiter, the output list
  std::shared_ptr<AUAudioUnit> wrapped() const;
  AURenderPullInputBlock renderPullInputBlock();
  void debugprint(std::string_view text) const;
  void setSamplerate();
  // This unit as the preset reader's delegate, tied to the unit's life.
  std::shared_ptr<KOVPresetDelegate> presetDelegate();
  // The factory file for a preset name; absent when there is none or the name is unsafe.
  std::optional<URL> presetFileURL(const std::string& name) const;

  std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter> kernelAdapter;
  std::shared_ptr<KOV_Compressor_Extension_Parameters> parameters;
  std::shared_ptr<AUPeakLimiter> effect;
  AUMIDIOutputEventBlock _midiOutputEventBlock;
  // Serialises the state and preset operations and guards the three members after it; never
  // taken on the render thread. Recursive: a preset choice restores a state, and an observer of
  // a restored parameter may ask for the state.
  std::recursive_mutex stateMutex;
  std::optional<PropertyList::Dictionary> _fullState;
  std::vector<std::shared_ptr<AUAudioUnitPreset>> presets;
  std::shared_ptr<AUAudioUnitPreset> _currentPreset;
  // The output list of the render call in progress (the last one after it returns); written and
  // read on the render thread, atomic so that other threads may look at it.
  std::atomic<AudioBufferList*> currentOuputData{nullptr};
  // Expires with the unit: for a unit that no shared pointer owns, the weak preset registration
  // then reads as absent.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};
