#include "AVFoundation/AVAudioNode.h"

AVAudioNode::~AVAudioNode() = default;

std::shared_ptr<AVAudioFormat> AVAudioNode::inputFormatForBus(NSUInteger) const {
  return nullptr;
}
std::shared_ptr<AVAudioFormat> AVAudioNode::outputFormatForBus(NSUInteger) const {
  return nullptr;
}
std::optional<std::string> AVAudioNode::nameForInputBus(NSUInteger) const {
  return std::nullopt;
}
std::optional<std::string> AVAudioNode::nameForOutputBus(NSUInteger) const {
  return std::nullopt;
}

bool AVAudioNode::takeInputFormat(NSUInteger, const std::shared_ptr<AVAudioFormat>&, std::string* why) {
  if (why)
    *why = "the node has no input";
  return false;
}
bool AVAudioNode::takeOutputFormat(NSUInteger, const std::shared_ptr<AVAudioFormat>&, std::string* why) {
  if (why)
    *why = "the node has no output";
  return false;
}

std::string AVAudioNode::description() const {
  return "<AVAudioNode: " + describeAddress(this) + ">";
}

AVAudioUnit::AVAudioUnit(const AudioComponentDescription& description)
    : AVAudioUnit(description, AUAudioUnit::instantiate(description, 0, nullptr)) {}

AVAudioUnit::AVAudioUnit(const AudioComponentDescription& description, std::shared_ptr<AUAudioUnit> unit)
    : description_(description), unit_(std::move(unit)), handle_(AudioComponentInstanceForAudioUnit(unit_)) {}

AVAudioUnit::~AVAudioUnit() {
  AudioComponentInstanceDispose(handle_);
}

std::optional<std::string> AVAudioUnit::name() const {
  return unit_ ? unit_->audioUnitName() : std::nullopt;
}
std::optional<std::string> AVAudioUnit::manufacturerName() const {
  return unit_ ? unit_->manufacturerName() : std::nullopt;
}
UInt32 AVAudioUnit::version() const {
  return unit_ ? unit_->componentVersion() : 0;
}

namespace {
std::shared_ptr<AUAudioUnitBus> busOf(const std::shared_ptr<AUAudioUnitBusArray>& array, NSUInteger bus) {
  return array ? (*array)[bus] : nullptr;
}
}  // namespace

NSUInteger AVAudioUnit::numberOfInputs() const {
  return unit_ ? unit_->inputBusses()->count() : 0;
}
NSUInteger AVAudioUnit::numberOfOutputs() const {
  return unit_ ? unit_->outputBusses()->count() : 0;
}

std::shared_ptr<AVAudioFormat> AVAudioUnit::inputFormatForBus(NSUInteger bus) const {
  auto b = unit_ ? busOf(unit_->inputBusses(), bus) : nullptr;
  return b ? b->format() : nullptr;
}
std::shared_ptr<AVAudioFormat> AVAudioUnit::outputFormatForBus(NSUInteger bus) const {
  auto b = unit_ ? busOf(unit_->outputBusses(), bus) : nullptr;
  return b ? b->format() : nullptr;
}
std::optional<std::string> AVAudioUnit::nameForInputBus(NSUInteger bus) const {
  auto b = unit_ ? busOf(unit_->inputBusses(), bus) : nullptr;
  return b ? b->name() : std::nullopt;
}
std::optional<std::string> AVAudioUnit::nameForOutputBus(NSUInteger bus) const {
  auto b = unit_ ? busOf(unit_->outputBusses(), bus) : nullptr;
  return b ? b->name() : std::nullopt;
}
namespace {
bool setBusFormat(const std::shared_ptr<AUAudioUnitBusArray>& array, NSUInteger bus,
                  const std::shared_ptr<AVAudioFormat>& format, std::string* why) {
  auto b = busOf(array, bus);
  if (!b) {
    if (why)
      *why = "the unit has no such bus";
    return false;
  }
  std::shared_ptr<NSError> error;
  if (b->setFormat(format, &error))
    return true;
  if (why)
    *why = error ? error->localizedDescription() : "the unit refuses the format";
  return false;
}
}  // namespace

bool AVAudioUnit::takeInputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                                  std::string* why) {
  return unit_ && setBusFormat(unit_->inputBusses(), bus, format, why);
}
bool AVAudioUnit::takeOutputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                                   std::string* why) {
  return unit_ && setBusFormat(unit_->outputBusses(), bus, format, why);
}

double AVAudioUnit::latency() const {
  return unit_ ? unit_->latency() : 0.0;
}

std::string AVAudioUnit::description() const {
  std::string text = "<AVAudioUnit: " + describeAddress(this) + ">";
  if (auto unitName = name())
    text += " \"" + *unitName + "\"";
  return text;
}

bool AVAudioUnitEffect::bypass() const {
  return auAudioUnit() ? auAudioUnit()->shouldBypassEffect() : false;
}
void AVAudioUnitEffect::setBypass(bool bypass) {
  if (auto unit = auAudioUnit())
    unit->setShouldBypassEffect(bypass);
}

std::string AVAudioUnitEffect::description() const {
  std::string text = "<AVAudioUnitEffect: " + describeAddress(this) + ">";
  if (auto unitName = name())
    text += " \"" + *unitName + "\"";
  return text;
}
