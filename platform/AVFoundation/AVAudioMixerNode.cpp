#include "AVFoundation/AVAudioMixerNode.h"

#include "AVFoundation/AVAudioEngine.h"

namespace {
bool standard(const std::shared_ptr<AVAudioFormat>& format, std::string* why) {
  if (format && format->isStandard())
    return true;
  if (why)
    *why = "the engine's buses carry standard (32-bit float, non-interleaved) formats only";
  return false;
}
}  // namespace

std::shared_ptr<AVAudioFormat> AVAudioMixerNode::inputFormatForBus(NSUInteger bus) const {
  std::lock_guard lock(mutex_);
  return bus < kInputBusCount ? inputs_[bus] : nullptr;
}

std::shared_ptr<AVAudioFormat> AVAudioMixerNode::outputFormatForBus(NSUInteger bus) const {
  std::lock_guard lock(mutex_);
  return bus == 0 ? output_ : nullptr;
}

bool AVAudioMixerNode::takeInputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                                       std::string* why) {
  if (bus >= kInputBusCount) {
    if (why)
      *why = "the mixer has no such input";
    return false;
  }
  if (format && !standard(format, why))
    return false;
  std::lock_guard lock(mutex_);
  inputs_[bus] = format;
  return true;
}

bool AVAudioMixerNode::takeOutputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                                        std::string* why) {
  if (bus != 0 || !standard(format, why))
    return false;
  std::lock_guard lock(mutex_);
  output_ = format;
  return true;
}

std::shared_ptr<AVAudioFormat> AVAudioOutputNode::inputFormatForBus(NSUInteger bus) const {
  std::lock_guard lock(mutex_);
  return bus == 0 ? input_ : nullptr;
}

std::shared_ptr<AVAudioFormat> AVAudioOutputNode::outputFormatForBus(NSUInteger bus) const {
  if (bus != 0)
    return nullptr;
  auto engine = this->engine();
  return engine ? engine->renderFormat() : nullptr;
}

bool AVAudioOutputNode::takeInputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                                        std::string* why) {
  if (bus != 0) {
    if (why)
      *why = "the output has one input";
    return false;
  }
  if (format && !standard(format, why))
    return false;
  std::lock_guard lock(mutex_);
  input_ = format;
  return true;
}
