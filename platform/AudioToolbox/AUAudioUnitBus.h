// Audio-unit buses and bus arrays. A bus carries the format of one input or output of a unit;
// hosts set it before allocating render resources. Buses and arrays are objects with identity
// (held by shared pointer): a unit hands out the same array every time.
//
// Threads: everything here is [main] — the host's control thread(s), never the render thread.
// Nothing is locked; hosts do not reformat a bus while another thread reads it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AVFoundation/AVAudioFormat.h"
#include "AudioToolbox/CoreAudioTypes.h"

class NSError;

enum class AUAudioUnitBusType : NSInteger {
  input = 1,
  output = 2,
};

// "AUAudioUnitBusType(rawValue: 1)" / "(rawValue: 2)"
std::string describe(AUAudioUnitBusType busType);

// Sample-rate range a bus accepts, in hertz (inclusive).
inline constexpr double kAUAudioUnitBusMinimumSampleRate = 8000.0;
inline constexpr double kAUAudioUnitBusMaximumSampleRate = 192000.0;

class AUAudioUnitBus {
 public:
  // init(format:) throws: an NSError (NSOSStatusErrorDomain, kAudioUnitErr_FormatNotSupported)
  // when the format is refused (see `setFormat`). maximumChannelCount starts at 2.
  explicit AUAudioUnitBus(std::shared_ptr<AVAudioFormat> format);
  // initWithFormat:error: — null (and the error in *outError, when given) on refusal.
  static std::shared_ptr<AUAudioUnitBus> make(std::shared_ptr<AVAudioFormat> format,
                                              std::shared_ptr<NSError>* outError = nullptr);

  std::shared_ptr<AVAudioFormat> format() const { return format_; }
  // Refuses (throws NSError, NSOSStatusErrorDomain, kAudioUnitErr_FormatNotSupported, with a
  // localized description naming the reason) an absent format, a format that is not 32-bit
  // float or is interleaved, a rate outside 8 kHz..192 kHz (0 included), and a channel count of
  // 0 or above `maximumChannelCount`. A refused set leaves the bus as it was. A bus of a unit
  // whose render resources are allocated accepts new formats too: the unit takes them at its
  // next allocation.
  void setFormat(std::shared_ptr<AVAudioFormat> format);
  // setFormat:error: — false (and the error in *outError, when given) on refusal.
  bool setFormat(std::shared_ptr<AVAudioFormat> format, std::shared_ptr<NSError>* outError);

  AVAudioChannelCount maximumChannelCount() const { return maximumChannelCount_; }
  void setMaximumChannelCount(AVAudioChannelCount count) { maximumChannelCount_ = count; }

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  // Whether the host should give the unit buffers to render into (true) or may pass null data
  // pointers for in-place rendering.
  bool shouldAllocateBuffer() const { return shouldAllocateBuffer_; }
  void setShouldAllocateBuffer(bool value) { shouldAllocateBuffer_ = value; }

  const std::optional<std::string>& name() const { return name_; }
  void setName(std::optional<std::string> name) { name_ = std::move(name); }

  // Position in its bus array and the array's type; set when the bus joins an array
  // (index 0 and type output before).
  NSUInteger index() const { return index_; }
  AUAudioUnitBusType busType() const { return busType_; }

  // Seconds between the host's presentation time stamp and this bus's audio.
  double contextPresentationLatency() const { return contextPresentationLatency_; }

  // "<AUAudioUnitBus: 0x…> output 0, enabled, 2 ch, 48000 Hz" (one line)
  std::string description() const;

 private:
  friend class AUAudioUnitBusArray;
  std::shared_ptr<AVAudioFormat> format_;
  AVAudioChannelCount maximumChannelCount_ = 2;
  bool enabled_ = true;
  bool shouldAllocateBuffer_ = true;
  std::optional<std::string> name_;
  NSUInteger index_ = 0;
  AUAudioUnitBusType busType_ = AUAudioUnitBusType::output;
  double contextPresentationLatency_ = 0.0;
};

class AUAudioUnitBusArray {
 public:
  // initWithAudioUnit:busType:busses: — the busses get their index (position) and type.
  explicit AUAudioUnitBusArray(AUAudioUnitBusType busType,
                               std::vector<std::shared_ptr<AUAudioUnitBus>> busses = {});

  NSUInteger count() const { return busses_.size(); }
  // Element i; null when i is out of range.
  std::shared_ptr<AUAudioUnitBus> operator[](NSUInteger index) const;
  std::shared_ptr<AUAudioUnitBus> objectAtIndexedSubscript(NSUInteger index) const { return (*this)[index]; }
  AUAudioUnitBusType busType() const { return busType_; }
  // Replaces the busses (renumbering them). For the unit that owns the array.
  void replaceBusses(std::vector<std::shared_ptr<AUAudioUnitBus>> busses);

  auto begin() const { return busses_.begin(); }
  auto end() const { return busses_.end(); }

  // "<AUAudioUnitBusArray: 0x…> output, 1 bus" (one line)
  std::string description() const;

 private:
  AUAudioUnitBusType busType_;
  std::vector<std::shared_ptr<AUAudioUnitBus>> busses_;
};
