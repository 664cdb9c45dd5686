// The step every render entry takes before it processes: pull the input into a buffer list,
// point the output at the input when the host asks for in-place processing, and check that the
// buffers about to be touched have data (and room for the frames). The effect's adapter, the
// system peak limiter and the effect's unit all render through these, each keeping the status
// codes of its own contract; an engine's nodes are meant to do the same.
//
// In-place rule: when the output list's first buffer has no data, every output buffer is
// pointed at the input buffer of the same index (at the last input buffer where the output has
// more buffers than the input). Otherwise nothing is pointed anywhere, and an output buffer
// without data is the caller's error to report.
//
// Threads: [render]; no allocation, lock or exception (the pull block itself aside).
#pragma once

#include <cstddef>

#include "AudioToolbox/CoreAudioTypes.h"

namespace RenderPull {

// Points the list's `count` buffers at `storage`, one mono channel every `stride` floats, each
// `bytes` long, and sets the list's buffer count to `count`.
void pointAtStorage(AudioBufferList& list, float* storage, UInt32 count, std::size_t stride, UInt32 bytes);

// Calls the pull block to fill `input` for `frames` frames from input bus `bus`, and returns its
// status; kAudioUnitErr_NoConnection without a block (nothing is called).
AUAudioUnitStatus pull(const AURenderPullInputBlock* block, AudioUnitRenderActionFlags* flags,
                       const AudioTimeStamp* timestamp, AUAudioFrameCount frames, NSInteger bus,
                       AudioBufferList* input);

// Copies the first min(to, from) buffers of `from` into `to` (data, size and channel count):
// `to` then reads the same memory.
void shareBuffers(AudioBufferList& to, const AudioBufferList& from);

// Applies the in-place rule above; returns whether the call is in place. Buffers pointed at the
// input keep their own byte size.
bool renderInPlaceIfAsked(AudioBufferList& output, const AudioBufferList& input);

// True when each of the list's first min(its count, maxBuffers) buffers has data and at least
// `bytes` bytes (a list without buffers passes: callers that need one say so).
bool holdsFrames(const AudioBufferList& list, UInt32 maxBuffers, UInt32 bytes);

}  // namespace RenderPull
