// Fuzz entry: arbitrary bytes stored as a media file and read by every source
// kind.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "FuzzTargets.h"
#include "image/FrameImage.h"
#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::fuzz {
namespace {

// The name the first byte gives the file: the kinds look at the contents, the
// extension only tells an Avisynth script apart, but a user's file always has one.
constexpr std::array<const char*, 4> kExtensions = {".avi", ".wav", ".mp4", ".mov"};
static_assert(kExtensions.size() == 4);

// Samples per audio read: about a tenth of a second of most sounds.
constexpr int kReadSamples = 2048;

// One folder per process for the file under test, removed at exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/vantrel-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) folder = name.data();
  }
  ~ScratchFolder() {
    for (const char* extension : kExtensions) std::remove(file(extension).c_str());
    if (!folder.empty()) rmdir(folder.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool usable() const { return !folder.empty(); }
  std::string file(const char* extension) const { return folder + "/input" + extension; }

 private:
  std::string folder;
};

bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

// Open, describe and read a few frames: the first, the last, one in the middle
// and the first again (a request that goes backwards).
void readVideo(VideoStreamSource& source, const char* path) {
  const int code = source.open(path);
  (void)source.errorText(code);
  if (code == 0) {
    VideoStreamInfo info;
    (void)source.getStreamInfo(info);
    double fps = 0.0;
    int frames = 0;
    double step = 0.0;
    int nativeFps = 0;
    source.computeOutputTiming(0, fps, frames, step, &nativeFps);
    source.computeOutputTiming(15, fps, frames, step, nativeFps != 0 ? &nativeFps : nullptr);
    const int first = source.firstFrame();
    const int count = source.frameCount();
    std::unique_ptr<FrameImage> image;
    for (const long long index : {0LL, count - 1LL, count / 2LL, 0LL, count + 1LL}) {
      FrameImage* frame = image.get();
      const int readCode = source.readFrame(static_cast<int>(first + index), &frame);
      if (frame != image.get()) image.reset(frame);
      (void)source.errorText(readCode);
    }
  }
  source.close();
}

// Open, describe and read the first samples, some in the middle, the last and
// past the end, and one read into a buffer that is too small.
void readAudio(AudioStreamSource& source, const char* path) {
  const int code = source.open(path);
  (void)source.errorText(code);
  if (code == 0) {
    AudioStreamInfo info;
    (void)source.getStreamInfo(info);
    const int first = source.firstSample();
    const int count = source.sampleCount();
    // Room for the widest sample frame any kind delivers.
    std::vector<std::uint8_t> buffer(std::size_t(kReadSamples) * 32);
    const int bufferBytes = static_cast<int>(buffer.size());
    for (const long long start : {0LL, count / 2LL, count - 16LL, count + 100LL}) {
      int bytes = 0;
      int samples = 0;
      const int readCode = source.read(static_cast<int>(first + start), kReadSamples,
                                       buffer.data(), bufferBytes, bytes, samples);
      (void)source.errorText(readCode);
    }
    int bytes = 0;
    int samples = 0;
    (void)source.errorText(source.read(first, kReadSamples, buffer.data(), 3, bytes, samples));
  }
  source.close();
}

}  // namespace

int fuzzMediaSources(const std::uint8_t* data, std::size_t size) {
  static ScratchFolder scratch;
  if (size < 1 || !scratch.usable()) return 0;
  const std::string path = scratch.file(kExtensions[data[0] % kExtensions.size()]);
  if (!writeFile(path, data + 1, size - 1)) return 0;

  VideoStreamSourceAVI videoAvi;
  VideoStreamSourceQT videoMovie;
  AudioStreamSourceAVI audioAvi;
  AudioStreamSourceQT audioMovie;
  // The flip flag makes the kinds deliver the other bitmap depth.
  videoMovie.setFlip((data[0] & 4) != 0);
  videoAvi.setFlip((data[0] & 8) != 0);
  readVideo(videoAvi, path.c_str());
  readVideo(videoMovie, path.c_str());
  readAudio(audioAvi, path.c_str());
  readAudio(audioMovie, path.c_str());
  std::remove(path.c_str());
  return 0;
}

}  // namespace vantrel::fuzz
