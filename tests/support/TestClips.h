#pragma once

// Small deterministic media clips for the tests and the demo program.
//
// Pictures: every frame of a test clip shows its own frame number in binary as
// a row of black and white blocks across the top band, above four fixed colour
// bars (red, green, blue, white). readFrameNumber() reads the number back from a
// decoded picture, so a test can prove that "frame n" really is frame n even
// after lossy compression. The demo picture is a set of colour bars that moves
// a few pixels per frame.
//
// Sound: hand-written WAV files in every stored form (8/16/24-bit PCM, float,
// A-law, mu-law, plain or WAVE_FORMAT_EXTENSIBLE) whose stored bytes depend on
// the sample index, so that a read at the wrong offset shows.
//
// The writers return false (or an error text) instead of throwing; nothing here
// uses GoogleTest, so the demo program shares the code.

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::test {

// --- Picture content --------------------------------------------------------

// Number of frame-number blocks across the top band (frame numbers 0..255).
constexpr int kFrameNumberBits = 8;

// Colour 0x00RRGGBB of the test picture of frame frameIndex at (x, y), y counted
// from the top row. The top quarter holds the frame-number blocks (most
// significant bit at the left, white = 1); below them four bars.
std::uint32_t testPatternPixel(int frameIndex, int x, int y, int width, int height);

// Colour of the bar that covers column x below the frame-number band.
std::uint32_t testPatternBarColour(int x, int width);

// Moving colour bars for the demo clip: eight bars that slide left to right.
std::uint32_t demoPatternPixel(int frameIndex, int x, int y, int width, int height);

// A detailed picture in steady motion, for tests of the frame size control:
// small cells of unrelated colours that pan 2 pixels right and 1 down per frame
// under a light wave that crosses them at another speed, so that no block of a
// frame is an exact copy of the frame before.
std::uint32_t texturePatternPixel(int frameIndex, int x, int y);

// A busy scene for speed measurements: the texture panning over the top two
// thirds, rings that zoom in below on the left, and the demo bars sliding
// below on the right.
std::uint32_t richMotionPixel(int frameIndex, int x, int y, int width, int height);

// Reads the frame number from a picture in FrameImage layout (0x00RRGGBB words,
// row 0 at the bottom, rows packed). Returns -1 when a block is neither clearly
// black nor clearly white.
int readFrameNumber(const std::uint32_t* pixels, int width, int height);

// True when every channel of a and b differs by at most tolerance.
bool coloursClose(std::uint32_t a, std::uint32_t b, int tolerance);

// --- Hand-written RIFF WAV --------------------------------------------------

enum class StoredSampleFormat { PcmU8, PcmS16, PcmS24, Float32, ALaw, MuLaw };

struct WavClip {
  int sampleRate = 8000;
  int channels = 1;
  StoredSampleFormat format = StoredSampleFormat::PcmS16;
  bool extensible = false;  // WAVE_FORMAT_EXTENSIBLE with the format as sub-format
  int sampleFrames = 4000;
};

// Wave format tag of a stored format (1 PCM, 3 float, 6 A-law, 7 mu-law).
int waveFormatTag(StoredSampleFormat format);
// Bits per stored sample of one channel.
int storedBitsPerSample(StoredSampleFormat format);

// The stored sample bytes of a clip (interleaved, blockAlign bytes per frame).
// Integer and companded forms hold an index-dependent ramp; the float form a
// 1000 Hz tone of amplitude 0.5 in every channel.
std::vector<std::uint8_t> wavSampleData(const WavClip& shape);

// Writes a WAV file with wavSampleData(shape). Returns false on an I/O error.
bool writeWav(const std::string& path, const WavClip& shape);

// --- Hand-written uncompressed AVI -------------------------------------------

struct RawAviClip {
  int width = 32;
  int height = 24;
  int frames = 10;
  int rate = 10;  // frames per second = rate / scale
  int scale = 1;
  int bitsPerPixel = 24;  // 24 or 32: stored bottom-up BI_RGB frames
  bool texturedLowerHalf = false;  // texturePatternPixel below the middle row
  int whiteFrame = -1;             // this frame is all white (a flash)
  bool withVideo = true;
  bool withAudio = false;
  WavClip audio;  // PCM stream stored with the frames when withAudio
};

// Writes an AVI file with testPatternPixel frames (and wavSampleData sound,
// interleaved per frame) and an idx1 index. Returns false on an I/O error.
bool writeRawAvi(const std::string& path, const RawAviClip& shape);

// Writes text to a file (used to make files that are not media).
bool writeTextFile(const std::string& path, const std::string& text);

// --- Scratch directory -------------------------------------------------------

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes away.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // Path of name inside the directory.
  std::string file(const std::string& name) const;
  const std::string& path() const { return directory; }

 private:
  std::string directory;
};

}  // namespace vantrel::test
