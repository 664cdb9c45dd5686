// Base of the render kernel: cuts one host buffer at the sample times of its render events,
// applies each event at its time and calls `process` for every stretch in between.
//
// Threads: everything here is [render]. The MIDI-output block is not owned: the caller keeps
// the block alive for as long as the kernel may call it (the adapter's hand-over does).
#pragma once

#include <cstdint>

#include "AudioToolbox/CoreAudioTypes.h"

class DSPKernel {
 public:
  DSPKernel() = default;
  virtual ~DSPKernel() = default;
  DSPKernel(const DSPKernel&) = delete;
  DSPKernel& operator=(const DSPKernel&) = delete;

  // Renders frameCount frames starting bufferOffset frames into the current buffers.
  virtual void process(AUAudioFrameCount frameCount, AUAudioFrameCount bufferOffset) {
    (void)frameCount;
    (void)bufferOffset;
  }
  virtual void process2(AUAudioFrameCount frameCount, AUAudioFrameCount bufferOffset) {
    (void)frameCount;
    (void)bufferOffset;
  }
  virtual void setParameterAutomated(AUParameterAddress address, AUValue value,
                                     AUEventSampleTime sampleTime) {
    (void)address;
    (void)value;
    (void)sampleTime;
  }
  virtual void handleMIDIEvent(const AUMIDIEvent& midiEvent) { (void)midiEvent; }

  // Renders one host buffer: events at or before a frame take effect before it; events at the
  // same time apply together, in list order. Events at or after the end of the buffer are
  // applied after its last frame. A frame count of 0 renders and applies nothing.
  void processWithEvents(const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
                         const AURenderEvent* events, const AUMIDIOutputEventBlock* midiOut);

  // Applies the head event and every following one at or before now; advances the cursor.
  void performAllSimultaneousEvents(AUEventSampleTime now, const AURenderEvent*& event);
  // Parameter and ramp events (a ramp applies at once), MIDI and SysEx events; others ignored.
  void handleOneEvent(const AURenderEvent* event);

  // The block of the last processWithEvents call (null for none).
  const AUMIDIOutputEventBlock* midiOut = nullptr;
};
