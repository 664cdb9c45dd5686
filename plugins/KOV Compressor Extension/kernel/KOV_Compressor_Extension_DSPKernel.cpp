#include "KOV_Compressor_Extension_DSPKernel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "KeyedByBand.h"
#include "RealTime/RenderLines.h"
#include "RealTime/RenderScope.h"

namespace {
constexpr auto relaxed = std::memory_order_relaxed;

// On a render thread the line takes the render-line queue (no stdio lock there); elsewhere it is
// written through at once, so a redirected stdout (a file, a pipe) holds it the moment it is
// printed, not only when later lines push it out of the stdio buffer.
void logParameter(AUParameterAddress address, AUValue value) {
  const auto number = static_cast<unsigned long long>(address);
  if (RenderScope::isRenderThread()) {
    RenderLines::pushFormatted("unit received parameter : address:%llu, value:%f", number,
                               static_cast<double>(value));
    return;
  }
  std::printf("unit received parameter : address:%llu, value:%f\n", number, static_cast<double>(value));
  std::fflush(stdout);
}
}  // namespace

void KOV_Compressor_Extension_DSPKernel::init(int channelCount, double sampleRate) {
  // A rate outside float's range would not convert; setSamplerate ignores what is left.
  const float rate = (sampleRate > 0.0 && sampleRate < 1.0e30) ? static_cast<float>(sampleRate) : 0.0f;
  setSamplerate(rate);
  numChannels = channelCount;
  reset();
}

void KOV_Compressor_Extension_DSPKernel::setSamplerate(float sampleRate) {
  if (!(sampleRate > 0.0f && std::isfinite(sampleRate)))
    return;
  fSamplerate.store(sampleRate, relaxed);
  follower[0].setSamplerate(sampleRate);
  follower[1].setSamplerate(sampleRate);
  splitB.setSamplerate(sampleRate);
  compressor.setSamplerate(sampleRate);
}

void KOV_Compressor_Extension_DSPKernel::reset() {
  follower[0].reset();
  follower[1].reset();
  splitS.reset();
  splitB.reset();
  splitB.setCutoff1(0.0f);
  splitB.setCutoff2(1.0f);
  compressor.reset();
}

void KOV_Compressor_Extension_DSPKernel::setParameter(AUParameterAddress address, AUValue value) {
  if (address >= kParameterCount)
    return;
  fParameters[address].store(value, relaxed);
  logParameter(address, value);
  Compressor1& A = compressor.c[0];
  Compressor1& B = compressor.c[1];
  switch (address) {
    case kCompressorAttack:
      A.setAttack(value);
      B.setAttack(value);
      break;
    case kCompressorRelease:
      A.setRelease(value);
      B.setRelease(value);
      break;
    case kCompressorThreshold:
      A.setThreshold(value);
      B.setThreshold(value);
      break;
    case kCompressorRatio:
      A.setRatio(value);
      B.setRatio(value);
      break;
    case kCompressorGain:
      A.setGain(value);
      B.setGain(value);
      break;
    case kCompressorMix:
      A.fMix.store(value, relaxed);
      B.fMix.store(value, relaxed);
      break;
    case kCompressorAudition:
      A.fInvert.store(value, relaxed);
      B.fInvert.store(value, relaxed);
      break;
    case kCompressorInputFilterHP:
      splitB.setCutoff1(value);
      break;
    case kCompressorInputFilterLP:
      splitB.setCutoff2(value);
      break;
    default:
      break;
  }
}

AUValue KOV_Compressor_Extension_DSPKernel::getParameter(AUParameterAddress address) const {
  return address < kParameterCount ? fParameters[address].load(relaxed) : 0.0f;
}

void KOV_Compressor_Extension_DSPKernel::process(AUAudioFrameCount frameCount,
                                                 AUAudioFrameCount bufferOffset) {
  const AudioBufferList* in = inBufferListPtr.load(relaxed);
  const AudioBufferList* out = outBufferListPtr.load(relaxed);
  if (!in || !out || frameCount == 0)
    return;

  // Only buffers that both lists hold are touched.
  const UInt32 wanted = numChannels > 0 ? static_cast<UInt32>(numChannels) : 0u;
  const UInt32 channels = std::min({wanted, in->mNumberBuffers, out->mNumberBuffers});
  for (UInt32 ch = 0; ch < channels; ++ch) {
    const float* source = static_cast<const float*>(in->mBuffers[ch].mData);
    float* destination = static_cast<float*>(out->mBuffers[ch].mData);
    if (!source || !destination)
      continue;
    source += bufferOffset;
    destination += bufferOffset;
    if (source != destination)
      std::memmove(destination, source, frameCount * sizeof(float));
  }

  if (bBypass.load(relaxed) || numChannels != 2 || channels < 2)
    return;
  float* left = static_cast<float*>(out->mBuffers[0].mData);
  float* right = static_cast<float*>(out->mBuffers[1].mData);
  if (!left || !right)
    return;
  left += bufferOffset;
  right += bufferOffset;

  const bool dry = fParameters[kCompressorBypass].load(relaxed) != 0.0f;
  const float modeValue = fParameters[kCompressorMode].load(relaxed);
  // Truncated toward zero; negative results, NaN and values past 3 select no mode.
  const int mode = (modeValue > -1.0f && modeValue < 4.0f) ? static_cast<int>(modeValue) : -1;
  const bool sidechain = !(fParameters[kCompressorInputFilterHP].load(relaxed) == 0.0f &&
                           fParameters[kCompressorInputFilterLP].load(relaxed) == 1.0f);

  // Stretches longer than the scratch arrays are done in parts.
  for (AUAudioFrameCount done = 0; done < frameCount; done += kScratchFrames) {
    const int frames = static_cast<int>(std::min(frameCount - done, kScratchFrames));
    if (!dry)
      compress(left + done, right + done, frames, mode, sidechain);
    Follower::processStereo(follower[0], follower[1], left + done, right + done, frames);
  }
}

void KOV_Compressor_Extension_DSPKernel::compress(float* left, float* right, int frames, int mode,
                                                  bool sidechain) {
  if (!sidechain) {
    switch (mode) {
      case 0:
        compressor.processBuffers(left, right, frames);
        break;
      case 1:
        compressor.processBuffersLinked(left, right, frames);
        break;
      case 2:
        compressor.processBuffersMidSide(left, right, frames);
        break;
      case 3:
        compressor.processBuffersMidSideLinked(left, right, frames);
        break;
      default:
        break;
    }
    return;
  }
  // The key is the band between the edges, taken from the signal before compression; made and
  // used in one pass where that applies, else in two steps.
  if (keyed_by_band::compress(compressor, splitB, mode, left, right, frames))
    return;
  splitB.splitBand(left, right, frames);
  float* bandLeft = splitB.getBPLeft();
  float* bandRight = splitB.getBPRight();
  switch (mode) {
    case 0:
      compressor.processBuffersSidechain(left, right, bandLeft, bandRight, frames);
      break;
    case 1:
      compressor.processBuffersSidechainLinked(left, right, bandLeft, bandRight, frames);
      break;
    case 2:
      splitS.split(bandLeft, bandRight, frames);
      compressor.processBuffersSidechainMidSide(left, right, splitS.getMid(), splitS.getSide(), frames);
      break;
    case 3:
      splitS.split(bandLeft, bandRight, frames);
      compressor.processBuffersSidechainMidSideLinked(left, right, splitS.getMid(), splitS.getSide(), frames);
      break;
    default:
      break;
  }
}

void KOV_Compressor_Extension_DSPKernel::handleMIDIEvent(const AUMIDIEvent& midiEvent) {
  if (midiEvent.length != 0) {
    switch (midiEvent.data[0]) {
      case 0xF8:  // timing clock
      case 0xFA:  // start
      case 0xFB:  // continue
      case 0xFC:  // stop
      case 0xFF:  // system reset
        return;
      default:
        break;
    }
  }
  if (midiOut && *midiOut && midiThru) {
    // The event holds at most three bytes.
    const NSInteger length = midiEvent.length < 3 ? midiEvent.length : 3;
    (*midiOut)(midiEvent.eventSampleTime, 0, length, midiEvent.data);
  }
}
