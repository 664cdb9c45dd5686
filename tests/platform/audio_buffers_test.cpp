// Audio value objects: formats, PCM buffers and their two buffer lists, buses and bus arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "AVFoundation/AVAudioFormat.h"
#include "AVFoundation/AVAudioPCMBuffer.h"
#include "AudioToolbox/AUAudioUnitBus.h"
#include "Foundation/NSError.h"

TEST(AudioFormat, StandardFormatDescribesFloatNonInterleavedAudio) {
  auto format = AVAudioFormat::makeStandard(48000.0, 2);
  ASSERT_TRUE(format);
  EXPECT_EQ(format->sampleRate(), 48000.0);
  EXPECT_EQ(format->channelCount(), 2u);
  EXPECT_EQ(format->commonFormat(), AVAudioCommonFormat::pcmFormatFloat32);
  EXPECT_FALSE(format->isInterleaved());
  EXPECT_TRUE(format->isStandard());
  EXPECT_EQ(format->channelLayout(), nullptr);
  EXPECT_EQ(describe(format->commonFormat()), "AVAudioCommonFormat(rawValue: 1)");

  const auto& asbd = format->streamDescription();
  EXPECT_EQ(asbd.mFormatID, kAudioFormatLinearPCM);
  EXPECT_EQ(asbd.mBitsPerChannel, 32u);
  EXPECT_EQ(asbd.mBytesPerFrame, 4u);  // one channel per buffer
  EXPECT_NE(asbd.mFormatFlags & kAudioFormatFlagIsNonInterleaved, 0u);
  EXPECT_NE(asbd.mFormatFlags & kAudioFormatFlagIsFloat, 0u);

  EXPECT_EQ(format->settings(),
            (PropertyList::Dictionary{{AVFormatIDKey, PropertyList(1819304813u)},  // 'lpcm'
                                      {AVSampleRateKey, PropertyList(48000.0)},
                                      {AVNumberOfChannelsKey, PropertyList(2u)},
                                      {AVLinearPCMBitDepthKey, PropertyList(32u)},
                                      {AVLinearPCMIsFloatKey, PropertyList(true)},
                                      {AVLinearPCMIsBigEndianKey, PropertyList(false)},
                                      {AVLinearPCMIsNonInterleaved, PropertyList(true)}}));
  const std::string text = format->description();  // after the object's address
  EXPECT_EQ(text.substr(text.find(':')), ":  2 ch,  48000 Hz, Float32, non-inter>") << text;
}

TEST(AudioFormat, EqualityAndRefusedFormats) {
  auto a = AVAudioFormat::makeStandard(44100.0, 2);
  auto b = AVAudioFormat::makeStandard(44100.0, 2);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.get(), b.get());
  EXPECT_TRUE(*a == *b);
  {
    SCOPED_TRACE("differences that make formats unequal");
    EXPECT_FALSE(*a == *AVAudioFormat::makeStandard(48000.0, 2));
    EXPECT_FALSE(*a == *AVAudioFormat::makeStandard(44100.0, 1));
    EXPECT_FALSE(*a == *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 44100.0, 2, true));
    EXPECT_FALSE(*a == *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 44100.0, 2, false));
  }
  EXPECT_TRUE(sameFormat(nullptr, nullptr));
  EXPECT_FALSE(sameFormat(a, nullptr));
  {
    SCOPED_TRACE("formats that cannot be made");
    EXPECT_EQ(AVAudioFormat::makeStandard(48000.0, 0), nullptr);
    EXPECT_EQ(AVAudioFormat::makeStandard(48000.0, 3), nullptr);
    EXPECT_EQ(AVAudioFormat::makeStandard(-1.0, 2), nullptr);
    EXPECT_EQ(AVAudioFormat::makeStandard(NAN, 2), nullptr);
    EXPECT_EQ(AVAudioFormat::make(AVAudioCommonFormat::otherFormat, 48000.0, 2, false), nullptr);
  }
  {
    SCOPED_TRACE("a layout allows more channels");
    auto layout = std::make_shared<AVAudioChannelLayout>(kAudioChannelLayoutTag_DiscreteInOrder | 4);
    auto quad = AVAudioFormat::makeStandard(48000.0, layout);
    ASSERT_TRUE(quad);
    EXPECT_EQ(quad->channelCount(), 4u);
    EXPECT_EQ(quad->channelLayout(), layout);
  }
  {
    SCOPED_TRACE("round trip through a stream description");
    auto back = AVAudioFormat::make(a->streamDescription());
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == *a);
  }
}

TEST(AudioPCMBuffer, TwoDistinctListsOverTheSameSamples) {
  auto format = AVAudioFormat::makeStandard(48000.0, 2);
  auto buffer = AVAudioPCMBuffer::make(format, 512);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->frameCapacity(), 512u);
  EXPECT_EQ(buffer->frameLength(), 0u);
  EXPECT_EQ(buffer->format(), format);
  EXPECT_EQ(buffer->stride(), 1u);

  const AudioBufferList* original = buffer->audioBufferList();
  AudioBufferList* mutableList = buffer->mutableAudioBufferList();
  ASSERT_NE(original, nullptr);
  ASSERT_NE(mutableList, nullptr);
  EXPECT_NE(static_cast<const void*>(original), static_cast<const void*>(mutableList));
  ASSERT_EQ(original->mNumberBuffers, 2u);
  ASSERT_EQ(mutableList->mNumberBuffers, 2u);
  for (UInt32 c = 0; c < 2; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(original->mBuffers[c].mNumberChannels, 1u);
    EXPECT_EQ(original->mBuffers[c].mData, mutableList->mBuffers[c].mData);
    EXPECT_EQ(original->mBuffers[c].mData, buffer->floatChannelData()[c]);
  }
  // The channels do not overlap: each holds frameCapacity samples.
  auto* left = static_cast<float*>(original->mBuffers[0].mData);
  auto* right = static_cast<float*>(original->mBuffers[1].mData);
  EXPECT_GE(std::abs(right - left), 512);
  for (UInt32 i = 0; i < 512; ++i) {
    EXPECT_EQ(left[i], 0.0f);
    EXPECT_EQ(right[i], 0.0f);
  }

  {
    SCOPED_TRACE("samples written through one list are seen through the other");
    static_cast<float*>(mutableList->mBuffers[1].mData)[7] = 0.25f;
    EXPECT_EQ(static_cast<const float*>(original->mBuffers[1].mData)[7], 0.25f);
  }
  {
    SCOPED_TRACE("redirecting the mutable list leaves the read-only list alone");
    float elsewhere[512] = {};
    mutableList->mBuffers[0].mData = elsewhere;
    mutableList->mBuffers[0].mDataByteSize = 12;
    EXPECT_EQ(original->mBuffers[0].mData, left);
    EXPECT_EQ(buffer->floatChannelData()[0], left);
  }
  {
    SCOPED_TRACE("frame length sets the byte sizes of both lists");
    buffer->setFrameLength(100);
    EXPECT_EQ(buffer->frameLength(), 100u);
    EXPECT_EQ(original->mBuffers[1].mDataByteSize, 400u);
    EXPECT_EQ(mutableList->mBuffers[1].mDataByteSize, 400u);
    buffer->setFrameLength(10000);
    EXPECT_EQ(buffer->frameLength(), 512u);
    EXPECT_EQ(original->mBuffers[0].mDataByteSize, 2048u);
  }
}

TEST(AudioPCMBuffer, InterleavedAndRefusedBuffersAndCapacities) {
  auto interleaved = AVAudioPCMBuffer::make(
      AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 44100.0, 2, true), 64);
  ASSERT_TRUE(interleaved);
  EXPECT_EQ(interleaved->audioBufferList()->mNumberBuffers, 1u);
  EXPECT_EQ(interleaved->audioBufferList()->mBuffers[0].mNumberChannels, 2u);
  EXPECT_EQ(interleaved->stride(), 2u);
  interleaved->setFrameLength(64);
  EXPECT_EQ(interleaved->audioBufferList()->mBuffers[0].mDataByteSize, 64u * 2 * 4);

  EXPECT_EQ(AVAudioPCMBuffer::make(nullptr, 64), nullptr);
  EXPECT_EQ(
      AVAudioPCMBuffer::make(AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 44100.0, 2, false), 64),
      nullptr);
  // A buffer's byte size is a 32-bit count: 2^30 float frames per buffer (or 2^29 interleaved
  // stereo frames) no longer fit, and such a buffer is not made.
  EXPECT_EQ(AVAudioPCMBuffer::make(AVAudioFormat::makeStandard(48000.0, 1), 0x40000000u), nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::make(AVAudioFormat::makeStandard(48000.0, 2), 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::make(interleaved->format(), 0x20000000u), nullptr);
  auto empty = AVAudioPCMBuffer::make(AVAudioFormat::makeStandard(48000.0, 1), 0);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->frameCapacity(), 0u);
}

TEST(AudioUnitBus, RefusesFormatsItCannotRender) {
  std::shared_ptr<NSError> error;
  auto bus = AUAudioUnitBus::make(AVAudioFormat::makeStandard(48000.0, 2), &error);
  ASSERT_TRUE(bus);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(bus->maximumChannelCount(), 2u);
  auto accepted = bus->format();

  struct Case {
    const char* what;
    std::shared_ptr<AVAudioFormat> format;
  };
  const Case refused[] = {
      {"absent", nullptr},
      {"16-bit integer", AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 48000.0, 2, false)},
      {"64-bit float", AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat64, 48000.0, 2, false)},
      {"interleaved", AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 48000.0, 2, true)},
      {"rate 0", AVAudioFormat::makeStandard(0.0, 2)},
      {"rate below 8 kHz", AVAudioFormat::makeStandard(7999.0, 2)},
      {"rate above 192 kHz", AVAudioFormat::makeStandard(192001.0, 2)},
      {"more channels than the maximum",
       AVAudioFormat::makeStandard(
           48000.0, std::make_shared<AVAudioChannelLayout>(kAudioChannelLayoutTag_DiscreteInOrder | 3))},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    error.reset();
    EXPECT_FALSE(bus->setFormat(c.format, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
    EXPECT_EQ(error->code(), kAudioUnitErr_FormatNotSupported);
    EXPECT_FALSE(error->localizedDescription().empty());
    EXPECT_EQ(bus->format(), accepted);
    EXPECT_THROW(bus->setFormat(c.format), NSError);
    EXPECT_EQ(bus->format(), accepted);
    EXPECT_EQ(AUAudioUnitBus::make(c.format, nullptr), nullptr);
  }
  {
    SCOPED_TRACE("the range ends and a single channel are accepted");
    for (double rate : {8000.0, 44100.0, 96000.0, 192000.0}) {
      auto format = AVAudioFormat::makeStandard(rate, 1);
      EXPECT_TRUE(bus->setFormat(format, nullptr)) << rate;
      EXPECT_EQ(bus->format(), format);
    }
  }
  {
    SCOPED_TRACE("the maximum channel count limits later sets");
    bus->setMaximumChannelCount(1);
    EXPECT_FALSE(bus->setFormat(AVAudioFormat::makeStandard(48000.0, 2), nullptr));
    bus->setMaximumChannelCount(4);
    auto quad = AVAudioFormat::makeStandard(
        48000.0, std::make_shared<AVAudioChannelLayout>(kAudioChannelLayoutTag_DiscreteInOrder | 4));
    EXPECT_NO_THROW(bus->setFormat(quad));
    EXPECT_EQ(bus->format()->channelCount(), 4u);
  }
  {
    SCOPED_TRACE("the throwing initialiser");
    EXPECT_THROW(AUAudioUnitBus(AVAudioFormat::makeStandard(4000.0, 2)), NSError);
  }
}

TEST(AudioUnitBus, ArraysNumberAndTypeTheirBuses) {
  auto format = AVAudioFormat::makeStandard(48000.0, 2);
  auto a = AUAudioUnitBus::make(format);
  auto b = AUAudioUnitBus::make(format);
  AUAudioUnitBusArray inputs(AUAudioUnitBusType::input, {a, b});
  EXPECT_EQ(inputs.count(), 2u);
  EXPECT_EQ(inputs.busType(), AUAudioUnitBusType::input);
  EXPECT_EQ(inputs[0], a);
  EXPECT_EQ(inputs.objectAtIndexedSubscript(1), b);
  EXPECT_EQ(inputs[2], nullptr);
  EXPECT_EQ(a->index(), 0u);
  EXPECT_EQ(b->index(), 1u);
  EXPECT_EQ(b->busType(), AUAudioUnitBusType::input);
  EXPECT_EQ(describe(AUAudioUnitBusType::input), "AUAudioUnitBusType(rawValue: 1)");
  EXPECT_EQ(describe(AUAudioUnitBusType::output), "AUAudioUnitBusType(rawValue: 2)");

  inputs.replaceBusses({b});
  EXPECT_EQ(inputs.count(), 1u);
  EXPECT_EQ(b->index(), 0u);
  AUAudioUnitBusArray empty(AUAudioUnitBusType::output);
  EXPECT_EQ(empty.count(), 0u);
  EXPECT_EQ(empty.begin(), empty.end());
  EXPECT_NE(empty.description().find("output"), std::string::npos);
}
