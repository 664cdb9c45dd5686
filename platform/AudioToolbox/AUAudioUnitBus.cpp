#include "AudioToolbox/AUAudioUnitBus.h"

#include <cmath>
#include <cstdio>

#include "AudioToolbox/AudioComponent.h"
#include "Foundation/NSError.h"

namespace {

// The reason a bus refuses `format`, or null when it accepts it.
const char* refusal(const std::shared_ptr<AVAudioFormat>& format, AVAudioChannelCount maximumChannelCount) {
  if (!format)
    return "No format was given.";
  if (format->commonFormat() != AVAudioCommonFormat::pcmFormatFloat32)
    return "The bus renders 32-bit float samples only.";
  if (format->isInterleaved())
    return "The bus renders non-interleaved audio only.";
  const double rate = format->sampleRate();
  if (!(rate >= kAUAudioUnitBusMinimumSampleRate && rate <= kAUAudioUnitBusMaximumSampleRate))
    return "The sample rate lies outside 8000 Hz to 192000 Hz.";
  if (format->channelCount() == 0)
    return "The format has no channels.";
  if (format->channelCount() > maximumChannelCount)
    return "The format has more channels than the bus can carry.";
  return nullptr;
}

NSError formatError(const char* reason) {
  return NSError(NSOSStatusErrorDomain, kAudioUnitErr_FormatNotSupported, reason);
}

}  // namespace

std::string describe(AUAudioUnitBusType busType) {
  return "AUAudioUnitBusType(rawValue: " + std::to_string(NSInteger(busType)) + ")";
}

AUAudioUnitBus::AUAudioUnitBus(std::shared_ptr<AVAudioFormat> format) {
  setFormat(std::move(format));
}

std::shared_ptr<AUAudioUnitBus> AUAudioUnitBus::make(std::shared_ptr<AVAudioFormat> format,
                                                     std::shared_ptr<NSError>* outError) {
  if (const char* reason = refusal(format, 2)) {
    if (outError)
      *outError = std::make_shared<NSError>(formatError(reason));
    return nullptr;
  }
  return std::make_shared<AUAudioUnitBus>(std::move(format));
}

void AUAudioUnitBus::setFormat(std::shared_ptr<AVAudioFormat> format) {
  if (const char* reason = refusal(format, maximumChannelCount_))
    throw formatError(reason);
  format_ = std::move(format);
}

bool AUAudioUnitBus::setFormat(std::shared_ptr<AVAudioFormat> format, std::shared_ptr<NSError>* outError) {
  if (const char* reason = refusal(format, maximumChannelCount_)) {
    if (outError)
      *outError = std::make_shared<NSError>(formatError(reason));
    return false;
  }
  format_ = std::move(format);
  return true;
}

std::string AUAudioUnitBus::description() const {
  char text[160];
  std::snprintf(text, sizeof text, "<AUAudioUnitBus: %s> %s %llu, %s, %u ch, %g Hz",
                describeAddress(this).c_str(), busType_ == AUAudioUnitBusType::input ? "input" : "output",
                (unsigned long long)index_, enabled_ ? "enabled" : "disabled",
                format_ ? unsigned(format_->channelCount()) : 0u, format_ ? format_->sampleRate() : 0.0);
  return text;
}

AUAudioUnitBusArray::AUAudioUnitBusArray(AUAudioUnitBusType busType,
                                         std::vector<std::shared_ptr<AUAudioUnitBus>> busses)
    : busType_(busType) {
  replaceBusses(std::move(busses));
}

std::shared_ptr<AUAudioUnitBus> AUAudioUnitBusArray::operator[](NSUInteger index) const {
  return index < busses_.size() ? busses_[index] : nullptr;
}

void AUAudioUnitBusArray::replaceBusses(std::vector<std::shared_ptr<AUAudioUnitBus>> busses) {
  busses_.clear();
  for (auto& bus : busses) {
    if (!bus)
      continue;
    bus->index_ = busses_.size();
    bus->busType_ = busType_;
    busses_.push_back(std::move(bus));
  }
}

std::string AUAudioUnitBusArray::description() const {
  char text[128];
  std::snprintf(text, sizeof text, "<AUAudioUnitBusArray: %s> %s, %llu bus%s", describeAddress(this).c_str(),
                busType_ == AUAudioUnitBusType::input ? "input" : "output",
                (unsigned long long)busses_.size(), busses_.size() == 1 ? "" : "ses");
  return text;
}
