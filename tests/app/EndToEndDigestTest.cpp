// The bytes of whole conversions, held against digests recorded from earlier
// runs: any change to the written movies of these settings shows here. The
// creation and modification dates are left out of the digests.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "EndToEndHarness.h"
#include "engine/MovieEncoder.h"
#include "support/FileDigest.h"

namespace vantrel::test {
namespace {

struct DigestCase {
  const char* name;
  const char* flags;  // and "fast" for fast encode, "no-video" for sound only
  const char* digest;
};

// Each row converts the same clip: 20 frames of 96 x 72 at 15 frames per
// second, the frame-number bars above a panned texture, and, where -audfile
// is given, 22050 Hz stereo sound (the movies with sound keep few frames).
const std::vector<DigestCase>& digestCases() {
  static const std::vector<DigestCase> cases = {
      {"truecolor plus", "",
       "090a676651e83766e50f31a00eb6af17a81381d06093c33659604c4f914c8b0b"},
      {"truecolor", "-colordepth=24",
       "c41206b7f2bac0c946e1d2405b4c22b02b209dc7087d61e65a7eb1cac4b0c0af"},
      {"extended colours at 10 fps", "-colordepth=16 -framerate=10",
       "75c9d3f5cd811320024528243f6fd091e30696d962b09877f6c1e99907534832"},
      {"standard colours", "-colordepth=12",
       "d0c94881e7c79edc769c5ac7c813eaf28e47ed1389599c7e721e9fd09c410efd"},
      {"extended grayscale", "-colordepth=16 -grayscale",
       "6ced62b42e532f3526f090d3237399864d24816def8b32d53ec42164ea9937fe"},
      {"standard grayscale", "-colordepth=12 -grayscale",
       "fdf4ec716cb0a0155e83438322ffb544b0dd3a5c3f511803758da8a179c58284"},
      {"truecolor plus grayscale", "-grayscale",
       "2c8ebb6b4cbaccdd134bb193c785eed9f63cbb4e9922f7c135444bf2cfbc33d9"},
      {"320 x 240 extended", "-resolution=1 -colordepth=16",
       "7fea398b85701915579fe2b97e05e4a282efaae7385ae851743936ead4e08465"},
      {"320 x 320 truecolor plus", "-resolution=2",
       "0824e64dcae98477f418e9debf9ab39f16451ab5c77d4f93482ff25ab9fd907b"},
      {"216 x 384 standard", "-resolution=3 -colordepth=12",
       "0c398a9d986aee587209c2001cf456553b68d088e0dcc1382d19d8606535f0b2"},
      {"216 x 384 truecolor", "-resolution=3 -colordepth=24",
       "e0a78ce0499b1ef58cecb4de135ad2a906d526e6e54dcaa90d77126b89c9776c"},
      {"rotated extended", "-rotate -colordepth=16",
       "8d41800b656bd1d0a8a0feb89322196c5e2384e5a013b84cddce3ba6ed237e45"},
      {"rotated 320 x 240 truecolor plus", "-rotate -resolution=1",
       "8a20dce7a5970e876ae85c87786da6a4ae86e60acd51d4e6802ec4b6af80140d"},
      {"flipped vertically", "-vflip",
       "50cb4515c8a49b48735778b59d2ce3762a061ee12cd4b8ed663daa4b8242e068"},
      {"flipped horizontally standard", "-hflip -colordepth=12",
       "c3e66ba35273681e175645d3641eefd79b17ed008845a378744476d3e1595396"},
      {"cropped extended", "-cropping=60 -colordepth=16",
       "dce658048c2e6e5be7c37e876e927855fad996597757754769a91f7f796d51bc"},
      {"key frames every second", "-keyframes=1 -framerate=5",
       "cdad01f65f6fb22897d71cd6df5272863de92e0bf3cc29b2994fe546393ba533"},
      {"no frame size", "-framesize=0 -colordepth=16",
       "4f95ca918abc6e3f9cbe5bb8fb1f864debb6dcefef25c51decd0061ef1ce2ae2"},
      {"uncompressed", "-uncompressed",
       "ae16bf1dca02fa4570b7ba79046d93b424f2644eb5e2230af8bd8ff678a87046"},
      {"fast extended", "-colordepth=16 fast",
       "319d6b41a5b0a6965d7f6f28f2260fc7b81e03b04397b9611a6032088cdf97f8"},
      {"fast truecolor plus", "fast",
       "526850fb464d33a6177322c016bbeb19ccd90674f6729c9dce5af17ab86feac0"},
      {"PCM sound", "-audfile=sound -framerate=5",
       "980bd098a79b60f77c16243b161d18ca6f8b427ff236b967841e90e29890d53d"},
      {"ADPCM sound standard", "-audfile=sound -framerate=5 -adpcm -colordepth=12",
       "a4bba8e119f9acc960a5dbc193ab519440836abb5eed31bc53f1217f575ee2a9"},
      {"hifi sound", "-audfile=sound -framerate=5 -hifi",
       "53cefa7511f0a3fe7dc37f4288e6b6489847539748ed340e2ab0b42068bc1311"},
      {"hifi ADPCM sound", "-audfile=sound -framerate=5 -hifi -adpcm",
       "53cefa7511f0a3fe7dc37f4288e6b6489847539748ed340e2ab0b42068bc1311"},
      {"sound only", "-audfile=sound no-video",
       "d772f6e15015cc15f7beb4e350b246b6c8526210c34e4614ca9c1fcb4fa12cc4"},
      {"best standard", "-bestencode -colordepth=12",
       "f2261da88c0b58ff8ad7aa85f0e5193529c7e4970475f5d85adcb8c6372aaefb"},
      {"best extended", "-bestencode -colordepth=16",
       "75b11326480e9e3deb5cf692137aeef261eca4477f232b2c3e2ed0cb1cb6a162"},
      {"best truecolor", "-bestencode -colordepth=24",
       "13d1cb2e4795fb56dad95a0c0d4952656f28c43f38f59dadc0f0385f4486d2da"},
      {"best truecolor plus", "-bestencode",
       "88a7089d9762a6119f236750a3a1b6e6b190102ceace71ce3f21aa1245a22981"},
  };
  return cases;
}

class EndToEndDigestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RawAviClip clip;
    clip.width = 96;
    clip.height = 72;
    clip.frames = 20;
    clip.rate = 15;
    clip.texturedLowerHalf = true;
    ASSERT_TRUE(writeRawAvi(harness.file("clip.avi"), clip));
    WavClip sound;
    sound.sampleRate = 22050;
    sound.channels = 2;
    sound.sampleFrames = 22050 * 4 / 3;
    ASSERT_TRUE(writeWav(harness.file("sound.wav"), sound));
    harness.keepEncodedFrames(false);
  }

  // Converts with the row's settings and returns the digest of the movie.
  std::string convert(const DigestCase& row) {
    std::vector<std::string> arguments{"-outfile=" + harness.file("movie.pdb")};
    bool fast = false;
    bool video = true;
    std::istringstream flags(row.flags);
    for (std::string flag; flags >> flag;) {
      if (flag == "fast") {
        fast = true;
      } else if (flag == "no-video") {
        video = false;
      } else {
        arguments.push_back(
            flag == "-audfile=sound" ? "-audfile=" + harness.file("sound.wav") : flag);
      }
    }
    if (video) arguments.push_back("-vidfile=" + harness.file("clip.avi"));
    harness.fastEncode(fast);
    EXPECT_EQ(harness.run(arguments), 0) << row.name << "\n" << harness.errors();
    return movieDigest(harness.file("movie.pdb"));
  }

  EndToEndHarness harness;
};

// Takes the name as a pointer: a reference to a temporary string here would
// look to g++ 14 like a dangling result.
const DigestCase& digestCase(const char* name) {
  for (const DigestCase& row : digestCases()) {
    if (std::string_view(row.name) == name) return row;
  }
  return digestCases().front();
}

TEST_F(EndToEndDigestTest, EverySettingWritesTheRecordedBytes) {
  // As the program runs: one thread per processor, analysed pictures kept.
  harness.engineThreads(0);
  harness.keepAnalysedPictures(kAnalysedPictureBytes);
  for (const DigestCase& row : digestCases()) {
    EXPECT_EQ(convert(row), row.digest) << row.name;
  }
}

TEST_F(EndToEndDigestTest, ThreadsAndKeptPicturesChangeNoByte) {
  const std::int64_t fivePictures = 5 * 160 * 160 * 4;
  for (int threads : {1, 2, 4}) {
    harness.engineThreads(threads);
    for (std::int64_t kept : {std::int64_t{0}, fivePictures, kAnalysedPictureBytes}) {
      harness.keepAnalysedPictures(kept);
      for (const char* name : {"truecolor plus", "extended colours at 10 fps"}) {
        const DigestCase& row = digestCase(name);
        EXPECT_EQ(convert(row), row.digest)
            << name << ", " << threads << " threads, " << kept << " bytes kept";
      }
    }
  }
}

}  // namespace
}  // namespace vantrel::test
