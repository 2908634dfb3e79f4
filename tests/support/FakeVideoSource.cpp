#include "support/FakeVideoSource.h"

#include "sources/FrameDelivery.h"
#include "support/TestClips.h"

namespace vantrel {

FakeVideoSource::FakeVideoSource(std::uint32_t kindTag) : tag(kindTag) {
  stream.rate = 10;
  stream.scale = 1;
  stream.length = 20;
  stream.width = 32;
  stream.height = 24;
}

void FakeVideoSource::setStream(const VideoStreamInfo& info, int firstFrameNumber) {
  stream = info;
  first = firstFrameNumber;
}

void FakeVideoSource::failReadAt(int frame, int code) {
  failFrame = frame;
  failCode = code;
}

void FakeVideoSource::close() {
  if (opened) ++closes;
  opened = false;
}

int FakeVideoSource::open(const char* fileName) {
  names.emplace_back(fileName ? fileName : "");
  close();
  if (openCode == kVideoOk) opened = true;
  return openCode;
}

int FakeVideoSource::readFrame(int frameIndex, FrameImage** image) {
  readLog.push_back(frameIndex);
  if (!opened) return kVideoNotOpen;
  if (frameIndex == failFrame) return failCode;
  if (frameIndex < first || frameIndex >= first + stream.length) return kVideoReadFailed;
  // A bottom-up bitmap of the test picture of this frame: 32 bits, or 24 when
  // flipped (the depth whose rows FrameImage turns over), as the real kinds do.
  const int bytesPerPixel = flipFrames ? 3 : 4;
  const int stride = (stream.width * bytesPerPixel + 3) & ~3;
  bits.assign(std::size_t(stride) * stream.height, 0);
  for (int row = 0; row < stream.height; ++row) {
    for (int x = 0; x < stream.width; ++x) {
      std::uint32_t c = test::testPatternPixel(
          frameIndex - first, x, stream.height - 1 - row, stream.width, stream.height);
      std::uint8_t* p =
          bits.data() + std::size_t(row) * stride + std::size_t(x) * bytesPerPixel;
      p[0] = std::uint8_t(c);
      p[1] = std::uint8_t(c >> 8);
      p[2] = std::uint8_t(c >> 16);
    }
  }
  return deliverFrame(stream.width, stream.height, bytesPerPixel * 8, bits, flipFrames,
                      image);
}

int FakeVideoSource::getStreamInfo(VideoStreamInfo& info) {
  info = stream;
  return kVideoOk;
}

}  // namespace vantrel
