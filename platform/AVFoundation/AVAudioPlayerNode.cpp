#include "AVFoundation/AVAudioPlayerNode.h"

#include <semaphore.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "AVFoundation/internal/AVAudioPlayerNodeRenderer.h"
#include "AVFoundation/internal/AudioConversion.h"

// Segments flushed by a stop are let go also while the player does not play, so that they do not
// wait in the ring.
void AVAudioPlayerNode::Renderer::dropFlushed() noexcept {
  const std::uint64_t now = generation.load(std::memory_order_acquire);
  for (;;) {
    if (!current) {
      if (!inbox.pop(current))
        return;
      position = 0;
    }
    if (current->generation == now)
      return;
    current->released.store(true, std::memory_order_release);
    current = nullptr;
  }
}

void AVAudioPlayerNode::Renderer::render(std::uint32_t frames, float* const* out,
                                         std::uint32_t channels) noexcept {
  std::uint32_t done = 0;
  if (playing.load(std::memory_order_acquire)) {
    const std::uint64_t now = generation.load(std::memory_order_acquire);
    while (done < frames) {
      if (!current) {
        if (!inbox.pop(current))
          break;
        position = 0;
      }
      Segment& segment = *current;
      if (segment.generation != now) {  // flushed by a stop: its completion is the stop's
        segment.released.store(true, std::memory_order_release);
        current = nullptr;
        continue;
      }
      const PCMSamples& samples = *segment.samples;
      const std::uint32_t count =
          std::uint32_t(std::min<std::int64_t>(frames - done, samples.frames - position));
      const float* in[8];
      const std::uint32_t inChannels = std::min<std::uint32_t>(samples.channelCount, 8);
      for (std::uint32_t c = 0; c < inChannels; ++c)
        in[c] = samples.channel(c) + position;
      float* to[8];
      for (std::uint32_t c = 0; c < channels && c < 8; ++c)
        to[c] = out[c] + done;
      audio_conversion::mapChannels(in, inChannels, to, std::min<std::uint32_t>(channels, 8), count);
      position += count;
      done += count;
      if (position == samples.frames) {
        if (!segment.claimed.exchange(true, std::memory_order_acq_rel))
          sem_post(wake);
        segment.released.store(true, std::memory_order_release);
        current = nullptr;
      }
    }
    // The file ends within the next call (taken to be as long as this one): its completion is
    // due now, so that a file scheduled from it is there in time to follow without a gap.
    if (current && current->samples->frames - position <= frames &&
        !current->claimed.exchange(true, std::memory_order_acq_rel))
      sem_post(wake);
  }
  dropFlushed();
  for (std::uint32_t c = 0; c < channels; ++c)
    std::memset(out[c] + done, 0, (frames - done) * sizeof(float));
}

// The completion side of a node. The node and its completion thread each hold it; whichever
// lets go last frees it (the thread when a handler ended the node, else the node after joining).
// The segments live here too: the thread reads and frees them after a handler may have ended the
// node.
struct AVAudioPlayerNode::Completions {
  Completions() { sem_init(&wake, 0, 0); }
  ~Completions() { sem_destroy(&wake); }
  Completions(const Completions&) = delete;
  Completions& operator=(const Completions&) = delete;

  // Runs the handlers of the claimed, unfired segments, in schedule order. Claims come in that
  // order (the render thread finishes files in order and a stop claims everything after), so
  // these are the next ones to report. Frees the segments that are fired and released.
  void runClaimed();

  sem_t wake;  // posted by the render thread (claims), stop, a full schedule and the destructor
  std::atomic<bool> quit{false};
  std::mutex mutex;                               // control threads only
  std::deque<std::unique_ptr<Segment>> segments;  // in schedule order, until completed and released
};

AVAudioPlayerNode::AVAudioPlayerNode()
    : render_(std::make_shared<Renderer>()),
      completions_(std::make_shared<Completions>()),
      outputFormat_(AVAudioFormat::makeStandard(kDefaultSampleRate, 2)) {
  render_->wake = &completions_->wake;
  completer_ = std::thread([completions = completions_] { completionLoop(completions); });
}

AVAudioPlayerNode::~AVAudioPlayerNode() {
  completions_->quit.store(true);
  sem_post(&completions_->wake);
  // A handler that drops the last reference to its node ends the node on the completion thread:
  // the thread goes on with its own reference to the completion side and stops after the
  // handlers already due.
  if (completer_.get_id() == std::this_thread::get_id())
    completer_.detach();
  else
    completer_.join();
  // The engine has let the renderer go (its graphs are retired), or keeps it only while it is
  // detached and not rendering: the segments go with the completion side.
  render_->current = nullptr;
}

std::shared_ptr<AVAudioFormat> AVAudioPlayerNode::outputFormatForBus(NSUInteger bus) const {
  if (bus != 0)
    return nullptr;
  std::lock_guard lock(completions_->mutex);
  return outputFormat_;
}

bool AVAudioPlayerNode::takeOutputFormat(NSUInteger bus, const std::shared_ptr<AVAudioFormat>& format,
                                         std::string* why) {
  if (bus != 0 || !format || !format->isStandard()) {
    if (why)
      *why = "a player's output must be one standard (float, non-interleaved) bus";
    return false;
  }
  std::lock_guard lock(completions_->mutex);
  outputFormat_ = format;
  return true;
}

void AVAudioPlayerNode::scheduleFile(const std::shared_ptr<AVAudioFile>& file,
                                     const std::shared_ptr<AVAudioTime>&,
                                     AVAudioNodeCompletionHandler completionHandler) {
  if (!file)
    return;
  auto segment = std::make_unique<Segment>();
  segment->completion = std::move(completionHandler);
  std::unique_lock lock(completions_->mutex);
  const double rate = outputFormat_->sampleRate();
  segment->samples = file->samples();
  if (segment->samples->sampleRate != rate) {
    if (convertedFrom_ != file->samples() || !converted_ || converted_->sampleRate != rate) {
      auto converted = audio_conversion::resample(*file->samples(), rate);
      convertedFrom_ = file->samples();
      converted_ = converted ? converted : file->samples();
    }
    segment->samples = converted_;
  }
  segment->generation = render_->generation.load(std::memory_order_relaxed);
  Segment* raw = segment.get();
  completions_->segments.push_back(std::move(segment));
  if (!render_->inbox.push(raw)) {
    std::fprintf(stderr, "AVAudioPlayerNode: the schedule is full; the file is not played.\n");
    raw->claimed.store(true);
    raw->released.store(true);
    sem_post(&completions_->wake);
  }
}

bool AVAudioPlayerNode::isPlaying() const {
  return render_->playing.load(std::memory_order_relaxed);
}

void AVAudioPlayerNode::play() {
  render_->playing.store(true, std::memory_order_release);
}

void AVAudioPlayerNode::pause() {
  render_->playing.store(false, std::memory_order_release);
}

void AVAudioPlayerNode::stop() {
  std::unique_lock lock(completions_->mutex);
  render_->playing.store(false, std::memory_order_release);
  // Segments scheduled before this point belong to the old generation: the render thread drops
  // them, and their completions are due now unless the render thread already claimed them.
  render_->generation.fetch_add(1, std::memory_order_acq_rel);
  bool any = false;
  for (auto& segment : completions_->segments)
    if (!segment->claimed.exchange(true, std::memory_order_acq_rel))
      any = true;
  lock.unlock();
  if (any)
    sem_post(&completions_->wake);
}

// [completion thread] Touches only the completion side, never the node: a handler may end the
// node, and the loop then sees `quit` set by its destructor.
void AVAudioPlayerNode::completionLoop(const std::shared_ptr<Completions>& completions) {
  for (;;) {
    while (sem_wait(&completions->wake) != 0) {
    }
    completions->runClaimed();
    if (completions->quit.load())
      return;
  }
}

void AVAudioPlayerNode::Completions::runClaimed() {
  std::vector<AVAudioNodeCompletionHandler> due;
  {
    std::lock_guard lock(mutex);
    for (auto& segment : segments) {
      if (segment->fired || !segment->claimed.load(std::memory_order_acquire))
        continue;
      segment->fired = true;
      due.push_back(std::move(segment->completion));
    }
    std::erase_if(segments, [](const std::unique_ptr<Segment>& s) {
      return s->fired && s->released.load(std::memory_order_acquire);
    });
  }
  for (auto& handler : due)
    if (handler)
      handler();
}

std::string AVAudioPlayerNode::description() const {
  return "<AVAudioPlayerNode: " + describeAddress(this) + ">";
}
