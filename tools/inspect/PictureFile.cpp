#include "PictureFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <memory>

namespace vantrel::inspect {

namespace {

constexpr int kGutter = 4;
constexpr std::uint32_t kGutterColour = 0x404040;
constexpr std::size_t kStoredBlockLimit = 65535;

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t adler32(const std::vector<std::uint8_t>& data) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
}

void putChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
  put32(out, std::uint32_t(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(out.data() + typeAt, 4 + data.size()));
}

bool endsWith(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

}  // namespace

std::vector<std::uint8_t> encodePng(const RgbPicture& picture) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put32(header, std::uint32_t(picture.width));
  put32(header, std::uint32_t(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, filter 0, no interlace
  putChunk(out, "IHDR", header);

  // Scanlines, each with filter type 0 (none).
  std::vector<std::uint8_t> raw;
  const std::size_t rowBytes = std::size_t(picture.width) * 3;
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), picture.rgb.begin() + y * rowBytes, picture.rgb.begin() + (y + 1) * rowBytes);
  }
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  std::size_t done = 0;
  do {
    const std::size_t length = std::min(kStoredBlockLimit, raw.size() - done);
    const bool last = done + length == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(std::uint8_t(length));
    zlib.push_back(std::uint8_t(length >> 8));
    zlib.push_back(std::uint8_t(~length));
    zlib.push_back(std::uint8_t(~length >> 8));
    zlib.insert(zlib.end(), raw.begin() + done, raw.begin() + done + length);
    done += length;
  } while (done < raw.size());
  put32(zlib, adler32(raw));
  putChunk(out, "IDAT", zlib);
  putChunk(out, "IEND", {});
  return out;
}

std::vector<std::uint8_t> encodePpm(const RgbPicture& picture) {
  const std::string header =
      "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  std::vector<std::uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), picture.rgb.begin(), picture.rgb.end());
  return out;
}

bool writePicture(const std::string& path, const RgbPicture& picture) {
  const std::vector<std::uint8_t> bytes =
      endsWith(path, ".png") ? encodePng(picture) : encodePpm(picture);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                      &std::fclose);
  if (!file) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

RgbPicture contactSheet(const std::vector<RgbPicture>& pictures, int columns) {
  RgbPicture sheet;
  if (pictures.empty() || columns < 1) return sheet;
  int cellWidth = 0;
  int cellHeight = 0;
  for (const RgbPicture& p : pictures) {
    cellWidth = std::max(cellWidth, p.width);
    cellHeight = std::max(cellHeight, p.height);
  }
  const int count = static_cast<int>(pictures.size());
  const int across = std::min(columns, count);
  const int down = (count + columns - 1) / columns;
  sheet.width = kGutter + across * (cellWidth + kGutter);
  sheet.height = kGutter + down * (cellHeight + kGutter);
  sheet.rgb.assign(std::size_t(sheet.width) * sheet.height * 3, 0);
  for (int y = 0; y < sheet.height; ++y) {
    for (int x = 0; x < sheet.width; ++x) sheet.setPixel(x, y, kGutterColour);
  }
  for (int i = 0; i < count; ++i) {
    const RgbPicture& p = pictures[std::size_t(i)];
    const int left = kGutter + (i % columns) * (cellWidth + kGutter);
    const int top = kGutter + (i / columns) * (cellHeight + kGutter);
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) sheet.setPixel(left + x, top + y, p.pixel(x, y));
    }
  }
  return sheet;
}

}  // namespace vantrel::inspect
