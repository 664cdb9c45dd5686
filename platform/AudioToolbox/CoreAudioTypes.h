// Plain value types of the audio framework: scalar types, status codes, buffer lists, time
// stamps, render events, four-character codes and component descriptions.
// Header-only and free of allocation: DSP code may include it and nothing else of the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>

using UInt8 = std::uint8_t;
using UInt16 = std::uint16_t;
using UInt32 = std::uint32_t;
using UInt64 = std::uint64_t;
using SInt64 = std::int64_t;
using Float32 = float;
using Float64 = double;
using NSInteger = std::int64_t;
using NSUInteger = std::uint64_t;

using OSStatus = std::int32_t;
using OSType = std::uint32_t;
using AUAudioUnitStatus = OSStatus;
using AUEventSampleTime = std::int64_t;
using AUAudioFrameCount = std::uint32_t;
using AUParameterAddress = std::uint64_t;
using AUValue = float;
using AudioUnitParameterID = std::uint32_t;
using AudioUnitParameterValue = float;
using AudioUnitScope = std::uint32_t;
using AudioUnitElement = std::uint32_t;
using AudioUnitRenderActionFlags = std::uint32_t;
using AVAudioChannelCount = std::uint32_t;
using AVAudioFrameCount = std::uint32_t;

// Status codes.
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kAudioUnitErr_InvalidProperty = -10879;
inline constexpr OSStatus kAudioUnitErr_InvalidParameter = -10878;
inline constexpr OSStatus kAudioUnitErr_InvalidElement = -10877;
inline constexpr OSStatus kAudioUnitErr_NoConnection = -10876;
inline constexpr OSStatus kAudioUnitErr_TooManyFramesToProcess = -10874;
inline constexpr OSStatus kAudioUnitErr_FormatNotSupported = -10868;
inline constexpr OSStatus kAudioUnitErr_Uninitialized = -10867;
inline constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
inline constexpr OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;
inline constexpr OSStatus kAudioUnitErr_InvalidFilePath = -66742;

inline constexpr AudioUnitScope kAudioUnitScope_Global = 0;
inline constexpr AudioUnitScope kAudioUnitScope_Input = 1;
inline constexpr AudioUnitScope kAudioUnitScope_Output = 2;

// Four-character codes: the first character is the most significant byte.
constexpr OSType FourCC(const char (&code)[5]) {
  return (OSType(UInt8(code[0])) << 24) | (OSType(UInt8(code[1])) << 16) | (OSType(UInt8(code[2])) << 8) |
         OSType(UInt8(code[3]));
}

struct AudioComponentDescription {
  OSType componentType = 0;
  OSType componentSubType = 0;
  OSType componentManufacturer = 0;
  UInt32 componentFlags = 0;
  UInt32 componentFlagsMask = 0;
};

using AudioComponentInstantiationOptions = UInt32;

// One buffer of samples. In this system always non-interleaved 32-bit float, one channel each.
struct AudioBuffer {
  UInt32 mNumberChannels = 0;
  UInt32 mDataByteSize = 0;
  void* mData = nullptr;
};

// A variable-length list of buffers: mNumberBuffers entries follow the count. Lists with more
// than one buffer are made with AudioBufferListStorage (heap) or StackAudioBufferList<N>.
struct AudioBufferList {
  UInt32 mNumberBuffers = 0;
  AudioBuffer mBuffers[1];

  static constexpr std::size_t sizeFor(UInt32 buffers) {
    return offsetof(AudioBufferList, mBuffers) + sizeof(AudioBuffer) * (buffers ? buffers : 1);
  }
};

// A buffer list with room for N buffers, laid out as an AudioBufferList.
template <UInt32 N>
struct StackAudioBufferList {
  static_assert(N >= 1);
  UInt32 mNumberBuffers = N;
  AudioBuffer mBuffers[N] = {};

  AudioBufferList* list() { return reinterpret_cast<AudioBufferList*>(this); }
  const AudioBufferList* list() const { return reinterpret_cast<const AudioBufferList*>(this); }
};
static_assert(offsetof(StackAudioBufferList<2>, mBuffers) == offsetof(AudioBufferList, mBuffers));

// An owned, zero-initialised buffer list with room for `buffers` entries.
class AudioBufferListStorage {
 public:
  explicit AudioBufferListStorage(UInt32 buffers)
      : memory_(static_cast<AudioBufferList*>(std::calloc(1, AudioBufferList::sizeFor(buffers)))) {
    if (!memory_)
      throw std::bad_alloc();
    memory_->mNumberBuffers = buffers;
  }
  AudioBufferList* get() const { return memory_.get(); }
  AudioBufferList* operator->() const { return memory_.get(); }

 private:
  struct Free {
    void operator()(AudioBufferList* p) const { std::free(p); }
  };
  std::unique_ptr<AudioBufferList, Free> memory_;
};

struct SMPTETime {
  std::int16_t mSubframes = 0;
  std::int16_t mSubframeDivisor = 0;
  UInt32 mCounter = 0;
  UInt32 mType = 0;
  UInt32 mFlags = 0;
  std::int16_t mHours = 0;
  std::int16_t mMinutes = 0;
  std::int16_t mSeconds = 0;
  std::int16_t mFrames = 0;
};

inline constexpr UInt32 kAudioTimeStampSampleTimeValid = 1u << 0;
inline constexpr UInt32 kAudioTimeStampHostTimeValid = 1u << 1;

struct AudioTimeStamp {
  Float64 mSampleTime = 0;
  UInt64 mHostTime = 0;
  Float64 mRateScalar = 0;
  UInt64 mWordClockTime = 0;
  SMPTETime mSMPTETime{};
  UInt32 mFlags = 0;
  UInt32 mReserved = 0;
};

// Render events: a singly linked list walked in place on the render thread.
enum AURenderEventType : UInt8 {
  AURenderEventParameter = 1,
  AURenderEventParameterRamp = 2,
  AURenderEventMIDI = 8,
  AURenderEventMIDISysEx = 9,
  AURenderEventMIDIEventList = 10,
};

union AURenderEvent;

struct AURenderEventHeader {
  AURenderEvent* next;
  AUEventSampleTime eventSampleTime;
  AURenderEventType eventType;
  UInt8 reserved;
};

struct AUParameterEvent {
  AURenderEvent* next;
  AUEventSampleTime eventSampleTime;
  AURenderEventType eventType;
  UInt8 reserved[3];
  AUAudioFrameCount rampDurationSampleFrames;
  AUParameterAddress parameterAddress;
  AUValue value;
};

struct AUMIDIEvent {
  AURenderEvent* next;
  AUEventSampleTime eventSampleTime;
  AURenderEventType eventType;
  UInt8 reserved;
  UInt16 length;
  UInt8 cable;
  UInt8 data[3];
};

union AURenderEvent {
  AURenderEventHeader head;
  AUParameterEvent parameter;
  AUMIDIEvent MIDI;
};

// Blocks. They are made and copied off the render thread; the render thread only calls them.
using AUMIDIOutputEventBlock = std::function<OSStatus(AUEventSampleTime eventSampleTime, UInt8 cable,
                                                      NSInteger length, const UInt8* midiBytes)>;

using AURenderPullInputBlock = std::function<AUAudioUnitStatus(
    AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
    NSInteger inputBusNumber, AudioBufferList* inputData)>;

// The pull block is passed by pointer: null means the host gave none.
using AUInternalRenderBlock = std::function<AUAudioUnitStatus(
    AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
    NSInteger outputBusNumber, AudioBufferList* outputData, const AURenderEvent* realtimeEventListHead,
    const AURenderPullInputBlock* pullInputBlock)>;

// The host-facing render block: the pull block is passed by pointer, null for none.
using AURenderBlock = std::function<AUAudioUnitStatus(
    AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount,
    NSInteger outputBusNumber, AudioBufferList* outputData, const AURenderPullInputBlock* pullInputBlock)>;

using AUHostMusicalContextBlock = std::function<bool(
    double* currentTempo, double* timeSignatureNumerator, NSInteger* timeSignatureDenominator,
    double* currentBeatPosition, NSInteger* sampleOffsetToNextBeat, double* currentMeasureDownbeatPosition)>;

using AUHostTransportStateFlags = UInt32;
using AUHostTransportStateBlock =
    std::function<bool(AUHostTransportStateFlags* transportStateFlags, double* currentSamplePosition,
                       double* cycleStartBeatPosition, double* cycleEndBeatPosition)>;

using AUScheduleMIDIEventBlock = std::function<void(AUEventSampleTime eventSampleTime, UInt8 cable,
                                                    NSInteger length, const UInt8* midiBytes)>;

// Parameter flags and units.
using AudioUnitParameterOptions = UInt32;
inline constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsReadable = 1u << 30;
inline constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsWritable = 1u << 31;

enum AudioUnitParameterUnit : UInt32 {
  kAudioUnitParameterUnit_Generic = 0,
  kAudioUnitParameterUnit_Indexed = 1,
  kAudioUnitParameterUnit_Boolean = 2,
  kAudioUnitParameterUnit_Percent = 3,
  kAudioUnitParameterUnit_Seconds = 4,
  kAudioUnitParameterUnit_Decibels = 13,
  kAudioUnitParameterUnit_Milliseconds = 24,
};

// Stream formats. Only linear PCM is described here; this system renders 32-bit float,
// non-interleaved (one buffer per channel).
inline constexpr UInt32 kAudioFormatLinearPCM = 0x6C70636D;  // 'lpcm'
inline constexpr UInt32 kAudioFormatFlagIsFloat = 1u << 0;
inline constexpr UInt32 kAudioFormatFlagIsBigEndian = 1u << 1;
inline constexpr UInt32 kAudioFormatFlagIsSignedInteger = 1u << 2;
inline constexpr UInt32 kAudioFormatFlagIsPacked = 1u << 3;
inline constexpr UInt32 kAudioFormatFlagIsNonInterleaved = 1u << 5;

struct AudioStreamBasicDescription {
  Float64 mSampleRate = 0;
  UInt32 mFormatID = 0;
  UInt32 mFormatFlags = 0;
  UInt32 mBytesPerPacket = 0;
  UInt32 mFramesPerPacket = 0;
  UInt32 mBytesPerFrame = 0;  // of one buffer: per channel when non-interleaved
  UInt32 mChannelsPerFrame = 0;
  UInt32 mBitsPerChannel = 0;
  UInt32 mReserved = 0;
};

// Component types and the platform's own manufacturer code.
inline constexpr OSType kAudioUnitType_Effect = FourCC("aufx");
inline constexpr OSType kAudioUnitType_MusicEffect = FourCC("aumf");
inline constexpr OSType kAudioUnitType_MusicDevice = FourCC("aumu");
inline constexpr OSType kAudioUnitType_Generator = FourCC("augn");
inline constexpr OSType kAudioUnitType_Output = FourCC("auou");
inline constexpr OSType kAudioUnitSubType_PeakLimiter = FourCC("lmtr");
inline constexpr OSType kAudioUnitManufacturer_Apple = FourCC("appl");

// Further status codes of the audio-unit layer.
inline constexpr OSStatus kAudioUnitErr_Initialized = -10849;
inline constexpr OSStatus kAudioUnitErr_CannotDoInCurrentContext = -10863;
inline constexpr OSStatus kAudio_ParamError = -50;
inline constexpr OSStatus kAudioUnitErr_FailedInitialization = -10875;
