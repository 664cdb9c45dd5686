// The render-side state of a player node (internal to AVFoundation): what the render thread
// reads and writes while the control threads schedule, play and stop.
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AVFoundation/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <semaphore.h>

#include <atomic>
#include <cstdint>

#include "AVFoundation/AVAudioPlayerNode.h"
#include "AVFoundation/internal/AudioFileDecoder.h"
#include "RealTime/SpscRing.h"

// One scheduled file. Made and freed by control threads; the render thread reads `samples` and
// the constants while it holds the segment and marks it with the atomics.
struct AVAudioPlayerNode::Segment {
  std::shared_ptr<const PCMSamples> samples;
  AVAudioNodeCompletionHandler completion;
  std::uint64_t generation = 0;       // the node's stop count when scheduled
  std::atomic<bool> claimed{false};   // the completion is due (played out or flushed); set once
  std::atomic<bool> released{false};  // the render thread will not touch it again
  bool fired = false;                 // [control, under the node's mutex]
};

struct AVAudioPlayerNode::Renderer {
  SpscRing<Segment*, kScheduleCapacity> inbox;  // control (under the node's mutex) -> render
  std::atomic<bool> playing{false};
  std::atomic<std::uint64_t> generation{0};  // incremented by every stop
  sem_t* wake = nullptr;                     // the completion thread's semaphore

  // [render] only:
  Segment* current = nullptr;
  std::int64_t position = 0;

  // [render] Writes `frames` frames into `channels` channels: the schedule's audio while
  // playing, silence otherwise.
  void render(std::uint32_t frames, float* const* out, std::uint32_t channels) noexcept;
  void dropFlushed() noexcept;
};
