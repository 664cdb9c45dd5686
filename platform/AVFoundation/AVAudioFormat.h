// Audio formats: sample rate, channel count, sample type and layout of PCM audio.
// Formats are immutable values held by shared pointer; two formats are equal when they
// describe the same stream (rate, channels, sample type, interleaving, channel layout).
#pragma once

#include <memory>
#include <string>

#include "AudioToolbox/CoreAudioTypes.h"
#include "Foundation/PropertyList.h"

enum class AVAudioCommonFormat : NSUInteger {
  otherFormat = 0,
  pcmFormatFloat32 = 1,
  pcmFormatFloat64 = 2,
  pcmFormatInt16 = 3,
  pcmFormatInt32 = 4,
};

// Text form of the enumeration value as it is printed: "AVAudioCommonFormat(rawValue: 1)".
std::string describe(AVAudioCommonFormat format);

// Channel layout tags: the high 16 bits name the layout, the low 16 bits the channel count.
using AudioChannelLayoutTag = UInt32;
inline constexpr AudioChannelLayoutTag kAudioChannelLayoutTag_Mono = (100u << 16) | 1;
inline constexpr AudioChannelLayoutTag kAudioChannelLayoutTag_Stereo = (101u << 16) | 2;
inline constexpr AudioChannelLayoutTag kAudioChannelLayoutTag_DiscreteInOrder = 147u << 16;

// Which speaker each channel feeds. Standard mono and stereo formats carry none.
class AVAudioChannelLayout {
 public:
  explicit AVAudioChannelLayout(AudioChannelLayoutTag layoutTag) : layoutTag_(layoutTag) {}
  AudioChannelLayoutTag layoutTag() const { return layoutTag_; }
  AVAudioChannelCount channelCount() const { return layoutTag_ & 0xFFFFu; }
  bool operator==(const AVAudioChannelLayout& other) const { return layoutTag_ == other.layoutTag_; }
  std::string description() const;  // "<AVAudioChannelLayout: 0x…, tag 0x930002, 2 ch>"

 private:
  AudioChannelLayoutTag layoutTag_;
};

// Keys of `settings()`: each key is its own name.
inline const std::string AVFormatIDKey = "AVFormatIDKey";
inline const std::string AVSampleRateKey = "AVSampleRateKey";
inline const std::string AVNumberOfChannelsKey = "AVNumberOfChannelsKey";
inline const std::string AVLinearPCMBitDepthKey = "AVLinearPCMBitDepthKey";
inline const std::string AVLinearPCMIsFloatKey = "AVLinearPCMIsFloatKey";
inline const std::string AVLinearPCMIsBigEndianKey = "AVLinearPCMIsBigEndianKey";
inline const std::string AVLinearPCMIsNonInterleaved = "AVLinearPCMIsNonInterleaved";

// All members are [any]: a format never changes after it is made.
class AVAudioFormat {
 public:
  // initStandardFormatWithSampleRate:channels: — 32-bit float, non-interleaved. Null for 0
  // channels, for more than 2 channels (those need a layout) and for a negative or non-finite
  // rate.
  static std::shared_ptr<AVAudioFormat> makeStandard(double sampleRate, AVAudioChannelCount channels);
  // initWithCommonFormat:sampleRate:channels:interleaved: — same refusals; otherFormat is refused.
  static std::shared_ptr<AVAudioFormat> make(AVAudioCommonFormat commonFormat, double sampleRate,
                                             AVAudioChannelCount channels, bool interleaved);
  // initStandardFormatWithSampleRate:channelLayout: — any channel count the layout names (>= 1).
  static std::shared_ptr<AVAudioFormat> makeStandard(double sampleRate,
                                                     std::shared_ptr<AVAudioChannelLayout> layout);
  // initWithStreamDescription: — linear PCM of float32/float64/int16/int32 samples only.
  static std::shared_ptr<AVAudioFormat> make(const AudioStreamBasicDescription& description);

  double sampleRate() const { return stream_.mSampleRate; }
  AVAudioChannelCount channelCount() const { return stream_.mChannelsPerFrame; }
  AVAudioCommonFormat commonFormat() const { return commonFormat_; }
  bool isInterleaved() const { return interleaved_; }
  // Standard: 32-bit float, non-interleaved (the format audio units render in).
  bool isStandard() const { return commonFormat_ == AVAudioCommonFormat::pcmFormatFloat32 && !interleaved_; }
  // Null for the standard mono and stereo formats made without a layout.
  std::shared_ptr<AVAudioChannelLayout> channelLayout() const { return channelLayout_; }
  const AudioStreamBasicDescription& streamDescription() const { return stream_; }
  // AVFormatIDKey, AVSampleRateKey, AVNumberOfChannelsKey, AVLinearPCMBitDepthKey,
  // AVLinearPCMIsFloatKey, AVLinearPCMIsBigEndianKey, AVLinearPCMIsNonInterleaved.
  PropertyList::Dictionary settings() const;
  // "<AVAudioFormat 0x…:  2 ch,  48000 Hz, Float32, non-inter>"
  std::string description() const;

  bool operator==(const AVAudioFormat& other) const;

  AVAudioFormat(AVAudioCommonFormat commonFormat, double sampleRate, AVAudioChannelCount channels,
                bool interleaved, std::shared_ptr<AVAudioChannelLayout> layout);

 private:
  AVAudioCommonFormat commonFormat_;
  bool interleaved_;
  std::shared_ptr<AVAudioChannelLayout> channelLayout_;
  AudioStreamBasicDescription stream_{};
};

// Equality of two possibly absent formats (both absent counts as equal).
bool sameFormat(const std::shared_ptr<AVAudioFormat>& a, const std::shared_ptr<AVAudioFormat>& b);
