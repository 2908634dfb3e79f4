#include "SourceComposer.h"

#include <algorithm>

#include "sources/MovieRange.h"
#include "image/ColourGrid.h"
#include "image/ColourReduction.h"
#include "image/PicturePlacement.h"

namespace vantrel::inspect {

SourceComposer::SourceComposer()
    : videoKinds{&aviKind, &movieKind}, engine(std::make_unique<MovieEncoder>()) {
  engine->videoSources = &videoKinds;
  engine->audioSources = &audioKinds;
  engine->showMessage = [this](const std::string& text) { messages += text; };
}

SourceComposer::~SourceComposer() { engine.reset(); }

std::string SourceComposer::open(const std::string& path, const ShapingSettings& settings) {
  shaping = settings;
  gray = settings.grayscale;
  messages.clear();
  placed = false;
  if (const char* error = engine->openSources(nullptr, path.c_str()); error != nullptr) {
    return messages + error;
  }
  if (!engine->hasVideo()) return "the file has no video";
  engine->frameRate = settings.frameRate;
  engine->cropFraction = settings.cropFraction;
  sourceStart = engine->videoSource()->firstFrame();
  // From the start on to the end, as the converter asks for it (the whole
  // source is first and last frame 0).
  SourceRange range;
  const std::string problem = sourceRangeFor(*engine->videoSource(), settings.frameRate,
                                             settings.startSeconds, 0.0, range);
  if (!problem.empty()) return problem;
  firstFrame = range.firstFrame;
  int lastFrame = range.lastFrame;
  int audioRecords = 0;
  engine->planMovie(settings.frameRate, fps, frameCount, frameStep, audioRecords, nullptr,
                    firstFrame, lastFrame);
  // Frame step 0: a single picture (a still image) shown in every frame.
  if (!(fps > 0.0) || !(frameStep >= 0.0)) return "the video reports no usable frame rate";
  return {};
}

int SourceComposer::sourceFrameFor(int movieFrame) const {
  // The encode driver's own choice: the source kind maps the position.
  VideoStreamSource* source = engine->videoSource();
  const double position = (firstFrame + movieFrame) * frameStep;
  if (source == nullptr) return static_cast<int>(position) + sourceStart;
  return source->frameForPosition(position) + sourceStart;
}

void SourceComposer::prepareColours(const SampleLayout& layout,
                                    const std::array<std::uint32_t, 256>& palette) {
  if (layout.depthCode >= kTruecolorDepth) return;
  const std::size_t cells = std::size_t(gridCellCount(layout.fineGrid));
  if (colourMap.size() == cells && mappedFineGrid == layout.fineGrid &&
      std::equal(palette.begin() + 1, palette.end() - 1, mappedPalette.begin() + 1)) {
    return;
  }
  colourMap.assign(cells, 0);
  buildColourMap(palette.data(), layout.fineGrid, colourMap.data());
  mappedPalette = palette;
  mappedFineGrid = layout.fineGrid;
}

std::string SourceComposer::composeFrame(int movieFrame, const SampleLayout& layout,
                                         const std::array<std::uint32_t, 256>& palette,
                                         std::vector<std::uint8_t>& samples) {
  VideoStreamSource* source = engine->videoSource();
  if (source == nullptr || !source->isOpen()) return "the source is not open";
  if (!sourceFrame) sourceFrame = std::make_unique<FrameImage>();
  FrameImage* frame = sourceFrame.get();
  const int code = source->readFrame(sourceFrameFor(movieFrame), &frame);
  if (frame != sourceFrame.get()) sourceFrame.reset(frame);
  if (code != 0) return source->errorText(code);

  // The converter composes in source orientation; rotation turns the picture
  // while it is converted.
  const int screenWidth = layout.frameWidth;
  const int screenHeight = layout.screenHeight;
  if (!placed) {
    workWidth = shaping.rotate ? screenHeight : screenWidth;
    workHeight = shaping.rotate ? screenWidth : screenHeight;
    workPixels.assign(std::size_t(workWidth) * workHeight * 2, 0);
    workImage.attachPixels(workPixels.data(), workWidth, workHeight);
    const int width = sourceFrame->width();
    const int height = sourceFrame->height();
    sourcePixels.assign(std::size_t((width + 1) & ~1) * std::max(height, 0), 0);
    sourceImage.attachPixels(sourcePixels.data(), width, height);
    engine->computePlacement(width, height, shaping.cropFraction, placement, workWidth,
                             workHeight);
    placed = true;
  }
  // Composed and flipped in colour, as the converter does it; a grayscale
  // truecolor movie's gray picture is made from a copy, so the placed picture
  // keeps its colours for the total figure.
  composePlacedPicture(*sourceFrame, sourceImage, workImage, placement, 0.0f, 0.0f, false);
  flipForOutput(workPixels.data(), workWidth, workHeight, layout.depthCode,
                shaping.flipVertical, shaping.flipHorizontal, shaping.rotate);
  const FrameImage* reduced = &workImage;
  if (carriesGrayPictures(layout.depthCode, gray)) {
    grayPixels = workPixels;
    grayImage.attachPixels(grayPixels.data(), workWidth, workHeight);
    makeGray(grayImage);
    reduced = &grayImage;
  }
  prepareColours(layout, palette);
  samples.assign(std::size_t(layout.frameWidth) * layout.storedHeight, 0);
  convertFrame(*reduced, samples.data(), layout.depthCode, shaping.rotate, screenWidth,
               screenHeight, colourMap.empty() ? nullptr : colourMap.data(), layout.fineGrid);
  return {};
}

RgbPicture SourceComposer::placedPicture(const SampleLayout& layout) const {
  RgbPicture picture;
  picture.width = layout.frameWidth;
  picture.height = layout.screenHeight;
  picture.rgb.assign(std::size_t(picture.width) * picture.height * 3, 0);
  if (!placed) return picture;
  // Where the colour reduction puts each pixel of the (flipped) working image,
  // row 0 at its bottom: turned a quarter turn when rotated, the 8-bit layouts
  // and the truecolor layouts each in their own direction (the output pass's
  // flips make up the difference).
  const bool truecolor = layout.depthCode >= kTruecolorDepth;
  for (int y = 0; y < workHeight; ++y) {
    for (int x = 0; x < workWidth; ++x) {
      int row = picture.height - 1 - y;
      int column = x;
      if (shaping.rotate) {
        row = truecolor ? x : picture.height - 1 - x;
        column = truecolor ? workHeight - 1 - y : y;
      }
      if (row < 0 || row >= picture.height || column < 0 || column >= picture.width) continue;
      std::uint32_t colour = workPixels[std::size_t(y) * workWidth + x] & 0xFFFFFF;
      if (gray) {
        const std::uint32_t luma = (77 * (colour >> 16) + 150 * ((colour >> 8) & 0xFF) +
                                    29 * (colour & 0xFF) + 128) >>
                                   8;
        colour = luma << 16 | luma << 8 | luma;
      }
      picture.setPixel(column, row, colour);
    }
  }
  return picture;
}

}  // namespace vantrel::inspect
