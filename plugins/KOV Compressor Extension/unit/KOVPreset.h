// The front object of the preset model: one patch, filled from a parameter tree, from a state
// dictionary or from a preset file, and the registration of the delegate that every parameter
// read from a dictionary is reported to.
//
// The registration is per thread and weak: a unit registers itself and then reads, on the same
// thread, and only that read reports to it. Several units may restore at the same time on
// different threads without reaching each other's parameters, and a registration never keeps a
// released unit alive (it then reads as absent).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "AudioToolbox/CoreAudioTypes.h"
#include "Foundation/PropertyList.h"
#include "PresetPatch.h"

class AUParameterGroup;

class KOVPresetDelegate {
 public:
  virtual ~KOVPresetDelegate() = default;
  // One parameter read from a state: its group's number, identifier, address and value. [any]
  virtual void onFoundParameter(NSInteger group, const std::string& identifier, AUParameterAddress address,
                                AUValue value) = 0;
};

class KOVPreset {
 public:
  std::shared_ptr<PresetPatch> patch = std::make_shared<PresetPatch>();

  // Reports one parameter to the calling thread's delegate, if one is registered. [any]
  static void foundParameter(NSInteger group, const std::string& identifier, AUParameterAddress address,
                             AUValue value);

  // The calling thread's registered delegate (null when none, or when it was released). [any]
  static std::shared_ptr<KOVPresetDelegate> delegate();
  // Registers a delegate for the calling thread (null clears it); held weakly. [any]
  static void setDelegate(const std::shared_ptr<KOVPresetDelegate>& delegate);

  // Appends one group per group child of the tree, depth first, each with the group's
  // `allParameters` and their current values. Without a tree: prints
  // "PresetPatch: The parameter group has no children." and changes nothing. [any]
  void makeFrom(const std::shared_ptr<AUParameterGroup>& tree);
  // Reads the state into the patch (reporting every parameter); nothing without a state. [any]
  void makeFrom(const std::optional<PropertyList::Dictionary>& state);
  // The patch's dictionary; always present.
  std::optional<PropertyList::Dictionary> getDictionary() const;

  void save(const URL& url) const;
  void load(const URL& url);
};
