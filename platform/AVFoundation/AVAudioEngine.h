// The audio engine (AVAudioEngine): a graph of attached nodes — players, audio units, the main
// mixer and the output — connected bus to bus, rendered to the sound card or, in manual
// rendering mode, by the caller (renderOffline).
//
// Connections: `connect(a, b, format)` joins a's output bus 0 to b's input (the mixer's next
// free input bus, bus 0 of other nodes); a null format takes a's output format. Both buses take
// the connection's format; an audio unit's output follows its input's format until its output is
// connected. Any AVAudioUnit (an AUAudioUnit inside) is a node: the engine allocates its render
// resources with the formats of its connections and pulls it through its render block. The main
// mixer sums its inputs and converts each to its output's format; the output converts the
// mixer's format to the device's (or the manual rendering format).
//
// Rendering: from prepare() on, every graph change builds a new render graph on the calling
// thread and hands it to the render thread whole, between two render calls; replaced graphs are
// freed later on a control thread. The render thread allocates nothing, takes no lock and frees
// nothing. Removing a node (detach) waits until no render call uses it (at most one block).
//
// Threads: every member is [control] — any thread but the render thread; they serialise on the
// engine's mutex. renderOffline is the caller's render call [render]: one thread at a time.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/AVAudioMixerNode.h"
#include "AVFoundation/AVAudioNode.h"
#include "AVFoundation/AVAudioPCMBuffer.h"
#include "RealTime/RenderHandOver.h"
#include "Foundation/NSError.h"

class AudioDeviceOutput;
namespace engine_render {
struct RenderGraph;
class Source;
}

enum class AVAudioEngineManualRenderingMode : NSInteger { offline = 0, realtime = 1 };
enum class AVAudioEngineManualRenderingStatus : NSInteger {
  error = -1,
  success = 0,
  insufficientDataFromInputNode = 1,
  cannotDoInCurrentContext = 2,
};

class AVAudioEngine : public std::enable_shared_from_this<AVAudioEngine> {
 public:
  // The error code of a start without any output (NSOSStatusErrorDomain).
  static constexpr OSStatus kNoOutputError = kAudioUnitErr_NoConnection;

  AVAudioEngine();
  ~AVAudioEngine();
  AVAudioEngine(const AVAudioEngine&) = delete;
  AVAudioEngine& operator=(const AVAudioEngine&) = delete;

  // attachNode: — the engine holds the node; attaching a node that is attached to this engine
  // does nothing; a node attached to another engine is moved here.
  void attachNode(const std::shared_ptr<AVAudioNode>& node);
  // detachNode: — disconnects the node and lets it go; a node not attached here is ignored.
  void detachNode(const std::shared_ptr<AVAudioNode>& node);
  void attach(const std::shared_ptr<AVAudioNode>& node) { attachNode(node); }
  void detach(const std::shared_ptr<AVAudioNode>& node) { detachNode(node); }
  std::vector<std::shared_ptr<AVAudioNode>> attachedNodes() const;

  // connect(_:to:format:) — from output bus 0 to the mixer's next free input or input bus 0.
  // A connection that cannot be made (node not attached, format refused) is left out, with a
  // line on stderr.
  void connect(const std::shared_ptr<AVAudioNode>& source, const std::shared_ptr<AVAudioNode>& destination,
               std::shared_ptr<AVAudioFormat> format);
  void connect(const std::shared_ptr<AVAudioNode>& source, const std::shared_ptr<AVAudioNode>& destination,
               NSUInteger fromBus, NSUInteger toBus, std::shared_ptr<AVAudioFormat> format);
  // Removes every connection into the node (or into one of its input buses).
  void disconnectNodeInput(const std::shared_ptr<AVAudioNode>& node);
  void disconnectNodeInput(const std::shared_ptr<AVAudioNode>& node, NSUInteger bus);
  // The node feeding `node`'s input bus (null when none), and that connection's format.
  std::shared_ptr<AVAudioNode> inputNode(const std::shared_ptr<AVAudioNode>& node, NSUInteger bus = 0) const;
  std::shared_ptr<AVAudioFormat> connectionFormat(const std::shared_ptr<AVAudioNode>& node,
                                                  NSUInteger bus = 0) const;

  // Made and attached on first use; the main mixer is connected to the output then.
  std::shared_ptr<AVAudioMixerNode> mainMixerNode();
  std::shared_ptr<AVAudioOutputNode> outputNode();

  // Builds the render graph and allocates the units' render resources ahead of start.
  void prepare();
  // Starts rendering: opens the device (or the null output), or in manual rendering mode lets
  // renderOffline render. Throws NSError (kNoOutputError) when no output can be opened, or when
  // the device module (loaded beside this library with the first need of the device) will not
  // load; the description then names the module and the loader's reason.
  void start();
  // Stops rendering; returns when no render call runs. The graph and the players' schedules stay.
  void stop();
  bool isRunning() const { return running_.load(std::memory_order_acquire); }

  // Manual rendering: the graph renders only when the caller asks, in `format` (standard float,
  // 1 or 2 channels), at most `maximumFrameCount` frames a call. Throws NSError
  // (kAudioUnitErr_InvalidPropertyValue) while running or for another format.
  void enableManualRenderingMode(AVAudioEngineManualRenderingMode mode, std::shared_ptr<AVAudioFormat> format,
                                 AVAudioFrameCount maximumFrameCount);
  // Frames rendered by renderOffline since manual rendering was enabled. [any]
  AVAudioFramePosition manualRenderingSampleTime() const {
    return sampleTime_.load(std::memory_order_relaxed);
  }
  // renderOffline(_:to:) [render] — renders `frames` frames into `buffer` (the manual format,
  // room for them) and sets its frameLength. cannotDoInCurrentContext when not in manual mode
  // or not running; error (with *outError) for too many frames or a wrong buffer. Allocates
  // nothing, locks nothing, throws nothing.
  AVAudioEngineManualRenderingStatus renderOffline(AVAudioFrameCount frames, AVAudioPCMBuffer& buffer,
                                                   OSStatus* outError = nullptr) noexcept;

  // Internal, for the engine's nodes: the format the output renders ([control]); the mixer's
  // lowest free input bus.
  std::shared_ptr<AVAudioFormat> renderFormat() const;
  NSUInteger nextFreeInputBus(const AVAudioNode& node) const;
  // Replaced render graphs not freed yet (for tests).
  std::size_t retiredGraphCount() const;

 private:
  struct Connection {
    std::shared_ptr<AVAudioNode> source;
    NSUInteger sourceBus;
    std::shared_ptr<AVAudioNode> destination;
    NSUInteger destinationBus;
    std::shared_ptr<AVAudioFormat> format;
  };
  struct Allocation {
    std::shared_ptr<AVAudioFormat> input, output;
    AUAudioFrameCount maxFrames;
  };

  bool isAttached(const AVAudioNode* node) const;
  void removeConnections(const std::function<bool(const Connection&)>& which);
  std::uint32_t renderMaxFrames() const;
  void rebuild();
  std::unique_ptr<engine_render::Source> buildSource(const std::shared_ptr<AVAudioNode>& node,
                                                     const std::shared_ptr<AVAudioFormat>& format,
                                                     std::uint32_t maxFrames, int depth,
                                                     engine_render::RenderGraph& graph, bool& quiesced);
  bool allocate(const std::shared_ptr<AUAudioUnit>& unit, const std::shared_ptr<AVAudioFormat>& input,
                const std::shared_ptr<AVAudioFormat>& output, std::uint32_t maxFrames, bool& quiesced);
  static void deviceRender(void* engine, float* const* channels, std::uint32_t frames) noexcept;
  void render(float* const* channels, std::uint32_t channelCount, std::uint32_t frames) noexcept;

  mutable std::recursive_mutex mutex_;
  std::vector<std::shared_ptr<AVAudioNode>> nodes_;
  std::vector<Connection> connections_;
  std::shared_ptr<AVAudioMixerNode> mainMixer_;
  std::shared_ptr<AVAudioOutputNode> output_;
  std::vector<std::pair<std::weak_ptr<AUAudioUnit>, Allocation>> allocations_;
  mutable std::shared_ptr<AVAudioFormat> deviceFormat_;
  std::unique_ptr<AudioDeviceOutput> device_;
  bool prepared_ = false;
  std::atomic<bool> running_{false};
  std::atomic<bool> manual_{false};
  std::shared_ptr<AVAudioFormat> manualFormat_;
  AVAudioFrameCount manualMaxFrames_ = 0;
  std::atomic<AVAudioFramePosition> sampleTime_{0};
  RenderHandOver<engine_render::RenderGraph> handOver_;
};
