// The engine's render side: building the render graph from the connections, the units' render
// resources, start and stop, the device and manual rendering.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioPlayerNode.h"
#include "AVFoundation/internal/AudioDeviceOutput.h"
#include "AVFoundation/internal/EngineRenderGraph.h"
#include "RealTime/RenderChecks.h"
#include "RealTime/RenderScope.h"

namespace {

void report(const std::string& text) {
  std::fprintf(stderr, "AVAudioEngine: %s\n", text.c_str());
}

bool sameFormatValue(const std::shared_ptr<AVAudioFormat>& a, const std::shared_ptr<AVAudioFormat>& b) {
  return a && b && *a == *b;
}

// The deepest chain the engine follows (a cycle in the connections ends there in silence).
constexpr int kMaxDepth = 64;

}  // namespace

std::shared_ptr<AVAudioFormat> AVAudioEngine::renderFormat() const {
  std::lock_guard lock(mutex_);
  if (manual_.load())
    return manualFormat_;
  if (!deviceFormat_)
    deviceFormat_ =
        AVAudioFormat::makeStandard(AudioDeviceOutput::preferredSampleRate(), AudioDeviceOutput::kChannels);
  return deviceFormat_;
}

std::size_t AVAudioEngine::retiredGraphCount() const {
  std::lock_guard lock(mutex_);
  return handOver_.retiredCount();
}

std::uint32_t AVAudioEngine::renderMaxFrames() const {
  if (manual_.load())
    return manualMaxFrames_;
  return device_ ? device_->blockFrames() : AudioDeviceOutput::kBlockFrames;
}

// (Re)allocates a unit's render resources when its formats or frame limit changed. A unit the
// render thread may be rendering is first taken out of its hands: the graph is replaced by
// silence and the current render call waited for (once per rebuild).
bool AVAudioEngine::allocate(const std::shared_ptr<AUAudioUnit>& unit,
                             const std::shared_ptr<AVAudioFormat>& input,
                             const std::shared_ptr<AVAudioFormat>& output, std::uint32_t maxFrames,
                             bool& quiesced) {
  auto entry = std::find_if(allocations_.begin(), allocations_.end(),
                            [&](const auto& a) { return a.first.lock() == unit; });
  if (entry != allocations_.end() && unit->renderResourcesAllocated() &&
      sameFormatValue(entry->second.input, input) && sameFormatValue(entry->second.output, output) &&
      entry->second.maxFrames == maxFrames)
    return true;
  if (!quiesced) {
    handOver_.publish(nullptr);
    handOver_.collectAll();
    quiesced = true;
  }
  if (unit->renderResourcesAllocated())
    unit->deallocateRenderResources();
  unit->setMaximumFramesToRender(maxFrames);
  std::shared_ptr<NSError> error;
  if (!unit->allocateRenderResourcesAndReturnError(&error)) {
    report("the audio unit " + unit->description() +
           " cannot render: " + (error ? error->localizedDescription() : std::string("allocation failed")));
    if (entry != allocations_.end())
      allocations_.erase(entry);
    return false;
  }
  const Allocation allocation{input, output, maxFrames};
  if (entry != allocations_.end())
    entry->second = allocation;
  else
    allocations_.emplace_back(unit, allocation);
  return true;
}

// The source that renders `node`'s output bus 0 in `format`.
std::unique_ptr<engine_render::Source> AVAudioEngine::buildSource(
    const std::shared_ptr<AVAudioNode>& node, const std::shared_ptr<AVAudioFormat>& format,
    std::uint32_t maxFrames, int depth, engine_render::RenderGraph& graph, bool& quiesced) {
  const std::uint32_t channels = format->channelCount();
  if (depth > kMaxDepth)
    return engine_render::makeSilence(channels);

  // An input of a node, converted to `to` (the node's input format or the mixer's output).
  struct Input final : engine_render::SourceFactory {
    AVAudioEngine& engine;
    const Connection& connection;
    int depth;
    engine_render::RenderGraph& graph;
    bool& quiesced;
    Input(AVAudioEngine& e, const Connection& c, int d, engine_render::RenderGraph& g, bool& q)
        : engine(e), connection(c), depth(d), graph(g), quiesced(q) {}
    std::unique_ptr<engine_render::Source> make(std::uint32_t frames) override {
      return engine.buildSource(connection.source, connection.format, frames, depth + 1, graph, quiesced);
    }
  };
  auto convertedInput = [&](const Connection& c, const std::shared_ptr<AVAudioFormat>& to) {
    Input input(*this, c, depth, graph, quiesced);
    auto source = engine_render::makeConverter(input, c.format->channelCount(), c.format->sampleRate(),
                                               to->channelCount(), to->sampleRate(), maxFrames);
    if (!source)
      report("cannot convert " + c.format->description() + " to " + to->description());
    return source ? std::move(source) : engine_render::makeSilence(to->channelCount());
  };

  if (auto player = std::dynamic_pointer_cast<AVAudioPlayerNode>(node))
    return engine_render::makePlayer(player->renderer(), channels);

  if (std::dynamic_pointer_cast<AVAudioMixerNode>(node)) {
    std::vector<std::unique_ptr<engine_render::Source>> inputs;
    for (const auto& c : connections_)
      if (c.destination == node)
        inputs.push_back(convertedInput(c, format));
    return engine_render::makeMixer(std::move(inputs), channels, maxFrames);
  }

  if (auto unit = node->auAudioUnit()) {
    const Connection* in = nullptr;
    for (const auto& c : connections_)
      if (c.destination == node && c.destinationBus == 0)
        in = &c;
    auto inputFormat = in ? in->format : node->inputFormatForBus(0);
    if (!inputFormat)
      inputFormat = format;
    std::string why;
    if (!node->takeInputFormat(0, inputFormat, &why) || !node->takeOutputFormat(0, format, &why)) {
      report("the audio unit " + unit->description() + " cannot render: " + why);
      return engine_render::makeSilence(channels);
    }
    if (!allocate(unit, inputFormat, format, maxFrames, quiesced))
      return engine_render::makeSilence(channels);
    graph.units.push_back(unit);
    std::unique_ptr<engine_render::Source> upstream;
    if (in) {
      Input input(*this, *in, depth, graph, quiesced);
      upstream = input.make(maxFrames);
    }
    return engine_render::makeUnit(unit, std::move(upstream), inputFormat->channelCount(), channels,
                                   maxFrames);
  }
  return engine_render::makeSilence(channels);
}

// Builds the graph for the current connections and hands it to the render thread.
void AVAudioEngine::rebuild() {
  KOV_NOT_ON_RENDER_THREAD("AVAudioEngine: a graph change");
  const auto format = renderFormat();
  auto graph = std::make_unique<engine_render::RenderGraph>();
  graph->channels = format->channelCount();
  graph->maxFrames = renderMaxFrames();
  bool quiesced = false;
  const Connection* last = nullptr;
  for (const auto& c : connections_)
    if (c.destination == output_ && c.destinationBus == 0)
      last = &c;
  if (last) {
    struct Root final : engine_render::SourceFactory {
      std::function<std::unique_ptr<engine_render::Source>(std::uint32_t)> build;
      std::unique_ptr<engine_render::Source> make(std::uint32_t frames) override { return build(frames); }
    } root;
    root.build = [&](std::uint32_t frames) {
      return buildSource(last->source, last->format, frames, 0, *graph, quiesced);
    };
    graph->root = engine_render::makeConverter(root, last->format->channelCount(), last->format->sampleRate(),
                                               graph->channels, format->sampleRate(), graph->maxFrames);
  }
  if (!graph->root)
    graph->root = engine_render::makeSilence(graph->channels);
  handOver_.publish(std::move(graph));
}

void AVAudioEngine::prepare() {
  std::lock_guard lock(mutex_);
  prepared_ = true;
  rebuild();
}

void AVAudioEngine::start() {
  std::lock_guard lock(mutex_);
  if (running_.load())
    return;
  outputNode();
  if (!manual_.load() && !device_) {
    std::string error;
    device_ =
        AudioDeviceOutput::open(renderFormat()->sampleRate(), &AVAudioEngine::deviceRender, this, &error);
    if (!device_)
      throw NSError(NSOSStatusErrorDomain, kNoOutputError,
                    "The audio engine could not start: " + error + ".");
  }
  prepared_ = true;
  rebuild();
  running_.store(true, std::memory_order_release);
  if (device_)
    device_->start();
}

void AVAudioEngine::stop() {
  std::lock_guard lock(mutex_);
  if (!running_.load())
    return;
  running_.store(false, std::memory_order_release);
  if (device_)
    device_->pause();
  handOver_.quiesce();  // a manual render call in progress on another thread
  handOver_.collectAll();
}

void AVAudioEngine::enableManualRenderingMode(AVAudioEngineManualRenderingMode,
                                              std::shared_ptr<AVAudioFormat> format,
                                              AVAudioFrameCount maximumFrameCount) {
  std::lock_guard lock(mutex_);
  if (running_.load())
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_InvalidPropertyValue, "The engine is running.");
  if (!format || !format->isStandard() || format->channelCount() < 1 || format->channelCount() > 2 ||
      maximumFrameCount == 0)
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_InvalidPropertyValue,
                  "Manual rendering needs a standard mono or stereo format and a frame count above 0.");
  device_.reset();
  manualFormat_ = std::move(format);
  manualMaxFrames_ = maximumFrameCount;
  manual_.store(true, std::memory_order_release);
  sampleTime_.store(0);
  // The output's format changed: the mixer's connection to it follows.
  if (mainMixer_)
    connect(mainMixer_, outputNode(), 0, 0, manualFormat_);
  else if (prepared_)
    rebuild();
}

void AVAudioEngine::deviceRender(void* engine, float* const* channels, std::uint32_t frames) noexcept {
  static_cast<AVAudioEngine*>(engine)->render(channels, AudioDeviceOutput::kChannels, frames);
}

void AVAudioEngine::render(float* const* channels, std::uint32_t channelCount,
                           std::uint32_t frames) noexcept {
  // The device callback and offline rendering both come here: one render entry.
  const RenderScope scope;
  engine_render::RenderGraph* graph = handOver_.enter();
  if (graph && graph->root && frames <= graph->maxFrames && graph->channels == channelCount &&
      running_.load(std::memory_order_acquire)) {
    graph->root->render(frames, channels);
  } else {
    for (std::uint32_t c = 0; c < channelCount; ++c)
      std::memset(channels[c], 0, frames * sizeof(float));
  }
  handOver_.leave();
}

AVAudioEngineManualRenderingStatus AVAudioEngine::renderOffline(AVAudioFrameCount frames,
                                                                AVAudioPCMBuffer& buffer,
                                                                OSStatus* outError) noexcept {
  if (!manual_.load(std::memory_order_acquire) || !running_.load(std::memory_order_acquire))
    return AVAudioEngineManualRenderingStatus::cannotDoInCurrentContext;
  const AVAudioFormat* format = buffer.format().get();
  const OSStatus status =
      frames > manualMaxFrames_ || frames > buffer.frameCapacity() ? kAudioUnitErr_TooManyFramesToProcess
      : !format || !format->isStandard() || format->channelCount() != manualFormat_->channelCount()
          ? kAudioUnitErr_FormatNotSupported
          : noErr;
  if (status != noErr) {
    if (outError)
      *outError = status;
    return AVAudioEngineManualRenderingStatus::error;
  }
  render(buffer.floatChannelData(), format->channelCount(), frames);
  buffer.setFrameLength(frames);
  sampleTime_.fetch_add(frames, std::memory_order_relaxed);
  return AVAudioEngineManualRenderingStatus::success;
}
