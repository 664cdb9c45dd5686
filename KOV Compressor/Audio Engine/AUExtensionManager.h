// The container's effect manager: finds the compressor in the platform's component registry,
// has the platform instantiate it, sets its context name, hands it to the engine player and
// tells the main screen (its delegate) that a unit is there and that start-up has finished. It
// also owns the engine player (play/stop, shut-down) and shows the unit's presets.
//
// Threads: made on the main thread. The registry search runs on the global queue; the platform
// delivers the instantiated unit on the main queue, so the engine wiring and both delegate calls
// run on the main thread. Every step holds the manager strongly until it has run, so the chain
// completes even when the owner lets go in between. All output is printed lines.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AUExtensionManagerDelegate.h"
#include "AVFoundation/AVAudioUnitComponent.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "Dispatch/DispatchQueue.h"
#include "Preset.h"

class AUEnginePlayerCalls;
class AUViewController;

class AUExtensionManager : public std::enable_shared_from_this<AUExtensionManager> {
 public:
  // init(delegate:): builds the manager around the engine player it is given (not null), stores
  // the delegate (strongly) and starts the search before returning. The search runs on
  // `searchQueue`, the global queue unless a test hands in a queue of its own. [main]
  static std::shared_ptr<AUExtensionManager> make(std::shared_ptr<AUExtensionManagerDelegate> delegate,
                                                  std::shared_ptr<AUEnginePlayerCalls> enginePlayer,
                                                  DispatchQueue& searchQueue = DispatchQueue::global());

  // The engine player, owned (shared) for the manager's life.
  const std::shared_ptr<AUEnginePlayerCalls> auEngine;
  // The effect's editor controller, set by the main screen when it embeds it.
  std::shared_ptr<AUViewController> viewController;

  // The factory presets of the unit, wrapped, in the unit's order; empty without a unit or list.
  std::vector<Preset> presets() const;
  // The unit's current preset; none without a unit. Setting writes it into the unit (a write
  // without a unit is dropped).
  std::optional<Preset> currentPreset() const;
  void setCurrentPreset(const std::optional<Preset>& preset);

  // Prints "WARNING: Audio unit is nil (yet?)." while there is no unit; otherwise does nothing.
  void connectParametersToControls();
  // The engine player's toggle(): its playing state after the switch. [main]
  bool togglePlayback();
  // The engine player's finalize().
  void cleanup();

  // The second message of the component log: "AUExtension (", then "type: ", "subtype: ",
  // "manufacturer: " with the codes as four-character text and "flags: " in "%#010x" form (2 is
  // 0x00000002, 0 is 0000000000), each on a line of its own, then ")".
  static std::string componentPropertiesText(const AudioComponentDescription& description);

 private:
  // Only `make` constructs (the manager must be shared before its first step runs).
  class Passkey {
    explicit Passkey() = default;
    friend class AUExtensionManager;
  };

 public:
  AUExtensionManager(Passkey, std::shared_ptr<AUExtensionManagerDelegate> delegate,
                     std::shared_ptr<AUEnginePlayerCalls> enginePlayer);

 private:
  using Completion = std::function<void()>;

  void loadForRelease(DispatchQueue& searchQueue);
  void search();
  void selectfoundComponent(const std::shared_ptr<AVAudioUnitComponent>& component,
                            Completion completionHandler);
  void log(const AudioComponentDescription& description);
  void selectAudioUnitWithComponentDescription(const std::optional<AudioComponentDescription>& description,
                                               Completion completionHandler);
  void onFoundComponent();

  std::shared_ptr<AUExtensionManagerDelegate> delegate;
  // Whose presets `presets` and `currentPreset` show: the instantiated unit, from the moment the
  // platform delivers it.
  std::shared_ptr<AUAudioUnit> audioUnit;
  // Kept, not used by the search.
  std::string componentName = "QFLD: KOV Compressor Extension";
  // The search key: a music effect, 'kvc1' by 'QFLD', sandbox-safe; flags not compared.
  AudioComponentDescription componentDescription{FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2, 0};
  // The last search's result in the registry's order; written only by the search.
  std::vector<std::shared_ptr<AVAudioUnitComponent>> _availableAudioUnits;
};
