#include "AVFoundation/AVAudioFormat.h"

#include <cmath>
#include <cstdio>

#include "Foundation/ObjectAddress.h"

namespace {

UInt32 bytesPerSample(AVAudioCommonFormat format) {
  switch (format) {
    case AVAudioCommonFormat::pcmFormatFloat32:
      return 4;
    case AVAudioCommonFormat::pcmFormatFloat64:
      return 8;
    case AVAudioCommonFormat::pcmFormatInt16:
      return 2;
    case AVAudioCommonFormat::pcmFormatInt32:
      return 4;
    case AVAudioCommonFormat::otherFormat:
      break;
  }
  return 0;
}

const char* sampleTypeName(AVAudioCommonFormat format) {
  switch (format) {
    case AVAudioCommonFormat::pcmFormatFloat32:
      return "Float32";
    case AVAudioCommonFormat::pcmFormatFloat64:
      return "Float64";
    case AVAudioCommonFormat::pcmFormatInt16:
      return "Int16";
    case AVAudioCommonFormat::pcmFormatInt32:
      return "Int32";
    case AVAudioCommonFormat::otherFormat:
      break;
  }
  return "other";
}

bool acceptableRate(double sampleRate) {
  return std::isfinite(sampleRate) && sampleRate >= 0.0;
}

}  // namespace

std::string describe(AVAudioCommonFormat format) {
  return "AVAudioCommonFormat(rawValue: " + std::to_string(NSUInteger(format)) + ")";
}

std::string AVAudioChannelLayout::description() const {
  char text[96];
  std::snprintf(text, sizeof text, "<AVAudioChannelLayout: %s, tag 0x%X, %u ch>",
                describeAddress(this).c_str(), unsigned(layoutTag_), unsigned(channelCount()));
  return text;
}

AVAudioFormat::AVAudioFormat(AVAudioCommonFormat commonFormat, double sampleRate,
                             AVAudioChannelCount channels, bool interleaved,
                             std::shared_ptr<AVAudioChannelLayout> layout)
    : commonFormat_(commonFormat), interleaved_(interleaved), channelLayout_(std::move(layout)) {
  const UInt32 bytes = bytesPerSample(commonFormat);
  stream_.mSampleRate = sampleRate;
  stream_.mFormatID = kAudioFormatLinearPCM;
  stream_.mFormatFlags = kAudioFormatFlagIsPacked;
  if (commonFormat == AVAudioCommonFormat::pcmFormatFloat32 ||
      commonFormat == AVAudioCommonFormat::pcmFormatFloat64)
    stream_.mFormatFlags |= kAudioFormatFlagIsFloat;
  else
    stream_.mFormatFlags |= kAudioFormatFlagIsSignedInteger;
  if (!interleaved)
    stream_.mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
  stream_.mChannelsPerFrame = channels;
  stream_.mBitsPerChannel = bytes * 8;
  stream_.mFramesPerPacket = 1;
  stream_.mBytesPerFrame = interleaved ? bytes * channels : bytes;
  stream_.mBytesPerPacket = stream_.mBytesPerFrame;
}

std::shared_ptr<AVAudioFormat> AVAudioFormat::make(AVAudioCommonFormat commonFormat, double sampleRate,
                                                   AVAudioChannelCount channels, bool interleaved) {
  if (bytesPerSample(commonFormat) == 0 || channels == 0 || channels > 2 || !acceptableRate(sampleRate))
    return nullptr;
  return std::make_shared<AVAudioFormat>(commonFormat, sampleRate, channels, interleaved, nullptr);
}

std::shared_ptr<AVAudioFormat> AVAudioFormat::makeStandard(double sampleRate, AVAudioChannelCount channels) {
  return make(AVAudioCommonFormat::pcmFormatFloat32, sampleRate, channels, false);
}

std::shared_ptr<AVAudioFormat> AVAudioFormat::makeStandard(double sampleRate,
                                                           std::shared_ptr<AVAudioChannelLayout> layout) {
  if (!layout || layout->channelCount() == 0 || !acceptableRate(sampleRate))
    return nullptr;
  const AVAudioChannelCount channels = layout->channelCount();
  return std::make_shared<AVAudioFormat>(AVAudioCommonFormat::pcmFormatFloat32, sampleRate, channels, false,
                                         std::move(layout));
}

std::shared_ptr<AVAudioFormat> AVAudioFormat::make(const AudioStreamBasicDescription& d) {
  if (d.mFormatID != kAudioFormatLinearPCM)
    return nullptr;
  const bool isFloat = (d.mFormatFlags & kAudioFormatFlagIsFloat) != 0;
  const bool interleaved = (d.mFormatFlags & kAudioFormatFlagIsNonInterleaved) == 0;
  if ((d.mFormatFlags & kAudioFormatFlagIsBigEndian) != 0)
    return nullptr;
  AVAudioCommonFormat common = AVAudioCommonFormat::otherFormat;
  if (isFloat && d.mBitsPerChannel == 32)
    common = AVAudioCommonFormat::pcmFormatFloat32;
  if (isFloat && d.mBitsPerChannel == 64)
    common = AVAudioCommonFormat::pcmFormatFloat64;
  if (!isFloat && d.mBitsPerChannel == 16)
    common = AVAudioCommonFormat::pcmFormatInt16;
  if (!isFloat && d.mBitsPerChannel == 32)
    common = AVAudioCommonFormat::pcmFormatInt32;
  return make(common, d.mSampleRate, d.mChannelsPerFrame, interleaved);
}

PropertyList::Dictionary AVAudioFormat::settings() const {
  PropertyList::Dictionary settings;
  settings[AVFormatIDKey] = PropertyList(stream_.mFormatID);
  settings[AVSampleRateKey] = PropertyList(stream_.mSampleRate);
  settings[AVNumberOfChannelsKey] = PropertyList(stream_.mChannelsPerFrame);
  settings[AVLinearPCMBitDepthKey] = PropertyList(stream_.mBitsPerChannel);
  settings[AVLinearPCMIsFloatKey] = PropertyList((stream_.mFormatFlags & kAudioFormatFlagIsFloat) != 0);
  settings[AVLinearPCMIsBigEndianKey] = PropertyList(false);
  settings[AVLinearPCMIsNonInterleaved] = PropertyList(!interleaved_);
  return settings;
}

std::string AVAudioFormat::description() const {
  char rate[48];
  if (stream_.mSampleRate == std::floor(stream_.mSampleRate))
    std::snprintf(rate, sizeof rate, "%.0f", stream_.mSampleRate);
  else
    std::snprintf(rate, sizeof rate, "%g", stream_.mSampleRate);
  char text[160];
  std::snprintf(text, sizeof text, "<AVAudioFormat %s: %2u ch, %6s Hz, %s, %s>",
                describeAddress(this).c_str(), unsigned(stream_.mChannelsPerFrame), rate,
                sampleTypeName(commonFormat_), interleaved_ ? "interleaved" : "non-inter");
  return text;
}

bool AVAudioFormat::operator==(const AVAudioFormat& other) const {
  const bool sameLayout =
      (!channelLayout_ && !other.channelLayout_) ||
      (channelLayout_ && other.channelLayout_ && *channelLayout_ == *other.channelLayout_);
  return commonFormat_ == other.commonFormat_ && interleaved_ == other.interleaved_ &&
         stream_.mSampleRate == other.stream_.mSampleRate &&
         stream_.mChannelsPerFrame == other.stream_.mChannelsPerFrame && sameLayout;
}

bool sameFormat(const std::shared_ptr<AVAudioFormat>& a, const std::shared_ptr<AVAudioFormat>& b) {
  if (!a || !b)
    return !a && !b;
  return *a == *b;
}
