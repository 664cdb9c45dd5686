#include "AVFoundation/AVAudioFile.h"

#include <algorithm>
#include <cstring>

#include "AVFoundation/internal/AudioFileDecoder.h"

namespace {

std::shared_ptr<AVAudioFormat> formatFor(const PCMSamples& samples) {
  if (samples.channelCount <= 2)
    return AVAudioFormat::makeStandard(samples.sampleRate, samples.channelCount);
  return AVAudioFormat::makeStandard(
      samples.sampleRate,
      std::make_shared<AVAudioChannelLayout>(kAudioChannelLayoutTag_DiscreteInOrder | samples.channelCount));
}

}  // namespace

AVAudioFile::AVAudioFile(const URL& fileURL) : url_(fileURL) {
  const std::string path = fileURL.path();
  audio_file_decoder::Failure failure{kAudioFileUnspecifiedError, "it is no file URL"};
  if (fileURL.isFileURL())
    samples_ = audio_file_decoder::decode(path, &failure);
  if (samples_)
    format_ = formatFor(*samples_);
  if (!format_)
    throw NSError(NSOSStatusErrorDomain, failure.code,
                  "The audio file '" + (fileURL.isFileURL() ? path : fileURL.absoluteString()) +
                      "' could not be opened: " + failure.reason + ".");
}

std::shared_ptr<AVAudioFile> AVAudioFile::forReading(const URL& fileURL, std::shared_ptr<NSError>* outError) {
  try {
    return std::make_shared<AVAudioFile>(fileURL);
  } catch (const NSError& error) {
    if (outError)
      *outError = std::make_shared<NSError>(error);
    return nullptr;
  }
}

AVAudioFramePosition AVAudioFile::length() const {
  return samples_->frames;
}

void AVAudioFile::setFramePosition(AVAudioFramePosition position) {
  position_ = std::clamp<AVAudioFramePosition>(position, 0, samples_->frames);
}

void AVAudioFile::read(AVAudioPCMBuffer& buffer) {
  read(buffer, buffer.frameCapacity());
}

void AVAudioFile::read(AVAudioPCMBuffer& buffer, AVAudioFrameCount frames) {
  if (!buffer.format() || !(*buffer.format() == *format_))
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_FormatNotSupported,
                  "The buffer's format is not the file's processing format.");
  const AVAudioFrameCount count = AVAudioFrameCount(
      std::min<AVAudioFramePosition>({frames, buffer.frameCapacity(), samples_->frames - position_}));
  for (std::uint32_t c = 0; c < samples_->channelCount; ++c)
    std::memcpy(buffer.floatChannelData()[c], samples_->channel(c) + position_, count * sizeof(float));
  buffer.setFrameLength(count);
  position_ += count;
}
