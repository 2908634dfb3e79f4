#include "codec/FrameCodec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "codec/CodecPalette.h"
#include "codec/DifferenceFrameDecoder.h"
#include "codec/ImpactDistance.h"
#include "codec/DifferenceFrameEncoder.h"
#include "codec/DisplacementTable.h"
#include "codec/FrameSizeControl.h"
#include "codec/KeyFrameEncoder.h"

namespace vantrel {

namespace {

// 1 / (255^2 x 76800): a frame of 76800 samples (320 x 240) that is as wrong
// as colours can be maps to quality 0.
constexpr double kQualityErrorScale = 2.0024349609124697e-10;
constexpr double kQualityExponent = 150.0;

}  // namespace

double FrameCodec::qualityFromError(std::int64_t totalError) {
  // Larger frames can hold more error than the scale allows for; such a frame
  // is as bad as it gets rather than a negative base raised to a power.
  const double base =
      std::clamp(1.0 - static_cast<double>(totalError) * kQualityErrorScale, 0.0, 1.0);
  return std::pow(base, kQualityExponent);
}

// Everything the codec keeps between frames of one encode.
class FrameCodecState {
 public:
  CodecPalette palette;
  DisplacementTable displacements;
  int width = 0;
  int height = 0;
  int depth = 0;  // the colour code: key frames of the truecolor layouts differ
  bool ready = false;
  WorkerPool* workers = nullptr;
  bool bestEncode = false;
  ImpactDistance impact;  // the best encode's measure of the picture
  std::unique_ptr<DifferenceFrameEncoder> differenceEncoder;
  // The best encode runs the default encode of the movie beside it, with its
  // own pictures, so that each frame can take the bytes the default took.
  std::unique_ptr<DifferenceFrameEncoder> defaultEncoder;
  std::vector<std::uint8_t> defaultPictures[2];
  std::vector<std::uint8_t> defaultRecord;
  int defaultCurrent = 0;
  const std::uint8_t* defaultFrame = nullptr;  // the default reduction's frame
  const std::int32_t* leans = nullptr;         // the frame's samples' leans
  // The default encode's palette when the best encode's differs.
  std::array<std::uint32_t, 256> defaultWords{};
  bool ownDefaultPalette = false;
  CodecPalette defaultPalette;

  // The default encode's palette, and its picture of the frame given.
  const CodecPalette& defaultColours() const {
    return ownDefaultPalette ? defaultPalette : palette;
  }
  const std::uint8_t* defaultInput(const std::uint8_t* frame) const {
    return defaultFrame != nullptr ? defaultFrame : frame;
  }
};

FrameCodec::FrameCodec() : state(std::make_unique<FrameCodecState>()) {}

FrameCodec::~FrameCodec() = default;

bool FrameCodec::frameSizeIsSupported(int frameWidth, int frameHeight) {
  // Keep frames carry at most one byte per sample plus the palette, and one
  // padding byte; difference frames are held to the same buffer by their budget.
  return DifferenceFrameDecoder::sizeIsValid(frameWidth, frameHeight) &&
         KeyFrameEncoder::recordLength(frameWidth, frameHeight, true) + 1 <=
             kRecordBufferSize;
}

void FrameCodec::initFrameCodec(const std::uint32_t* palette, bool fineGrid,
                                int frameWidth, int frameHeight, int depthCode) {
  FrameCodecState& s = *state;
  s.ready = false;
  s.differenceEncoder.reset();
  s.width = frameWidth;
  s.height = frameHeight;
  s.depth = depthCode;
  s.palette.build(palette, fineGrid);
  s.displacements.build(frameWidth);
  if (!frameSizeIsSupported(frameWidth, frameHeight)) return;
  s.differenceEncoder = std::make_unique<DifferenceFrameEncoder>(
      s.palette, s.displacements, frameWidth, frameHeight);
  s.differenceEncoder->setWorkers(s.workers);
  s.defaultEncoder.reset();
  if (s.bestEncode) {
    s.impact.build(s.palette.words(), depthCode, frameWidth, frameHeight);
    s.differenceEncoder->setBestEncode(&s.impact);
    if (s.ownDefaultPalette) s.defaultPalette.build(s.defaultWords.data(), fineGrid);
    s.defaultEncoder = std::make_unique<DifferenceFrameEncoder>(
        s.defaultColours(), s.displacements, frameWidth, frameHeight);
    s.defaultEncoder->setWorkers(s.workers);
    for (auto& picture : s.defaultPictures)
      picture.assign(static_cast<std::size_t>(frameWidth) * frameHeight, 0);
    s.defaultRecord.assign(kRecordBufferSize, 0);
  }
  s.ready = true;
}

void FrameCodec::setWorkers(WorkerPool* threads) { state->workers = threads; }

void FrameCodec::setBestEncode(bool on) { state->bestEncode = on; }

void FrameCodec::setDefaultFrame(const std::uint8_t* frame) { state->defaultFrame = frame; }

void FrameCodec::setSampleLeans(const std::int32_t* leans) { state->leans = leans; }

void FrameCodec::setDefaultPalette(const std::uint32_t* palette) {
  FrameCodecState& s = *state;
  s.ownDefaultPalette = palette != nullptr;
  if (palette != nullptr) std::copy(palette, palette + 256, s.defaultWords.begin());
}

const std::uint8_t* FrameCodec::defaultColourMap() const {
  const FrameCodecState& s = *state;
  if (s.width == 0) return nullptr;
  return s.defaultEncoder ? s.defaultColours().colourMap() : s.palette.colourMap();
}

const std::uint8_t* FrameCodec::colourMap() const {
  return state->width == 0 ? nullptr : state->palette.colourMap();
}

int FrameCodec::compressFrame(std::uint8_t* out, const std::uint8_t* frame,
                              std::uint8_t* recon, std::uint8_t* prevRecon, bool fastMode,
                              int minSize, int maxSize, int targetSize, double& quality,
                              bool padEven, int frameIndex, int keyInterval) {
  FrameCodecState& s = *state;
  quality = 0.0;
  if (!s.ready || out == nullptr || frame == nullptr || recon == nullptr) return 0;
  if (maxSize == 0) maxSize = FrameSizeControl::kMaxBudget;

  const bool keyFrame = prevRecon == nullptr || (keyInterval > 0 && frameIndex >= 0 &&
                                                 frameIndex % keyInterval == 0);
  s.impact.setLeans(frame, s.bestEncode ? s.leans : nullptr);
  if (keyFrame) {
    const KeyFrameEncoder encoder(s.palette, s.defaultEncoder ? &s.impact : nullptr,
                                  s.depth);
    const int length = encoder.encode(out, frame, recon, s.width, s.height,
                                      prevRecon == nullptr, padEven);
    if (prevRecon != nullptr) {
      std::memcpy(prevRecon, recon, static_cast<std::size_t>(s.width) * s.height);
    }
    if (s.defaultEncoder) {
      // The default encode's own key frame, of its own picture.
      const KeyFrameEncoder defaultKeys(s.defaultColours(), nullptr, s.depth);
      defaultKeys.encode(s.defaultRecord.data(), s.defaultInput(frame), s.defaultPictures[0].data(),
                         s.width, s.height, prevRecon == nullptr, padEven);
      s.defaultPictures[1] = s.defaultPictures[0];
    }
    quality = 1.0;
    return length;
  }

  if (s.defaultEncoder) {
    s.defaultCurrent ^= 1;
    const DifferenceFrameEncoder::Result shadow = s.defaultEncoder->encode(
        s.defaultRecord.data(), s.defaultInput(frame), s.defaultPictures[s.defaultCurrent].data(),
        s.defaultPictures[s.defaultCurrent ^ 1].data(), fastMode, minSize, maxSize,
        targetSize, padEven, frameIndex);
    s.differenceEncoder->setNextLength(shadow.length);
  }
  const DifferenceFrameEncoder::Result result =
      s.differenceEncoder->encode(out, frame, recon, prevRecon, fastMode, minSize,
                                  maxSize, targetSize, padEven, frameIndex);
  quality = qualityFromError(result.totalError);
  return result.length;
}

void FrameCodec::releaseFrameCodec() {}

bool FrameCodec::ready() const { return state->ready; }

const std::uint32_t* FrameCodec::palette() const {
  return state->width == 0 ? nullptr : state->palette.words();
}

int FrameCodec::frameWidth() const { return state->width; }

int FrameCodec::frameHeight() const { return state->height; }

}  // namespace vantrel
