// Damaged and cut-short media files through every source kind: each open and
// each read ends with success or a code whose text the kind knows, never with
// a crash, a hang or an unknown code.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/FrameImage.h"
#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

std::vector<char> readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<char>& bytes, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(size));
}

bool knownText(const char* text) {
  return text != nullptr && std::strncmp(text, "Unknown ErrCode", 15) != 0;
}

// Opens path with a video kind and reads every frame it claims (and one more):
// a file cut short claims only the frames it holds, so each of them reads.
// Returns the open code.
int exerciseVideo(VideoStreamSource& kind, const std::string& path) {
  const int openCode = kind.open(path.c_str());
  EXPECT_TRUE(knownText(kind.errorText(openCode))) << path << " open " << openCode;
  if (openCode == 0) {
    FrameImage image;
    const int frames = kind.frameCount();
    EXPECT_GE(frames, 1);
    EXPECT_GE(kind.statedFrameCount(), frames);
    for (int i = kind.firstFrame(); i <= kind.firstFrame() + frames; ++i) {
      FrameImage* target = &image;
      const int code = kind.readFrame(i, &target);
      EXPECT_EQ(target, &image);
      EXPECT_TRUE(knownText(kind.errorText(code))) << path << " frame " << i << " " << code;
      if (i < kind.firstFrame() + frames) {
        EXPECT_EQ(code, 0) << path << " frame " << i;
      }
    }
  }
  kind.close();
  return openCode;
}

// Opens path with an audio kind and reads all its samples in pieces (and past
// the end). Returns the open code.
int exerciseAudio(AudioStreamSource& kind, const std::string& path) {
  const int openCode = kind.open(path.c_str());
  EXPECT_TRUE(knownText(kind.errorText(openCode))) << path << " open " << openCode;
  if (openCode == 0) {
    std::vector<std::uint8_t> buffer(1 << 16);
    const int end = kind.firstSample() + kind.sampleCount() + 5000;
    for (int first = kind.firstSample(); first < end; first += 4096) {
      int bytesRead = 0;
      int samplesRead = 0;
      const int code = kind.read(first, 4096, buffer.data(), int(buffer.size()), bytesRead,
                                 samplesRead);
      EXPECT_TRUE(knownText(kind.errorText(code))) << path << " sample " << first;
      EXPECT_GE(bytesRead, 0);
      EXPECT_LE(bytesRead, int(buffer.size()));
      EXPECT_LE(samplesRead, 4096);
    }
  }
  kind.close();
  return openCode;
}

struct AllKinds {
  VideoStreamSourceAVI videoAvi;
  VideoStreamSourceQT videoMovie;
  AudioStreamSourceAVI audioAvi;
  AudioStreamSourceQT audioMovie;

  // Open codes of the four kinds, in the order above.
  std::vector<int> exercise(const std::string& path) {
    return {exerciseVideo(videoAvi, path), exerciseVideo(videoMovie, path),
            exerciseAudio(audioAvi, path), exerciseAudio(audioMovie, path)};
  }
};

class DamagedMediaTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    kinds.videoMovie.startup();
    kinds.audioMovie.startup();
  }
  test::ScratchDirectory scratch;
  AllKinds kinds;
};

TEST_P(DamagedMediaTest, CutShortFilesGiveKnownCodesAndNeverCrash) {
  const std::string param = GetParam();
  // "mp4+faststart": an MP4 file whose index comes before the pictures.
  const std::string container = param.substr(0, param.find('+'));
  test::EncodedClip shape;
  shape.container = container;
  shape.fastStart = param != container;
  shape.video = container == "avi" ? test::ClipVideo::Mjpeg : test::ClipVideo::Mpeg4;
  shape.audio = container == "avi" ? test::ClipAudio::Pcm16 : test::ClipAudio::Aac;
  shape.frames = 12;
  const std::string whole = scratch.file("whole." + container);
  ASSERT_EQ(test::writeEncodedClip(whole, shape), "");
  const std::vector<char> bytes = readAll(whole);
  ASSERT_GT(bytes.size(), 1000u);

  // The whole file opens as video and sound with the kind that serves it.
  const std::vector<int> intact = kinds.exercise(whole);
  if (container == "avi") {
    EXPECT_EQ(intact[0], 0);
    EXPECT_EQ(intact[2], 0);
  } else {
    EXPECT_EQ(intact[1], 0);
    EXPECT_EQ(intact[3], 0);
  }

  ASSERT_EQ(kinds.videoMovie.open(whole.c_str()), 0);
  const int wholeFrames = kinds.videoMovie.frameCount();
  kinds.videoMovie.close();
  const std::size_t size = bytes.size();
  for (const std::size_t cut : {std::size_t(0), std::size_t(12), std::size_t(64),
                                std::size_t(300), size / 4, size / 2, size * 3 / 4,
                                size - 1}) {
    SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(size));
    const std::string path = scratch.file("cut." + container);
    writeBytes(path, bytes, cut);
    const std::vector<int> codes = kinds.exercise(path);
    if (cut == 0) {
      // An empty file holds neither pictures nor sound for any kind.
      for (const int code : codes) EXPECT_NE(code, 0);
    }
    if (shape.fastStart && cut == size / 2) {
      // The index survives the cut: the file states the whole length and
      // claims the frames it holds.
      ASSERT_EQ(kinds.videoMovie.open(path.c_str()), 0);
      EXPECT_EQ(kinds.videoMovie.statedFrameCount(), wholeFrames);
      EXPECT_LT(kinds.videoMovie.frameCount(), wholeFrames);
      kinds.videoMovie.close();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Containers, DamagedMediaTest,
                         ::testing::Values("avi", "mp4", "mp4+faststart", "matroska"));

TEST(DamagedMediaFilesTest, TextNamedAsAviIsRefusedByEveryKind) {
  test::ScratchDirectory scratch;
  const std::string path = scratch.file("notes.avi");
  ASSERT_TRUE(test::writeTextFile(path, "This is not a movie.\n"));
  AllKinds kinds;
  kinds.videoMovie.startup();
  kinds.audioMovie.startup();
  for (const int code : kinds.exercise(path)) EXPECT_NE(code, 0);
}

}  // namespace
}  // namespace vantrel
