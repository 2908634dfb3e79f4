#include "support/TestClips.h"

#include <stdlib.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <system_error>

namespace vantrel::test {

namespace {

// Little-endian byte sink for RIFF structures; chunk sizes are patched in once
// the chunk's contents are known.
class RiffBuilder {
 public:
  void put8(std::uint32_t v) { bytes.push_back(std::uint8_t(v)); }
  void put16(std::uint32_t v) {
    put8(v);
    put8(v >> 8);
  }
  void put32(std::uint32_t v) {
    put16(v);
    put16(v >> 16);
  }
  void fourCC(const char* code) {
    for (int i = 0; i < 4; ++i) put8(std::uint8_t(code[i]));
  }
  void append(const std::vector<std::uint8_t>& data) {
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  // Starts a chunk (or a RIFF/LIST with its form type); returns the position of
  // its size field for endChunk.
  std::size_t beginChunk(const char* id, const char* formType = nullptr) {
    fourCC(id);
    std::size_t sizeAt = bytes.size();
    put32(0);
    if (formType) fourCC(formType);
    return sizeAt;
  }
  void endChunk(std::size_t sizeAt) {
    std::uint32_t size = std::uint32_t(bytes.size() - sizeAt - 4);
    for (int i = 0; i < 4; ++i) bytes[sizeAt + i] = std::uint8_t(size >> (8 * i));
    if (size & 1) put8(0);  // chunks start on even offsets
  }
  std::size_t size() const { return bytes.size(); }
  bool writeTo(const std::string& path) const {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"),
                                               &std::fclose);
    if (!file) return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  }

 private:
  std::vector<std::uint8_t> bytes;
};

constexpr std::array<std::uint32_t, 4> kBarColours = {0xFF0000, 0x00FF00, 0x0000FF,
                                                      0xFFFFFF};
constexpr std::array<std::uint32_t, 8> kDemoBars = {
    0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x202020};

int blockAlignOf(const WavClip& shape) {
  return shape.channels * storedBitsPerSample(shape.format) / 8;
}

// The fmt chunk of a WAV file or an AVI audio stream.
void putWaveFormat(RiffBuilder& out, const WavClip& shape) {
  int tag = waveFormatTag(shape.format);
  int blockAlign = blockAlignOf(shape);
  int bits = storedBitsPerSample(shape.format);
  out.put16(shape.extensible ? 0xFFFE : tag);
  out.put16(shape.channels);
  out.put32(shape.sampleRate);
  out.put32(shape.sampleRate * blockAlign);
  out.put16(blockAlign);
  out.put16(bits);
  if (shape.extensible) {
    out.put16(22);    // cbSize
    out.put16(bits);  // wValidBitsPerSample
    out.put32(shape.channels == 1   ? 0x4
              : shape.channels == 2 ? 0x3
                                    : 0x3F);  // channel mask
    out.put32(tag);  // sub-format GUID {0000000X-0000-0010-8000-00AA00389B71}
    out.put16(0x0000);
    out.put16(0x0010);
    for (std::uint8_t b : {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) out.put8(b);
  } else if (tag != 1) {
    out.put16(0);  // cbSize of the non-PCM forms
  }
}

std::vector<std::uint8_t> framePixels(const RawAviClip& shape, int frameIndex) {
  int bytesPerPixel = shape.bitsPerPixel / 8;
  int stride = (shape.width * bytesPerPixel + 3) & ~3;
  std::vector<std::uint8_t> bits(std::size_t(stride) * shape.height, 0);
  for (int row = 0; row < shape.height; ++row) {
    int y = shape.height - 1 - row;  // stored bottom-up
    std::uint8_t* out = bits.data() + std::size_t(row) * stride;
    for (int x = 0; x < shape.width; ++x) {
      std::uint32_t c = shape.texturedLowerHalf && y >= shape.height / 2
                            ? texturePatternPixel(frameIndex, x, y)
                            : testPatternPixel(frameIndex, x, y, shape.width, shape.height);
      if (frameIndex == shape.whiteFrame) c = 0xFFFFFF;
      out[x * bytesPerPixel + 0] = std::uint8_t(c);
      out[x * bytesPerPixel + 1] = std::uint8_t(c >> 8);
      out[x * bytesPerPixel + 2] = std::uint8_t(c >> 16);
    }
  }
  return bits;
}

struct IndexEntry {
  const char* id;
  std::uint32_t offset;
  std::uint32_t size;
};

}  // namespace

std::uint32_t testPatternPixel(int frameIndex, int x, int y, int width, int height) {
  if (y < height / 4) {
    int bit = x * kFrameNumberBits / width;
    return ((frameIndex >> (kFrameNumberBits - 1 - bit)) & 1) ? 0xFFFFFF : 0x000000;
  }
  return testPatternBarColour(x, width);
}

std::uint32_t testPatternBarColour(int x, int width) {
  return kBarColours[std::size_t(x * 4 / width)];
}

std::uint32_t demoPatternPixel(int frameIndex, int x, int y, int width, int height) {
  int shifted = (x + width - (frameIndex * 4) % width) % width;
  std::uint32_t colour = kDemoBars[std::size_t(shifted * 8 / width)];
  if (y >= height * 3 / 4) {  // a gray ramp under the bars
    std::uint32_t level = std::uint32_t(x * 255 / (width - 1));
    colour = level * 0x010101;
  }
  return colour;
}

std::uint32_t texturePatternPixel(int frameIndex, int x, int y) {
  // Cell coordinates of the panned texture (offset to stay non-negative).
  const std::uint32_t u = std::uint32_t(x - 2 * frameIndex + 65536) / 3;
  const std::uint32_t v = std::uint32_t(y - frameIndex + 65536) / 3;
  std::uint32_t hash = u * 0x9E3779B1u ^ v * 0x85EBCA77u;
  hash ^= hash >> 15;
  hash *= 0x2C1B3C6Du;
  hash ^= hash >> 12;
  // The wave: brightness between 50 and 100 percent, period 24 pixels along the
  // diagonal, moving 5 pixels per frame.
  const int phase = (x + y + 5 * frameIndex) % 24;
  const int light = 128 + 128 * std::abs(phase - 12) / 12;
  const auto channel = [&](int shift) { return ((hash >> shift) & 0xFF) * light / 256; };
  return channel(16) << 16 | channel(8) << 8 | channel(0);
}

std::uint32_t richMotionPixel(int frameIndex, int x, int y, int width, int height) {
  const int band = height * 2 / 3;
  if (y < band) return texturePatternPixel(frameIndex, x, y);
  if (x >= width / 2) {
    return demoPatternPixel(frameIndex, x - width / 2, y - band, width - width / 2,
                            height - band);
  }
  // Rings around the middle of the lower left part, growing 2 % per frame.
  const double dx = x - width / 4.0;
  const double dy = y - (band + height) / 2.0;
  const double zoom = 1.0 + 0.02 * (frameIndex % 100);
  const int ring = int(std::sqrt(dx * dx + dy * dy) / zoom) / 4;
  const std::uint32_t shade = std::uint32_t(ring * 37 % 256);
  return (ring % 3 == 0 ? shade << 16 : 0) | (ring % 3 == 1 ? shade << 8 : 0) |
         (ring % 3 == 2 ? shade : 0) | 0x202020u;
}

int readFrameNumber(const std::uint32_t* pixels, int width, int height) {
  int row = height - 1 - height / 8;  // middle of the top band, bottom-up numbering
  int number = 0;
  for (int bit = 0; bit < kFrameNumberBits; ++bit) {
    int x = (2 * bit + 1) * width / (2 * kFrameNumberBits);
    std::uint32_t p = pixels[std::size_t(row) * width + x];
    int luma = (int((p >> 16) & 0xFF) + int((p >> 8) & 0xFF) + int(p & 0xFF)) / 3;
    if (luma > 170) {
      number = number * 2 + 1;
    } else if (luma < 85) {
      number = number * 2;
    } else {
      return -1;
    }
  }
  return number;
}

bool coloursClose(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    int da = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
    if (std::abs(da) > tolerance) return false;
  }
  return true;
}

int waveFormatTag(StoredSampleFormat format) {
  switch (format) {
    case StoredSampleFormat::Float32:
      return 3;
    case StoredSampleFormat::ALaw:
      return 6;
    case StoredSampleFormat::MuLaw:
      return 7;
    default:
      return 1;
  }
}

int storedBitsPerSample(StoredSampleFormat format) {
  switch (format) {
    case StoredSampleFormat::PcmS16:
      return 16;
    case StoredSampleFormat::PcmS24:
      return 24;
    case StoredSampleFormat::Float32:
      return 32;
    default:
      return 8;
  }
}

std::vector<std::uint8_t> wavSampleData(const WavClip& shape) {
  std::vector<std::uint8_t> data;
  data.reserve(std::size_t(shape.sampleFrames) * blockAlignOf(shape));
  for (int i = 0; i < shape.sampleFrames; ++i) {
    for (int c = 0; c < shape.channels; ++c) {
      switch (shape.format) {
        case StoredSampleFormat::PcmU8:
          data.push_back(std::uint8_t(i * 3 + c * 50 + 7));
          break;
        case StoredSampleFormat::PcmS16: {
          std::uint32_t v = std::uint32_t(i * 37 + c * 1000 + 12345) & 0xFFFF;
          data.push_back(std::uint8_t(v));
          data.push_back(std::uint8_t(v >> 8));
          break;
        }
        case StoredSampleFormat::PcmS24: {
          std::uint32_t v = std::uint32_t(i * 4099 + c * 77) & 0xFFFFFF;
          for (int b = 0; b < 3; ++b) data.push_back(std::uint8_t(v >> (8 * b)));
          break;
        }
        case StoredSampleFormat::Float32: {
          double t = double(i) / shape.sampleRate;
          float v = float(0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * t));
          std::uint32_t bitsOf = std::bit_cast<std::uint32_t>(v);
          for (int b = 0; b < 4; ++b) data.push_back(std::uint8_t(bitsOf >> (8 * b)));
          break;
        }
        case StoredSampleFormat::ALaw:
        case StoredSampleFormat::MuLaw:
          data.push_back(std::uint8_t(i * 5 + c * 17 + 1));
          break;
      }
    }
  }
  return data;
}

bool writeWav(const std::string& path, const WavClip& shape) {
  RiffBuilder out;
  std::size_t riff = out.beginChunk("RIFF", "WAVE");
  std::size_t fmt = out.beginChunk("fmt ");
  putWaveFormat(out, shape);
  out.endChunk(fmt);
  if (shape.extensible || waveFormatTag(shape.format) != 1) {
    std::size_t fact = out.beginChunk("fact");
    out.put32(shape.sampleFrames);
    out.endChunk(fact);
  }
  std::size_t data = out.beginChunk("data");
  out.append(wavSampleData(shape));
  out.endChunk(data);
  out.endChunk(riff);
  return out.writeTo(path);
}

bool writeRawAvi(const std::string& path, const RawAviClip& shape) {
  const int bytesPerPixel = shape.bitsPerPixel / 8;
  const int frameBytes = ((shape.width * bytesPerPixel + 3) & ~3) * shape.height;
  const int blockAlign = blockAlignOf(shape.audio);
  const int streams = int(shape.withVideo) + int(shape.withAudio);
  const int chunks =
      shape.frames > 0 ? shape.frames : 1;  // audio-only files split the same way
  RiffBuilder out;
  std::size_t riff = out.beginChunk("RIFF", "AVI ");
  std::size_t hdrl = out.beginChunk("LIST", "hdrl");
  std::size_t avih = out.beginChunk("avih");
  out.put32(
      std::uint32_t(1000000LL * shape.scale / shape.rate));  // microseconds per frame
  out.put32(0);                                              // max bytes per second
  out.put32(0);                                              // padding granularity
  out.put32(0x10 | 0x100);                                   // has index, interleaved
  out.put32(shape.withVideo ? shape.frames : 0);             // total frames
  out.put32(0);                                              // initial frames
  out.put32(streams);
  out.put32(frameBytes);  // suggested buffer size
  out.put32(shape.width);
  out.put32(shape.height);
  for (int i = 0; i < 4; ++i) out.put32(0);  // reserved
  out.endChunk(avih);
  if (shape.withVideo) {
    std::size_t strl = out.beginChunk("LIST", "strl");
    std::size_t strh = out.beginChunk("strh");
    out.fourCC("vids");
    out.put32(0);  // handler: none, uncompressed
    out.put32(0);  // flags
    out.put16(0);  // priority
    out.put16(0);  // language
    out.put32(0);  // initial frames
    out.put32(shape.scale);
    out.put32(shape.rate);
    out.put32(0);  // start
    out.put32(shape.frames);
    out.put32(frameBytes);
    out.put32(0xFFFFFFFF);  // quality: default
    out.put32(0);           // sample size: variable
    out.put16(0);           // frame rectangle left, top, right, bottom
    out.put16(0);
    out.put16(shape.width);
    out.put16(shape.height);
    out.endChunk(strh);
    std::size_t strf = out.beginChunk("strf");
    out.put32(40);  // BITMAPINFOHEADER: size
    out.put32(shape.width);
    out.put32(shape.height);  // positive: bottom-up
    out.put16(1);             // planes
    out.put16(shape.bitsPerPixel);
    out.put32(0);  // BI_RGB
    out.put32(frameBytes);
    for (int i = 0; i < 4; ++i) out.put32(0);  // resolution, colours used, important
    out.endChunk(strf);
    out.endChunk(strl);
  }
  if (shape.withAudio) {
    std::size_t strl = out.beginChunk("LIST", "strl");
    std::size_t strh = out.beginChunk("strh");
    out.fourCC("auds");
    out.put32(0);
    out.put32(0);
    out.put16(0);
    out.put16(0);
    out.put32(0);
    out.put32(blockAlign);                           // scale
    out.put32(blockAlign * shape.audio.sampleRate);  // rate: bytes per second
    out.put32(0);
    out.put32(shape.audio.sampleFrames);  // length in sample frames
    out.put32(shape.audio.sampleRate * blockAlign);
    out.put32(0xFFFFFFFF);
    out.put32(blockAlign);  // sample size
    for (int i = 0; i < 4; ++i) out.put16(0);
    out.endChunk(strh);
    std::size_t strf = out.beginChunk("strf");
    putWaveFormat(out, shape.audio);
    out.endChunk(strf);
    out.endChunk(strl);
  }
  out.endChunk(hdrl);

  std::vector<std::uint8_t> sound =
      shape.withAudio ? wavSampleData(shape.audio) : std::vector<std::uint8_t>();
  std::vector<IndexEntry> index;
  std::size_t movi = out.beginChunk("LIST", "movi");
  const std::size_t moviStart = movi + 4;  // offsets count from the 'movi' form type
  int audioDone = 0;
  for (int n = 0; n < chunks; ++n) {
    if (shape.withVideo) {
      std::uint32_t offset = std::uint32_t(out.size() - moviStart);
      std::size_t chunk = out.beginChunk("00db");
      out.append(framePixels(shape, n));
      out.endChunk(chunk);
      index.push_back({"00db", offset, std::uint32_t(frameBytes)});
    }
    if (shape.withAudio) {
      int until = int(std::int64_t(shape.audio.sampleFrames) * (n + 1) / chunks);
      std::vector<std::uint8_t> part(
          sound.begin() + std::ptrdiff_t(audioDone) * blockAlign,
          sound.begin() + std::ptrdiff_t(until) * blockAlign);
      audioDone = until;
      if (part.empty()) continue;
      std::uint32_t offset = std::uint32_t(out.size() - moviStart);
      const char* id = shape.withVideo ? "01wb" : "00wb";
      std::size_t chunk = out.beginChunk(id);
      out.append(part);
      out.endChunk(chunk);
      index.push_back({id, offset, std::uint32_t(part.size())});
    }
  }
  out.endChunk(movi);
  std::size_t idx1 = out.beginChunk("idx1");
  for (const IndexEntry& e : index) {
    out.fourCC(e.id);
    out.put32(0x10);  // key frame
    out.put32(e.offset);
    out.put32(e.size);
  }
  out.endChunk(idx1);
  out.endChunk(riff);
  return out.writeTo(path);
}

bool writeTextFile(const std::string& path, const std::string& text) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"),
                                             &std::fclose);
  if (!file) return false;
  return std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
}

ScratchDirectory::ScratchDirectory() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "vantrel-clips-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data())) directory = name.data();
}

ScratchDirectory::~ScratchDirectory() {
  if (directory.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}

std::string ScratchDirectory::file(const std::string& name) const {
  return directory + "/" + name;
}

}  // namespace vantrel::test
