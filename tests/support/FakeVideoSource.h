#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sources/VideoStreamSource.h"

namespace vantrel {

// A video kind for tests: answers a chosen kind tag, start-up code and open code,
// reports a chosen stream, and serves frames that show the test picture of
// support/TestClips.h (frame n shows the number n), so callers can check which
// frame they were given. It records the names it was asked to open, its closes
// and every frame read.
class FakeVideoSource final : public VideoStreamSource {
 public:
  explicit FakeVideoSource(std::uint32_t kindTag = fourCC('F', 'A', 'K', 'V'));
  ~FakeVideoSource() { close(); }

  // The stream that a successful open delivers; frames first .. first+length-1.
  void setStream(const VideoStreamInfo& info, int first = 0);
  // open returns code (0 opens the stream); startup returns startupCode.
  void setOpenResult(int code) { openCode = code; }
  void setStartupResult(int code) { startupCode = code; }
  // The read of frame `frame` returns code.
  void failReadAt(int frame, int code = kVideoReadFailed);

  const std::vector<std::string>& openedNames() const { return names; }
  const std::vector<int>& reads() const { return readLog; }
  int closeCount() const { return closes; }

  void close() override;
  bool isOpen() override { return opened; }
  std::uint32_t kind() override { return tag; }
  int startup() override { return startupCode; }
  int open(const char* fileName) override;
  int readFrame(int frameIndex, FrameImage** image) override;
  int getStreamInfo(VideoStreamInfo& info) override;
  int firstFrame() override { return opened ? first : 0; }
  int frameCount() override { return opened ? stream.length : 0; }

 private:
  std::uint32_t tag;
  VideoStreamInfo stream;
  int first = 0;
  int openCode = 0;
  int startupCode = 0;
  int failFrame = -1;
  int failCode = 0;
  bool opened = false;
  int closes = 0;
  std::vector<std::string> names;
  std::vector<int> readLog;
  std::vector<std::uint8_t> bits;
};

}  // namespace vantrel
