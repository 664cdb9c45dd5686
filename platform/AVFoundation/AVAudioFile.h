// An audio file opened for reading (AVAudioFile(forReading:)): any file FFmpeg decodes. The
// file is decoded whole when it is opened, so its length in frames is exact (see
// internal/AudioFileDecoder.h) and a player can loop it without a gap or an extra tail.
//
// `processingFormat` is 32-bit float, non-interleaved, at the file's own rate and channel count
// (the samples are held decoded).
//
// Threads: [any] for the accessors; opening and reading allocate (never on the render thread).
// A file may be read by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "AVFoundation/AVAudioFormat.h"
#include "AVFoundation/AVAudioPCMBuffer.h"
#include "Foundation/NSError.h"
#include "Foundation/URL.h"

struct PCMSamples;

using AVAudioFramePosition = std::int64_t;

// Status codes of failed opens, in NSOSStatusErrorDomain: four-character codes, written beside
// each.
inline constexpr OSStatus kAudioFileUnspecifiedError = 0x7768743F;          // 'wht?'
inline constexpr OSStatus kAudioFileUnsupportedFileTypeError = 0x7479703F;  // 'typ?'
inline constexpr OSStatus kAudioFileInvalidFileError = 0x6474613F;          // 'dta?'
inline constexpr OSStatus kAudioFileFileNotFoundError = -43;

class AVAudioFile {
 public:
  // init(forReading:) throws: NSError (NSOSStatusErrorDomain, one of the codes above) whose
  // description names the file and the reason, e.g. "The audio file '/x/1.m4a' could not be
  // opened: the file does not exist.", for a missing, empty, unreadable ("it cannot be read
  // (Permission denied)"), truncated or damaged file, one that is not audio, and one without an
  // audio stream.
  explicit AVAudioFile(const URL& fileURL);
  // initForReading:error: — null with the error in *outError (when given).
  static std::shared_ptr<AVAudioFile> forReading(const URL& fileURL, std::shared_ptr<NSError>* outError);

  const URL& url() const { return url_; }
  std::shared_ptr<AVAudioFormat> processingFormat() const { return format_; }
  // Frames in the file.
  AVAudioFramePosition length() const;
  // Where the next read starts (0 when opened); set it to seek, clamped to 0...length.
  AVAudioFramePosition framePosition() const { return position_; }
  void setFramePosition(AVAudioFramePosition position);

  // readIntoBuffer: — reads up to the buffer's capacity from `framePosition` on and advances it;
  // the buffer's frameLength is the number of frames read (0 at the end). Throws NSError
  // (kAudioUnitErr_FormatNotSupported) when the buffer's format differs from processingFormat.
  void read(AVAudioPCMBuffer& buffer);
  void read(AVAudioPCMBuffer& buffer, AVAudioFrameCount frames);

  // The decoded samples, for player nodes. [any]
  const std::shared_ptr<const PCMSamples>& samples() const { return samples_; }

 private:
  URL url_;
  std::shared_ptr<const PCMSamples> samples_;
  std::shared_ptr<AVAudioFormat> format_;
  AVAudioFramePosition position_ = 0;
};
