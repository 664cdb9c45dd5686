// The engine's mixer (AVAudioMixerNode): sums any number of inputs into one output. Each input
// may have its own format: its channels are mapped to the output's (mono to both channels) and
// its rate converted (libswresample) to the output's.
// Threads: [main] (control threads); the engine renders it.
#pragma once

#include <mutex>

#include "AVFoundation/AVAudioNode.h"

class AVAudioMixerNode : public AVAudioNode {
 public:
  static constexpr NSUInteger kInputBusCount = 64;

  AVAudioMixerNode() = default;

  NSUInteger numberOfInputs() const override { return kInputBusCount; }
  NSUInteger numberOfOutputs() const override { return 1; }
  // Null for an input that is not connected.
  std::shared_ptr<AVAudioFormat> inputFormatForBus(NSUInteger bus) const override;
  // Standard stereo at 48 kHz until a connection sets it.
  std::shared_ptr<AVAudioFormat> outputFormatForBus(NSUInteger bus) const override;

  std::string description() const override { return "<AVAudioMixerNode: " + describeAddress(this) + ">"; }

 protected:
  bool takeInputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                       std::string* why) override;
  bool takeOutputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                        std::string* why) override;

 private:
  friend class AVAudioEngine;
  mutable std::mutex mutex_;
  std::shared_ptr<AVAudioFormat> inputs_[kInputBusCount];
  std::shared_ptr<AVAudioFormat> output_ = AVAudioFormat::makeStandard(48000.0, 2);
};

// The engine's output (AVAudioOutputNode): its input takes the mixer's output; its output format
// is the device's (float stereo at the device's preferred rate) or, in manual rendering mode,
// the manual rendering format.
class AVAudioOutputNode : public AVAudioNode {
 public:
  AVAudioOutputNode() = default;

  NSUInteger numberOfInputs() const override { return 1; }
  NSUInteger numberOfOutputs() const override { return 1; }
  std::shared_ptr<AVAudioFormat> inputFormatForBus(NSUInteger bus) const override;
  // The format the engine renders for the device (or the manual rendering format).
  std::shared_ptr<AVAudioFormat> outputFormatForBus(NSUInteger bus) const override;

  std::string description() const override { return "<AVAudioOutputNode: " + describeAddress(this) + ">"; }

 protected:
  bool takeInputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                       std::string* why) override;

 private:
  friend class AVAudioEngine;
  mutable std::mutex mutex_;
  std::shared_ptr<AVAudioFormat> input_;
};
