#include "BufferedAudioBus.h"

#include "AudioToolbox/RenderPull.h"

void BufferedAudioBus::init(std::shared_ptr<AVAudioFormat> format, AVAudioChannelCount maxChannels) {
  maxFrames = 0;
  pcmBuffer.reset();
  originalAudioBufferList = nullptr;
  mutableAudioBufferList = nullptr;
  bus = AUAudioUnitBus::make(std::move(format));
  if (bus)
    bus->setMaximumChannelCount(maxChannels);
}

void BufferedAudioBus::allocateRenderResources(AUAudioFrameCount frames) {
  maxFrames = frames;
  pcmBuffer = bus ? AVAudioPCMBuffer::make(bus->format(), frames) : nullptr;
  if (pcmBuffer) {
    originalAudioBufferList = pcmBuffer->audioBufferList();
    mutableAudioBufferList = pcmBuffer->mutableAudioBufferList();
  } else {
    maxFrames = 0;
    originalAudioBufferList = nullptr;
    mutableAudioBufferList = nullptr;
  }
}

void BufferedAudioBus::deallocateRenderResources() {
  pcmBuffer.reset();
  originalAudioBufferList = nullptr;
  mutableAudioBufferList = nullptr;
}

AUAudioUnitStatus BufferedInputBus::pullInput(AudioUnitRenderActionFlags* actionFlags,
                                              const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
                                              NSInteger inputBusNumber,
                                              const AURenderPullInputBlock* pullInputBlock) {
  if (!pullInputBlock || !*pullInputBlock)
    return kAudioUnitErr_NoConnection;
  if (!mutableAudioBufferList || !originalAudioBufferList)
    return kAudioUnitErr_Uninitialized;
  prepareInputBufferList();
  return RenderPull::pull(pullInputBlock, actionFlags, timestamp, frameCount, inputBusNumber,
                          mutableAudioBufferList);
}

void BufferedInputBus::prepareInputBufferList() {
  if (!mutableAudioBufferList || !originalAudioBufferList)
    return;
  const UInt32 count = originalAudioBufferList->mNumberBuffers;
  mutableAudioBufferList->mNumberBuffers = count;
  for (UInt32 i = 0; i < count; ++i) {
    mutableAudioBufferList->mBuffers[i].mNumberChannels =
        originalAudioBufferList->mBuffers[i].mNumberChannels;
    mutableAudioBufferList->mBuffers[i].mData = originalAudioBufferList->mBuffers[i].mData;
    mutableAudioBufferList->mBuffers[i].mDataByteSize = maxFrames * sizeof(float);
  }
}
