// The one object through which the audio unit and its parameter tree reach the signal path.
// It owns the compressor kernel and the input bus by value, owns the output bus, keeps the
// host's blocks and turns the unit's calls into kernel calls.
//
// Threads: render and the block from internalRenderBlock are [render]: no lock, no allocation,
// no system call; each is a render entry (RealTime/RenderScope.h: subnormals flushed, the thread
// marked, so that the kernel's parameter lines take the render-line queue).
// setParameter/valueForParameter, the meter getters and the bypass and frame-limit accessors
// are [any]. init, allocate/deallocate, reset, setSamplerate and the block setters taking a
// block by value are [main] (never while rendering for allocate/deallocate/reset).
// handOverAUMIDIOutputEventBlock is [any, render included].
#pragma once

#include <memory>

#include "AVFoundation/AVAudioFormat.h"
#include "AudioToolbox/AUAudioUnitBus.h"
#include "AudioToolbox/AUParameters.h"
#include "AudioToolbox/CoreAudioTypes.h"
#include "BufferedAudioBus.h"
#include "KOV_Compressor_Extension_DSPKernel.h"
#include "RealTime/HandOver.h"

// The host's MIDI-output block, handed to the render thread.
using MIDIOutputBlockHandOver = HandOver<AUMIDIOutputEventBlock>;

class KOV_Compressor_ExtensionDSPKernelAdapter {
 public:
  // init: the kernel at 48 kHz with 2 channels; input and output bus in the 48 kHz stereo
  // float format.
  KOV_Compressor_ExtensionDSPKernelAdapter();
  static std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter> make() {
    return std::make_shared<KOV_Compressor_ExtensionDSPKernelAdapter>();
  }
  KOV_Compressor_ExtensionDSPKernelAdapter(const KOV_Compressor_ExtensionDSPKernelAdapter&) = delete;
  KOV_Compressor_ExtensionDSPKernelAdapter& operator=(const KOV_Compressor_ExtensionDSPKernelAdapter&) =
      delete;

  std::shared_ptr<AUAudioUnitBus> inputBus() const { return _inputBus.bus; }
  std::shared_ptr<AUAudioUnitBus> outputBus() const { return _outputBus; }

  // A null parameter is ignored (reads 0).
  void setParameter(AUParameter* parameter, AUValue value);
  AUValue valueForParameter(AUParameter* parameter) const;
  // Addresses are sign-extended: a negative address is ignored and reads 0.
  void setParameterEx(std::int32_t address, AUValue value);
  AUValue getParameterEx(std::int32_t address) const;

  AUAudioFrameCount maximumFramesToRender() const;
  void setMaximumFramesToRender(AUAudioFrameCount frames);
  bool shouldBypassEffect() const { return _kernel.getBypassed(); }
  void setShouldBypassEffect(bool bypass) { _kernel.setBypassed(bypass); }
  void setBypass(bool bypass) { _kernel.setBypassed(bypass); }

  // Gives the input bus a zeroed buffer of maximumFramesToRender frames (at most 2^20) and
  // re-initialises the kernel from the output bus's format.
  void allocateRenderResources();
  void deallocateRenderResources();
  void reset();

  // Copies of the host's blocks; an empty block clears what was held.
  void setAUMIDIOutputEventBlock(AUMIDIOutputEventBlock block);
  void setAUHostMusicalContextBlock(AUHostMusicalContextBlock block) { _musicalContext = std::move(block); }
  void setAUScheduleMIDIEventBlock(AUScheduleMIDIEventBlock block) {
    _scheduleMIDIEventBlock = std::move(block);
  }
  void setAUHostTransportStateBlock(AUHostTransportStateBlock block) {
    _transportStateBlock = std::move(block);
  }
  // The MIDI-output hand-over for callers on the render thread: pass the same shared block
  // on every call and nothing is copied; a different one is taken without lock or
  // allocation and the old one is released later, off the render thread.
  void handOverAUMIDIOutputEventBlock(const std::shared_ptr<const AUMIDIOutputEventBlock>& block);

  // A render block over this adapter (valid while the adapter lives) that holds the MIDI-output
  // block current now. Unlike `render` it always pulls: without a pull block it returns
  // -10876 (only a frame count above the limit is refused first). A null output list gives -50.
  AUInternalRenderBlock internalRenderBlock();

  // One host render call: -10874 above the frame limit or the input buffer's capacity, -10867
  // before render resources are allocated, a failing pull's status, -50 for output buffers
  // without data that cannot be pointed at the input; 0 otherwise (also for a null output
  // list, which renders nothing). Null output data pointers ask for in-place processing in
  // the input buffer.
  AUAudioUnitStatus render(AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
                           AUAudioFrameCount frameCount, NSInteger outputBusNumber,
                           AudioBufferList* outputData, const AURenderEvent* realtimeEventListHead,
                           const AURenderPullInputBlock* pullInputBlock);
  // Points the kernel at the buffers and calls its second entry (which does nothing).
  AUAudioUnitStatus render2(AUAudioFrameCount frameCount, AudioBufferList* outputData);

  float getDynamicsValue1() const { return _kernel.getDynamicsValue1(); }
  float getDynamicsValue2() const { return _kernel.getDynamicsValue2(); }
  float getPeakValue1() const { return _kernel.getPeakValue1(); }
  float getPeakValue2() const { return _kernel.getPeakValue2(); }
  float getSamplerate() const { return _kernel.getSamplerate(); }
  void setSamplerate(float sampleRate) { _kernel.setSamplerate(sampleRate); }
  AudioBufferList* outputs() const { return _kernel.getOutputs(); }
  AudioBufferList* inputs() const { return _kernel.getInputs(); }

  // For tests and benchmarks.
  KOV_Compressor_Extension_DSPKernel& kernel() { return _kernel; }
  BufferedInputBus& bufferedInputBus() { return _inputBus; }
  const AUHostTransportStateBlock& hostTransportStateBlock() const { return _transportStateBlock; }

 private:
  AUAudioUnitStatus renderWith(const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
                               AudioBufferList* outputData, const AURenderEvent* events,
                               const AURenderPullInputBlock* pullInputBlock, bool alwaysPull,
                               const AUMIDIOutputEventBlock* midiOut);

  KOV_Compressor_Extension_DSPKernel _kernel;
  BufferedInputBus _inputBus;
  AUHostMusicalContextBlock _musicalContext;
  MIDIOutputBlockHandOver _outputEventBlock;
  AUHostTransportStateBlock _transportStateBlock;
  AUScheduleMIDIEventBlock _scheduleMIDIEventBlock;
  std::shared_ptr<AUAudioUnitBus> _outputBus;
};
