#include "audio/SampleConverter.h"

#include "audio/G711Expansion.h"

namespace vantrel {
namespace {

constexpr std::uint16_t kFormatALaw = 6;
constexpr std::uint16_t kFormatMuLaw = 7;

// Sample values are little-endian whatever the host.
int readInt16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// Every scale is a power of two, so each value below is exact in a float.
constexpr float kScale7 = 1.0f / 128.0f;
constexpr float kScale8 = 1.0f / 256.0f;
constexpr float kScale15 = 1.0f / 32768.0f;
constexpr float kScale16 = 1.0f / 65536.0f;

// Expanded A-law and µ-law values are 16-bit linear samples and scale like
// 16-bit PCM, so a G.711 sound plays at the level of the same sound in PCM.
template <typename Expand>
void convertG711(const std::uint8_t* raw, int frames, int stride, bool stereo, Expand expand,
                 float* out) {
  for (int i = 0; i < frames; ++i, raw += stride) {
    if (stereo) {
      out[i] = static_cast<float>(expand(raw[0]) + expand(raw[1])) * kScale16;
    } else {
      out[i] = static_cast<float>(expand(raw[0])) * kScale15;
    }
  }
}

}  // namespace

std::optional<SampleConverter> SampleConverter::forStream(const AudioStreamInfo& info) {
  if (info.channels < 1) return std::nullopt;
  const bool stereo = info.channels >= 2;
  const int valuesRead = stereo ? 2 : 1;
  if (info.bitsPerSample > 8) {
    const int stride = info.blockAlign & ~1;
    if (stride < 2 * valuesRead) return std::nullopt;
    return SampleConverter(stereo ? Layout::Pcm16Stereo : Layout::Pcm16Mono, stride);
  }
  const int stride = info.blockAlign;
  if (stride < valuesRead) return std::nullopt;
  Layout layout = stereo ? Layout::Pcm8Stereo : Layout::Pcm8Mono;
  if (info.formatTag == kFormatALaw) layout = stereo ? Layout::ALawStereo : Layout::ALawMono;
  if (info.formatTag == kFormatMuLaw) layout = stereo ? Layout::MuLawStereo : Layout::MuLawMono;
  return SampleConverter(layout, stride);
}

void SampleConverter::convert(const std::uint8_t* raw, int frames, float* out) const {
  switch (frameLayout) {
    case Layout::Pcm16Mono:
      for (int i = 0; i < frames; ++i, raw += strideBytes) {
        out[i] = static_cast<float>(readInt16(raw)) * kScale15;
      }
      break;
    case Layout::Pcm16Stereo:
      for (int i = 0; i < frames; ++i, raw += strideBytes) {
        out[i] = static_cast<float>(readInt16(raw) + readInt16(raw + 2)) * kScale16;
      }
      break;
    case Layout::ALawMono:
    case Layout::ALawStereo:
      convertG711(raw, frames, strideBytes, frameLayout == Layout::ALawStereo, expandALaw, out);
      break;
    case Layout::MuLawMono:
    case Layout::MuLawStereo:
      convertG711(raw, frames, strideBytes, frameLayout == Layout::MuLawStereo, expandMuLaw, out);
      break;
    case Layout::Pcm8Mono:
      for (int i = 0; i < frames; ++i, raw += strideBytes) {
        out[i] = static_cast<float>(raw[0] - 128) * kScale7;
      }
      break;
    case Layout::Pcm8Stereo:
      for (int i = 0; i < frames; ++i, raw += strideBytes) {
        out[i] = static_cast<float>(raw[0] + raw[1] - 256) * kScale8;
      }
      break;
  }
}

}  // namespace vantrel
