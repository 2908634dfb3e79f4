// Fuzz entry: one difference frame record decoded against random pictures.

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzTargets.h"
#include "codec/DifferenceFrameDecoder.h"
#include "codec/FrameDecoder.h"

namespace vantrel::fuzz {
namespace {

struct FrameSize {
  int width;
  int height;
};

// The four handheld screens, then the stored sizes of the truecolor codes.
constexpr std::array<FrameSize, 8> kFrameSizes = {{
    {160, 160}, {320, 240}, {320, 320}, {216, 384},
    {160, 240}, {320, 360}, {320, 480}, {216, 576},
}};
static_assert(kFrameSizes.size() == 8);

// Bytes before the record: the size choice and the picture seed.
constexpr std::size_t kPrefixBytes = 5;

// Random samples for the pictures, made once: each input copies its pictures
// from the pool at offsets its seed picks, so the fill costs one copy.
const std::vector<std::uint8_t>& randomPool() {
  static const std::vector<std::uint8_t> pool = [] {
    std::vector<std::uint8_t> bytes(std::size_t(3) * 216 * 576);
    std::uint64_t state = 0x243F6A8885A308D3ull;  // splitmix64
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
      state += 0x9E3779B97F4A7C15ull;
      std::uint64_t z = state;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      z ^= z >> 31;
      std::memcpy(bytes.data() + i, &z, 8);
    }
    return bytes;
  }();
  return pool;
}

void fillRandom(std::vector<std::uint8_t>& picture, std::uint32_t seed) {
  const std::vector<std::uint8_t>& pool = randomPool();
  const std::size_t offset = seed % (pool.size() - picture.size() + 1);
  std::memcpy(picture.data(), pool.data() + offset, picture.size());
}

}  // namespace

int fuzzDifferenceRecord(const std::uint8_t* data, std::size_t size) {
  if (size < kPrefixBytes) return 0;
  const std::size_t choice = data[0] % kFrameSizes.size();
  const FrameSize frame = kFrameSizes[choice];
  const std::uint32_t seed = std::uint32_t(data[1]) | std::uint32_t(data[2]) << 8 |
                             std::uint32_t(data[3]) << 16 | std::uint32_t(data[4]) << 24;
  // The record gets a buffer of exactly its own length, so that a read past
  // its end is caught.
  const std::vector<std::uint8_t> record(data + kPrefixBytes, data + size);

  // Pictures and decoders of each size are made once and kept: each picture
  // is still a heap block of exactly its size, so a write past it is caught,
  // and the search does not spend its time allocating.
  struct Workspace {
    std::vector<std::uint8_t> target;
    std::vector<std::uint8_t> reference;
    std::unique_ptr<DifferenceFrameDecoder> differences;
    std::unique_ptr<FrameDecoder> frames;
  };
  static std::array<Workspace, kFrameSizes.size()> workspaces;
  Workspace& work = workspaces[choice];
  if (!work.frames) {
    const std::size_t pictureBytes = std::size_t(frame.width) * frame.height;
    work.target.resize(pictureBytes);
    work.reference.resize(pictureBytes);
    work.differences = std::make_unique<DifferenceFrameDecoder>(frame.width, frame.height);
    work.frames = std::make_unique<FrameDecoder>(frame.width, frame.height);
  }

  // The code stream alone, as the player runs it.
  fillRandom(work.target, seed);
  fillRandom(work.reference, seed / 7 + 12345u);
  (void)work.differences->decodeDifferenceFrame(record.data(), record.size(),
                                                work.target.data(), work.reference.data());

  // The whole record with its header checks, as the inspect tool runs it.
  fillRandom(work.target, seed + 1);
  fillRandom(work.reference, seed + 2);
  (void)work.frames->decodeFrame(record.data(), record.size(), work.target.data(),
                                 work.reference.data());
  return 0;
}

}  // namespace vantrel::fuzz
