#include "AudioToolbox/RenderPull.h"

#include <algorithm>

namespace RenderPull {

void pointAtStorage(AudioBufferList& list, float* storage, UInt32 count, std::size_t stride, UInt32 bytes) {
  list.mNumberBuffers = count;
  for (UInt32 c = 0; c < count; ++c) {
    list.mBuffers[c].mNumberChannels = 1;
    list.mBuffers[c].mDataByteSize = bytes;
    list.mBuffers[c].mData = storage + std::size_t(c) * stride;
  }
}

AUAudioUnitStatus pull(const AURenderPullInputBlock* block, AudioUnitRenderActionFlags* flags,
                       const AudioTimeStamp* timestamp, AUAudioFrameCount frames, NSInteger bus,
                       AudioBufferList* input) {
  if (!block || !*block)
    return kAudioUnitErr_NoConnection;
  return (*block)(flags, timestamp, frames, bus, input);
}

void shareBuffers(AudioBufferList& to, const AudioBufferList& from) {
  const UInt32 count = std::min(to.mNumberBuffers, from.mNumberBuffers);
  for (UInt32 i = 0; i < count; ++i)
    to.mBuffers[i] = from.mBuffers[i];
}

bool renderInPlaceIfAsked(AudioBufferList& output, const AudioBufferList& input) {
  if (output.mNumberBuffers == 0 || output.mBuffers[0].mData || input.mNumberBuffers == 0)
    return false;
  for (UInt32 i = 0; i < output.mNumberBuffers; ++i) {
    const AudioBuffer& source = input.mBuffers[std::min(i, input.mNumberBuffers - 1)];
    output.mBuffers[i].mData = source.mData;
    output.mBuffers[i].mNumberChannels = source.mNumberChannels;
  }
  return true;
}

bool holdsFrames(const AudioBufferList& list, UInt32 maxBuffers, UInt32 bytes) {
  const UInt32 count = std::min(list.mNumberBuffers, maxBuffers);
  for (UInt32 i = 0; i < count; ++i) {
    if (!list.mBuffers[i].mData || list.mBuffers[i].mDataByteSize < bytes)
      return false;
  }
  return true;
}

}  // namespace RenderPull
