#include "AVFoundation/AVAudioPCMBuffer.h"

std::shared_ptr<AVAudioPCMBuffer> AVAudioPCMBuffer::make(std::shared_ptr<AVAudioFormat> format,
                                                         AVAudioFrameCount frameCapacity) {
  if (!format || format->commonFormat() != AVAudioCommonFormat::pcmFormatFloat32) return nullptr;
  return std::make_shared<AVAudioPCMBuffer>(std::move(format), frameCapacity);
}

// Non-interleaved: one buffer per channel, each its own run of frameCapacity samples.
// Interleaved: one buffer holding all channels frame by frame.
AVAudioPCMBuffer::AVAudioPCMBuffer(std::shared_ptr<AVAudioFormat> format, AVAudioFrameCount frameCapacity)
    : format_(std::move(format)),
      frameCapacity_(frameCapacity),
      stride_(format_->isInterleaved() ? format_->channelCount() : 1),
      samples_(std::size_t(frameCapacity) * format_->channelCount(), 0.0f),
      readOnlyList_(format_->isInterleaved() ? 1 : format_->channelCount()),
      mutableList_(format_->isInterleaved() ? 1 : format_->channelCount()) {
  const UInt32 buffers = readOnlyList_->mNumberBuffers;
  const UInt32 channelsPerBuffer = format_->isInterleaved() ? format_->channelCount() : 1;
  channelPointers_.resize(buffers);
  for (UInt32 b = 0; b < buffers; ++b) {
    // An empty vector's data() may be null; a capacity of 0 keeps null pointers.
    float* data = samples_.empty() ? nullptr : samples_.data() + std::size_t(b) * frameCapacity;
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
    for (UInt32 b = 0; b < list->mNumberBuffers; ++b) list->mBuffers[b].mDataByteSize = bytes;
}
