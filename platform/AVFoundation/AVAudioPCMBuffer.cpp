#include "AVFoundation/AVAudioPCMBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

std::shared_ptr<AVAudioPCMBuffer> AVAudioPCMBuffer::make(std::shared_ptr<AVAudioFormat> format,
                                                         AVAudioFrameCount frameCapacity) {
  if (!format || format->commonFormat() != AVAudioCommonFormat::pcmFormatFloat32)
    return nullptr;
  const std::uint64_t bufferBytes = std::uint64_t(frameCapacity) * format->streamDescription().mBytesPerFrame;
  if (bufferBytes > std::numeric_limits<UInt32>::max())
    return nullptr;
  try {
    return std::make_shared<AVAudioPCMBuffer>(std::move(format), frameCapacity);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void AVAudioPCMBuffer::FreeSamples::operator()(float* p) const {
  std::free(p);
}

// Non-interleaved: one buffer per channel, each its own run of frameCapacity samples.
// Interleaved: one buffer holding all channels frame by frame.
AVAudioPCMBuffer::AVAudioPCMBuffer(std::shared_ptr<AVAudioFormat> format, AVAudioFrameCount frameCapacity)
    : format_(std::move(format)),
      frameCapacity_(frameCapacity),
      stride_(format_->isInterleaved() ? format_->channelCount() : 1),
      samples_(static_cast<float*>(
          std::calloc(std::size_t(frameCapacity) * format_->channelCount(), sizeof(float)))),
      readOnlyList_(format_->isInterleaved() ? 1 : format_->channelCount()),
      mutableList_(format_->isInterleaved() ? 1 : format_->channelCount()) {
  if (!samples_ && frameCapacity != 0)
    throw std::bad_alloc();
  const UInt32 buffers = readOnlyList_->mNumberBuffers;
  const UInt32 channelsPerBuffer = format_->isInterleaved() ? format_->channelCount() : 1;
  channelPointers_.resize(buffers);
  for (UInt32 b = 0; b < buffers; ++b) {
    // A capacity of 0 keeps null pointers.
    float* data = frameCapacity == 0 ? nullptr : samples_.get() + std::size_t(b) * frameCapacity;
    channelPointers_[b] = data;
    for (AudioBufferList* list : {readOnlyList_.get(), mutableList_.get()}) {
      list->mBuffers[b].mNumberChannels = channelsPerBuffer;
      list->mBuffers[b].mDataByteSize = 0;
      list->mBuffers[b].mData = data;
    }
  }
}

void AVAudioPCMBuffer::setFrameLength(AVAudioFrameCount frameLength) {
  frameLength_ = frameLength < frameCapacity_ ? frameLength : frameCapacity_;
  const UInt32 bytes = frameLength_ * format_->streamDescription().mBytesPerFrame;
  for (AudioBufferList* list : {readOnlyList_.get(), mutableList_.get()})
    for (UInt32 b = 0; b < list->mNumberBuffers; ++b)
      list->mBuffers[b].mDataByteSize = bytes;
}
