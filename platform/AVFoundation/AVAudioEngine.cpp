// The engine's nodes and connections. Rendering, start and stop: AVAudioEngineRendering.cpp.
#include "AVFoundation/AVAudioEngine.h"

#include <algorithm>
#include <cstdio>

#include "AVFoundation/internal/AudioDeviceOutput.h"
#include "AVFoundation/internal/EngineRenderGraph.h"
#include "RealTime/RenderChecks.h"

namespace {
void report(const std::string& text) {
  std::fprintf(stderr, "AVAudioEngine: %s\n", text.c_str());
}
}  // namespace

AVAudioEngine::AVAudioEngine() = default;

AVAudioEngine::~AVAudioEngine() {
  device_.reset();  // no device callback after this
  for (auto& node : nodes_)
    node->engine_.reset();
}

bool AVAudioEngine::isAttached(const AVAudioNode* node) const {
  return std::any_of(nodes_.begin(), nodes_.end(), [node](const auto& n) { return n.get() == node; });
}

void AVAudioEngine::attachNode(const std::shared_ptr<AVAudioNode>& node) {
  KOV_NOT_ON_RENDER_THREAD("AVAudioEngine.attachNode");
  if (!node)
    return;
  auto current = node->engine_.lock();
  if (current.get() == this)
    return;
  if (current)
    current->detachNode(node);
  std::lock_guard lock(mutex_);
  nodes_.push_back(node);
  node->engine_ = weak_from_this();
}

void AVAudioEngine::detachNode(const std::shared_ptr<AVAudioNode>& node) {
  KOV_NOT_ON_RENDER_THREAD("AVAudioEngine.detachNode");
  std::lock_guard lock(mutex_);
  auto it = std::find(nodes_.begin(), nodes_.end(), node);
  if (it == nodes_.end())
    return;
  removeConnections([&](const Connection& c) { return c.source == node || c.destination == node; });
  if (prepared_)
    rebuild();
  // No render call may still use the node once the caller lets it go.
  handOver_.collectAll();
  if (auto unit = node->auAudioUnit()) {
    std::erase_if(allocations_, [&](const auto& a) { return a.first.lock() == unit; });
    if (unit->renderResourcesAllocated())
      unit->deallocateRenderResources();
  }
  node->engine_.reset();
  nodes_.erase(std::find(nodes_.begin(), nodes_.end(), node));
  if (node == mainMixer_)
    mainMixer_.reset();
}

std::vector<std::shared_ptr<AVAudioNode>> AVAudioEngine::attachedNodes() const {
  std::lock_guard lock(mutex_);
  return nodes_;
}

void AVAudioEngine::connect(const std::shared_ptr<AVAudioNode>& source,
                            const std::shared_ptr<AVAudioNode>& destination,
                            std::shared_ptr<AVAudioFormat> format) {
  std::lock_guard lock(mutex_);
  const NSUInteger toBus =
      std::dynamic_pointer_cast<AVAudioMixerNode>(destination) ? nextFreeInputBus(*destination) : 0;
  connect(source, destination, 0, toBus, std::move(format));
}

void AVAudioEngine::connect(const std::shared_ptr<AVAudioNode>& source,
                            const std::shared_ptr<AVAudioNode>& destination, NSUInteger fromBus,
                            NSUInteger toBus, std::shared_ptr<AVAudioFormat> format) {
  KOV_NOT_ON_RENDER_THREAD("AVAudioEngine.connect");
  std::lock_guard lock(mutex_);
  if (!source || !destination || !isAttached(source.get()) || !isAttached(destination.get())) {
    report("cannot connect nodes that are not attached to the engine");
    return;
  }
  if (fromBus >= source->numberOfOutputs() || toBus >= destination->numberOfInputs()) {
    report("cannot connect " + source->description() + " to " + destination->description() + ": no such bus");
    return;
  }
  if (!format)
    format = source->outputFormatForBus(fromBus);
  // A bus connects to one other bus: the new connection replaces what either end had.
  removeConnections([&](const Connection& c) {
    return (c.destination == destination && c.destinationBus == toBus) ||
           (c.source == source && c.sourceBus == fromBus);
  });
  std::string why;
  if (!format || !source->takeOutputFormat(fromBus, format, &why) ||
      !destination->takeInputFormat(toBus, format, &why)) {
    report("cannot connect " + source->description() + " to " + destination->description() + ": " +
           (format ? why : std::string("the source has no output format")));
    if (prepared_)
      rebuild();
    return;
  }
  // An effect renders in its input's format until its output is connected with one of its own.
  if (destination->auAudioUnit()) {
    const bool outputConnected =
        std::any_of(connections_.begin(), connections_.end(),
                    [&](const Connection& c) { return c.source == destination && c.sourceBus == 0; });
    if (!outputConnected)
      destination->takeOutputFormat(0, format, nullptr);
  }
  connections_.push_back(Connection{source, fromBus, destination, toBus, format});
  if (prepared_)
    rebuild();
}

void AVAudioEngine::removeConnections(const std::function<bool(const Connection&)>& which) {
  KOV_NOT_ON_RENDER_THREAD("AVAudioEngine: removing connections");
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (!which(*it)) {
      ++it;
      continue;
    }
    if (auto mixer = std::dynamic_pointer_cast<AVAudioMixerNode>(it->destination))
      mixer->takeInputFormat(it->destinationBus, nullptr, nullptr);
    it = connections_.erase(it);
  }
}

void AVAudioEngine::disconnectNodeInput(const std::shared_ptr<AVAudioNode>& node) {
  std::lock_guard lock(mutex_);
  removeConnections([&](const Connection& c) { return c.destination == node; });
  if (prepared_)
    rebuild();
}

void AVAudioEngine::disconnectNodeInput(const std::shared_ptr<AVAudioNode>& node, NSUInteger bus) {
  std::lock_guard lock(mutex_);
  removeConnections([&](const Connection& c) { return c.destination == node && c.destinationBus == bus; });
  if (prepared_)
    rebuild();
}

std::shared_ptr<AVAudioNode> AVAudioEngine::inputNode(const std::shared_ptr<AVAudioNode>& node,
                                                      NSUInteger bus) const {
  std::lock_guard lock(mutex_);
  for (const auto& c : connections_)
    if (c.destination == node && c.destinationBus == bus)
      return c.source;
  return nullptr;
}

std::shared_ptr<AVAudioFormat> AVAudioEngine::connectionFormat(const std::shared_ptr<AVAudioNode>& node,
                                                               NSUInteger bus) const {
  std::lock_guard lock(mutex_);
  for (const auto& c : connections_)
    if (c.destination == node && c.destinationBus == bus)
      return c.format;
  return nullptr;
}

NSUInteger AVAudioEngine::nextFreeInputBus(const AVAudioNode& node) const {
  std::lock_guard lock(mutex_);
  for (NSUInteger bus = 0; bus < node.numberOfInputs(); ++bus)
    if (std::none_of(connections_.begin(), connections_.end(), [&](const Connection& c) {
          return c.destination.get() == &node && c.destinationBus == bus;
        }))
      return bus;
  return node.numberOfInputs();
}

std::shared_ptr<AVAudioOutputNode> AVAudioEngine::outputNode() {
  std::lock_guard lock(mutex_);
  if (!output_) {
    output_ = std::make_shared<AVAudioOutputNode>();
    attachNode(output_);
  }
  return output_;
}

std::shared_ptr<AVAudioMixerNode> AVAudioEngine::mainMixerNode() {
  std::lock_guard lock(mutex_);
  if (!mainMixer_) {
    mainMixer_ = std::make_shared<AVAudioMixerNode>();
    attachNode(mainMixer_);
    auto output = outputNode();
    connect(mainMixer_, output, 0, 0, output->outputFormatForBus(0));
  }
  return mainMixer_;
}
