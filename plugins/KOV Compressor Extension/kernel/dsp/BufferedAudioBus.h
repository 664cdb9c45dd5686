// An audio-unit bus together with a sample buffer of the maximum render length.
// BufferedInputBus pulls the host's input into that buffer.
//
// Threads: init, allocateRenderResources and deallocateRenderResources on the thread that
// allocates (never while rendering); pullInput and prepareInputBufferList are [render].
#pragma once

#include <memory>

#include "AVFoundation/AVAudioFormat.h"
#include "AVFoundation/AVAudioPCMBuffer.h"
#include "AudioToolbox/AUAudioUnitBus.h"
#include "AudioToolbox/CoreAudioTypes.h"

class BufferedAudioBus {
 public:
  BufferedAudioBus() = default;
  virtual ~BufferedAudioBus() = default;
  BufferedAudioBus(const BufferedAudioBus&) = delete;
  BufferedAudioBus& operator=(const BufferedAudioBus&) = delete;

  // Makes the bus for format (left empty when the format is refused) with at most maxChannels.
  void init(std::shared_ptr<AVAudioFormat> format, AVAudioChannelCount maxChannels);
  // A zeroed buffer of maxFrames in the bus's current format; the previous one is released.
  void allocateRenderResources(AUAudioFrameCount maxFrames);
  void deallocateRenderResources();

  std::shared_ptr<AUAudioUnitBus> bus;
  AUAudioFrameCount maxFrames = 0;
  std::shared_ptr<AVAudioPCMBuffer> pcmBuffer;
  const AudioBufferList* originalAudioBufferList = nullptr;
  AudioBufferList* mutableAudioBufferList = nullptr;
};

class BufferedInputBus : public BufferedAudioBus {
 public:
  // Without a pull block: -10876 and nothing else. With one: restores the buffer pointers,
  // then returns what the pull block returns when asked to fill mutableAudioBufferList.
  // Without an allocated buffer: -10867 (render resources not allocated), nothing pulled.
  AUAudioUnitStatus pullInput(AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
                              AUAudioFrameCount frameCount, NSInteger inputBusNumber,
                              const AURenderPullInputBlock* pullInputBlock);
  // Points every buffer of the mutable list back at the buffer's own samples (a previous pull
  // may have redirected them), with a byte size of maxFrames samples.
  void prepareInputBufferList();
};
