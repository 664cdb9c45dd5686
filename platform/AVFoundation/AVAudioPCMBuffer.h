// A buffer of PCM samples in a given format, with room for `frameCapacity()` frames.
// It offers two buffer lists over the same samples: the read-only `audioBufferList()` and a
// distinct `mutableAudioBufferList()` that callers may redirect (a pull block may point its
// buffers elsewhere); the read-only list keeps the buffer's own pointers, so the mutable list
// can always be restored from it.
#pragma once

#include <memory>
#include <vector>

#include "AVFoundation/AVAudioFormat.h"
#include "AudioToolbox/CoreAudioTypes.h"

class AVAudioPCMBuffer {
 public:
  // initWithPCMFormat:frameCapacity: [main] — allocates and zeroes the samples. Null for an
  // absent format or one that is not 32-bit float, for a capacity whose buffer byte size does
  // not fit the lists' 32-bit byte sizes, and when the memory cannot be had. A capacity of 0 is
  // allowed. (The samples come zeroed from the system, so a large capacity costs memory only
  // where it is used.)
  static std::shared_ptr<AVAudioPCMBuffer> make(std::shared_ptr<AVAudioFormat> format,
                                                AVAudioFrameCount frameCapacity);

  std::shared_ptr<AVAudioFormat> format() const { return format_; }   // [any]
  AVAudioFrameCount frameCapacity() const { return frameCapacity_; }  // [any]
  // Frames of valid data, 0 when made. Setting it clamps to the capacity and sets the byte
  // size of every buffer of both lists to frameLength x bytes per frame. [any, not concurrently]
  AVAudioFrameCount frameLength() const { return frameLength_; }
  void setFrameLength(AVAudioFrameCount frameLength);
  // Samples between one frame and the next inside one buffer (channel count when interleaved).
  NSUInteger stride() const { return stride_; }

  // One pointer per channel (non-interleaved) or one pointer to the interleaved samples.
  // [any; the pointers stay valid as long as the buffer]
  float* const* floatChannelData() const { return channelPointers_.data(); }
  const AudioBufferList* audioBufferList() const { return readOnlyList_.get(); }
  AudioBufferList* mutableAudioBufferList() { return mutableList_.get(); }

  AVAudioPCMBuffer(std::shared_ptr<AVAudioFormat> format, AVAudioFrameCount frameCapacity);
  AVAudioPCMBuffer(const AVAudioPCMBuffer&) = delete;
  AVAudioPCMBuffer& operator=(const AVAudioPCMBuffer&) = delete;

 private:
  std::shared_ptr<AVAudioFormat> format_;
  AVAudioFrameCount frameCapacity_;
  AVAudioFrameCount frameLength_ = 0;
  NSUInteger stride_;
  struct FreeSamples {
    void operator()(float* p) const;
  };
  std::unique_ptr<float[], FreeSamples> samples_;
  std::vector<float*> channelPointers_;
  AudioBufferListStorage readOnlyList_;
  AudioBufferListStorage mutableList_;
};
