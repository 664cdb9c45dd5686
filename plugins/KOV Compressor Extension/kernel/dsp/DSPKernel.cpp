#include "DSPKernel.h"

namespace {
// The time stamp's sample time as a signed integer, truncated toward zero. NaN and values far
// outside any real stream position (whose conversion would be undefined) become 0 or the
// nearest bound of +-2^62, which leaves room for adding a buffer length.
AUEventSampleTime sampleTimeOf(const AudioTimeStamp* timestamp) {
  if (!timestamp)
    return 0;
  const double t = timestamp->mSampleTime;
  constexpr double kBound = 4611686018427387904.0;  // 2^62
  if (!(t == t))
    return 0;
  if (t >= kBound)
    return static_cast<AUEventSampleTime>(kBound);
  if (t <= -kBound)
    return -static_cast<AUEventSampleTime>(kBound);
  return static_cast<AUEventSampleTime>(t);
}
}  // namespace

void DSPKernel::processWithEvents(const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
                                  const AURenderEvent* events, const AUMIDIOutputEventBlock* midiOutBlock) {
  midiOut = midiOutBlock;
  if (frameCount == 0)
    return;
  AUEventSampleTime now = sampleTimeOf(timestamp);
  AUAudioFrameCount remaining = frameCount;
  const AURenderEvent* cursor = events;

  while (remaining > 0) {
    if (!cursor) {
      process(remaining, frameCount - remaining);
      return;
    }
    // Frames up to the head event, never more than remain (an event at or after the end
    // of the buffer ends the last stretch there).
    const AUEventSampleTime eventTime = cursor->head.eventSampleTime;
    AUAudioFrameCount segment = 0;
    if (eventTime > now) {
      const std::uint64_t distance = static_cast<std::uint64_t>(eventTime) - static_cast<std::uint64_t>(now);
      segment = distance < remaining ? static_cast<AUAudioFrameCount>(distance) : remaining;
    }
    if (segment > 0) {
      process(segment, frameCount - remaining);
      remaining -= segment;
      now += segment;
    }
    performAllSimultaneousEvents(now, cursor);
  }
  // Events beyond the end of this buffer take effect from the next one.
  while (cursor) {
    handleOneEvent(cursor);
    cursor = cursor->head.next;
  }
}

void DSPKernel::performAllSimultaneousEvents(AUEventSampleTime now, const AURenderEvent*& event) {
  do {
    handleOneEvent(event);
    event = event->head.next;
  } while (event && event->head.eventSampleTime <= now);
}

void DSPKernel::handleOneEvent(const AURenderEvent* event) {
  switch (event->head.eventType) {
    case AURenderEventParameter:
    case AURenderEventParameterRamp: {
      const AUParameterEvent& p = event->parameter;
      setParameterAutomated(p.parameterAddress, p.value, p.eventSampleTime);
      break;
    }
    case AURenderEventMIDI:
    case AURenderEventMIDISysEx:
      handleMIDIEvent(event->MIDI);
      break;
    default:
      break;
  }
}
