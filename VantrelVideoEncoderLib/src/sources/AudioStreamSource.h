#pragma once

#include <cstdarg>
#include <cstdint>

namespace vantrel {

struct AudioStreamInfo {
  std::uint32_t rate = 0;   // samples per second = rate / scale
  std::uint32_t scale = 0;
  std::int32_t length = 0;  // sample frames in the stream
  std::int32_t bitsPerSample = 0;
  std::int32_t blockAlign = 0;  // bytes per sample frame, all channels
  std::int32_t channels = 0;
  std::int32_t samplesPerSecond = 0;
  std::uint16_t formatTag = 0;  // 1 = PCM, 6 = A-law, 7 = mu-law, 0 from the movie kind
};

// Common error codes of every audio kind; kinds add their own from 12 upward.
enum AudioError : int {
  kAudioOk = 0,
  kAudioOutOfMemory = 1,
  kAudioNoFileName = 2,
  kAudioFileMissing = 3,
  kAudioNoAudio = 4,
  kAudioBadFormat = 5,
  kAudioReadFailed = 6,
  kAudioOpenFailed = 7,
  kAudioNotOpen = 8,
  kAudioBufferTooSmall = 9,
  kAudioUnknown = 10,
  kAudioOsError = 11,
};

// Abstract audio stream. Operations return 0 or a small error code and never throw;
// errorText() of the same object explains a code. Slot order is fixed.
class AudioStreamSource {
 public:
  AudioStreamSource() = default;
  AudioStreamSource(const AudioStreamSource&) = delete;
  AudioStreamSource& operator=(const AudioStreamSource&) = delete;

  virtual void close() = 0;
  virtual bool isOpen() = 0;
  virtual int open(const char* fileName) = 0;
  virtual std::uint32_t kind() = 0;
  virtual int startup();
  // Reads sampleCount sample frames from absolute frame firstSample into buffer
  // (capacity bufferBytes), in the format getStreamInfo reports.
  virtual int read(int firstSample, int sampleCount, void* buffer, int bufferBytes,
                   int& bytesRead, int& samplesRead) = 0;
  virtual int getStreamInfo(AudioStreamInfo& info) = 0;
  virtual int firstSample() = 0;
  // Stream length in sample frames; 0 when not open.
  virtual int sampleCount() = 0;
  virtual const char* errorText(int code);
  // Formats the message of code with args where the code has one; returns code.
  virtual int recordError(int code, va_list args);
  // Variable-argument front of recordError; returns code.
  virtual int setError(int code, ...);
  // Stores the system's text for errnoValue as the OS-error text (code 11).
  virtual void formatOsError(int errnoValue);
  // The stream length in sample frames that the file states. A file cut short
  // (a partial download) states more than it holds: sampleCount() counts only
  // the sound whose data lies inside the file. sampleCount() by default.
  virtual int statedSampleCount();

  // Which audio stream of a file the next open takes: 0 the stream marked
  // default (else the first), n > 0 the n-th audio stream of the file. A file
  // with fewer streams opens as one without audio.
  void chooseStream(int number) { streamNumber = number; }

 protected:
  ~AudioStreamSource() = default;
  int streamNumber = 0;
  char osErrorText[1024] = {};
  char unknownCodeText[64] = {};
};

}  // namespace vantrel
