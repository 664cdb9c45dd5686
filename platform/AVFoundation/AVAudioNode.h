// Nodes of an audio engine: the base node and the nodes that wrap an audio unit
// (AVAudioUnit, AVAudioUnitEffect). Held by shared pointer. An engine connects nodes and gives
// each connected bus the connection's format (takeInputFormat / takeOutputFormat).
// Threads: [main] — the host's control threads (one at a time per node).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AVFoundation/AVAudioFormat.h"
#include "AVFoundation/AVAudioTime.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AudioUnitParameters.h"

class AVAudioEngine;

class AVAudioNode : public std::enable_shared_from_this<AVAudioNode> {
 public:
  virtual ~AVAudioNode();
  AVAudioNode(const AVAudioNode&) = delete;
  AVAudioNode& operator=(const AVAudioNode&) = delete;

  // The engine the node is attached to (null when detached).
  std::shared_ptr<AVAudioEngine> engine() const { return engine_.lock(); }
  // The node's audio unit; the same object on every read. Null for nodes without one.
  virtual std::shared_ptr<AUAudioUnit> auAudioUnit() const { return nullptr; }

  // Counts, formats and names of the node's buses; formats are null and names none for
  // buses that do not exist.
  virtual NSUInteger numberOfInputs() const { return 0; }
  virtual NSUInteger numberOfOutputs() const { return 0; }
  virtual std::shared_ptr<AVAudioFormat> inputFormatForBus(NSUInteger bus) const;
  virtual std::shared_ptr<AVAudioFormat> outputFormatForBus(NSUInteger bus) const;
  virtual std::optional<std::string> nameForInputBus(NSUInteger bus) const;
  virtual std::optional<std::string> nameForOutputBus(NSUInteger bus) const;

  // The time of the last render cycle; null while the node's engine has not rendered.
  std::shared_ptr<AVAudioTime> lastRenderTime() const { return lastRenderTime_; }
  // Seconds of processing delay of the node (its unit's latency).
  virtual double latency() const { return 0.0; }
  // Seconds until the node's output reaches the output hardware; 0 when not connected.
  double outputPresentationLatency() const { return 0.0; }

  // "<AVAudioNode: 0x…>" (one line)
  virtual std::string description() const;

 protected:
  AVAudioNode() = default;

  // Called by the engine when a connection gives a bus its format; false (and why, when asked)
  // when the node cannot take it. The base takes none.
  virtual bool takeInputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                               std::string* why);
  virtual bool takeOutputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                                std::string* why);

 private:
  friend class AVAudioEngine;
  std::weak_ptr<AVAudioEngine> engine_;
  std::shared_ptr<AVAudioTime> lastRenderTime_;
};

// A node that hosts an audio unit. The unit is made at construction and kept for the node's
// life, together with a v2 handle to it.
class AVAudioUnit : public AVAudioNode {
 public:
  using InstantiationHandler = std::function<void(std::shared_ptr<AVAudioUnit>, std::shared_ptr<NSError>)>;

  // instantiate(with:options:completionHandler:): on the main queue, makes the unit of the first
  // registered component matching the description (an effect bundle's module is loaded in
  // process and its principal class asked for the unit) and calls the handler there, once, with
  // the node or with the error. The node is an AVAudioUnitEffect for effects and music effects,
  // a plain AVAudioUnit otherwise. [any]
  static void instantiate(const AudioComponentDescription& audioComponentDescription,
                          AudioComponentInstantiationOptions options, InstantiationHandler completionHandler);

  ~AVAudioUnit() override;

  std::shared_ptr<AUAudioUnit> auAudioUnit() const override { return unit_; }
  // The v2 handle; null when the unit could not be made.
  AudioUnit audioUnit() const { return handle_; }
  const AudioComponentDescription& audioComponentDescription() const { return description_; }
  // The unit's names and version; none/0 when the unit could not be made.
  std::optional<std::string> name() const;
  std::optional<std::string> manufacturerName() const;
  UInt32 version() const;

  NSUInteger numberOfInputs() const override;
  NSUInteger numberOfOutputs() const override;
  std::shared_ptr<AVAudioFormat> inputFormatForBus(NSUInteger bus) const override;
  std::shared_ptr<AVAudioFormat> outputFormatForBus(NSUInteger bus) const override;
  std::optional<std::string> nameForInputBus(NSUInteger bus) const override;
  std::optional<std::string> nameForOutputBus(NSUInteger bus) const override;
  double latency() const override;

  std::string description() const override;

 protected:
  // Set the unit's bus formats (refused as AUAudioUnitBus refuses them).
  bool takeInputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                       std::string* why) override;
  bool takeOutputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                        std::string* why) override;

  // Makes the unit of the first registered component matching the description; when none
  // matches or making fails, the node has no unit and no handle.
  explicit AVAudioUnit(const AudioComponentDescription& description);
  // A node for a unit made already (null: none).
  AVAudioUnit(const AudioComponentDescription& description, std::shared_ptr<AUAudioUnit> unit);

 private:
  AudioComponentDescription description_;
  std::shared_ptr<AUAudioUnit> unit_;
  AudioUnit handle_ = nullptr;
};

class AVAudioUnitEffect : public AVAudioUnit {
 public:
  // init(audioComponentDescription:) — an effect node outside any engine.
  explicit AVAudioUnitEffect(const AudioComponentDescription& audioComponentDescription)
      : AVAudioUnit(audioComponentDescription) {}

  // The unit's shouldBypassEffect (false without a unit).
  bool bypass() const;
  void setBypass(bool bypass);

  std::string description() const override;

 protected:
  AVAudioUnitEffect(const AudioComponentDescription& audioComponentDescription,
                    std::shared_ptr<AUAudioUnit> unit)
      : AVAudioUnit(audioComponentDescription, std::move(unit)) {}
};
