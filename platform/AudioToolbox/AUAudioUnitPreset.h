// Presets and view configurations of audio units.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "AudioToolbox/CoreAudioTypes.h"

// A preset record: a number of 0 or more is a factory preset, a negative number a user preset.
// [main]
class AUAudioUnitPreset {
 public:
  AUAudioUnitPreset() = default;
  AUAudioUnitPreset(NSInteger number, std::string name) : number_(number), name_(std::move(name)) {}

  NSInteger number() const { return number_; }
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  // "<AUAudioUnitPreset: 0x…> 3 \"Drum Punch\"" (one line)
  std::string description() const;

 private:
  NSInteger number_ = 0;
  std::string name_;
};

// One size of view a host offers a unit's editor.
struct AUAudioUnitViewConfiguration {
  double width = 0;
  double height = 0;
  bool hostHasController = false;
};

// A set of indices (of view configurations). [any]
class IndexSet {
 public:
  IndexSet() = default;
  void insert(NSInteger index) { indices_.insert(index); }
  bool contains(NSInteger index) const { return indices_.count(index) != 0; }
  NSInteger count() const { return NSInteger(indices_.size()); }
  bool isEmpty() const { return indices_.empty(); }
  auto begin() const { return indices_.begin(); }
  auto end() const { return indices_.end(); }
  bool operator==(const IndexSet&) const = default;
  // The count and the word "indexes", whatever the count: "0 indexes", "1 indexes", "2 indexes".
  std::string description() const;

 private:
  std::set<NSInteger> indices_;
};
