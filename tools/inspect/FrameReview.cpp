#include "FrameReview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "PictureConversion.h"
#include "PictureFile.h"
#include "image/ColourReduction.h"

namespace vantrel::inspect {

namespace {

constexpr int kContactFrames = 12;
constexpr int kContactColumns = 4;

std::string numbered(const std::string& prefix, int frame, bool png) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05d", frame);
  return prefix + "-" + digits + (png ? ".png" : ".ppm");
}

// Frames on the contact sheet: the chosen ones, else up to twelve spread evenly.
std::set<int> contactFrames(const ToolOptions& options, int frameCount) {
  if (!options.frames.empty()) return options.frames;
  std::set<int> chosen;
  const int count = std::min(frameCount, kContactFrames);
  for (int i = 0; i < count; ++i)
    chosen.insert(int(std::int64_t(i) * frameCount / count));
  return chosen;
}

std::string decibels(double value) {
  if (std::isinf(value)) return "identical";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dB", value);
  return text;
}

}  // namespace

FrameReview::FrameReview(const ToolOptions& chosen, const DatabaseReader& movie,
                         const MovieLayout& shape, const MovieHeaderView& fields,
                         MoviePreview* movieView)
    : options(chosen), reader(movie), layout(shape), header(fields), preview(movieView) {}

bool FrameReview::openSource(std::ostream& out, std::ostream& err) {
  composer = std::make_unique<SourceComposer>();
  const std::string why = composer->open(options.sourcePath, options.shaping);
  if (!why.empty()) {
    err << "source " << options.sourcePath << ": " << why << "\n";
    composer.reset();
    return false;
  }
  comparable = std::min(composer->plannedFrameCount(), layout.frameCount);
  if (composer->plannedFrameCount() != layout.frameCount) {
    out << "note: with these settings the source gives " << composer->plannedFrameCount()
        << " frames, the movie holds " << layout.frameCount
        << " (were -framerate and the other settings the same?)\n";
  }
  return true;
}

void FrameReview::takeGrayMode(int index, const SampleLayout& samples,
                               const std::array<std::uint32_t, 256>& palette,
                               const RgbPicture& decoded) {
  grayTaken = true;
  if (samples.gray || options.shaping.grayscale) {
    composer->setGray(true);
    return;
  }
  if (samples.depthCode < kTruecolorDepth) return;
  // A grayscale movie in a truecolor layout keeps the layout's colour mode: the
  // first frame tells, by being closer to the gray or to the colour samples
  // the converter would make of its source picture.
  std::optional<PictureDifference> difference[2];
  std::vector<std::uint8_t> composed;
  for (const bool gray : {false, true}) {
    composer->setGray(gray);
    if (!composer->composeFrame(index, samples, palette, composed).empty()) break;
    difference[gray] =
        pictureDifference(framePicture(composed.data(), layout.frameWidth,
                                       layout.storedHeight, samples.pictureMode, palette),
                          decoded);
  }
  composer->setGray(difference[0] && difference[1] &&
                    difference[1]->squares < difference[0]->squares);
}

void FrameReview::run(std::vector<std::string>& problems, std::ostream& out,
                      std::ostream& err) {
  if (!options.sourcePath.empty() && !openSource(out, err)) sourceFailed = true;
  frameQuality.assign(std::size_t(layout.frameCount), std::nullopt);

  const std::set<int> sheetFrames = contactFrames(options, layout.frameCount);
  std::vector<RgbPicture> sheet;
  std::optional<SampleLayout> samples;
  std::vector<std::uint8_t> composed;
  frames = decodeFrames(
      reader, layout.frameCount, layout.frameWidth, layout.storedHeight,
      header.keyInterval,
      [&](int index, const std::uint8_t* decoded,
          const std::array<std::uint32_t, 256>& palette) {
        const bool chosen = options.allFrames || options.frames.count(index) != 0;
        const bool onSheet =
            !options.contactPath.empty() && sheetFrames.count(index) != 0;
        const bool compare = composer && !sourceFailed && index < comparable;
        if (!chosen && !onSheet && !compare && preview == nullptr) return;
        // Frame 0 carries the palette, which tells the layout's details.
        if (!samples) {
          samples = sampleLayoutFor(header.colourMode, header.bitsPerPixel,
                                    layout.frameWidth, layout.storedHeight, palette);
        }
        RgbPicture picture = framePicture(decoded, layout.frameWidth, layout.storedHeight,
                                          samples->pictureMode, palette);
        std::optional<RgbPicture> placed;
        if (compare && !grayTaken) takeGrayMode(index, *samples, palette, picture);
        if (compare) {
          const std::string why = composer->composeFrame(index, *samples, palette, composed);
          if (!why.empty()) {
            err << "source frame " << composer->sourceFrameFor(index) << " (movie frame "
                << index << "): " << why << "\n";
            sourceFailed = true;
          } else {
            placed = composer->placedPicture(*samples);
            const RgbPicture reduced =
                framePicture(composed.data(), layout.frameWidth, layout.storedHeight,
                             samples->pictureMode, palette);
            const auto totalDifference = pictureDifference(*placed, picture);
            const auto codecDifference = pictureDifference(reduced, picture);
            if (totalDifference && codecDifference) {
              totalPsnr.add(index, *totalDifference);
              codecPsnr.add(index, *codecDifference);
              frameQuality[std::size_t(index)] =
                  FrameQuality{totalDifference->psnr(), codecDifference->psnr()};
            }
          }
        }
        if (chosen &&
            !writePicture(numbered(options.framePrefix, index, options.png), picture)) {
          writeFailed = true;
        }
        showFrame(index, picture, placed ? &*placed : nullptr, out);
        if (onSheet) sheet.push_back(placed ? sideBySide(*placed, picture) : std::move(picture));
      });
  problems.insert(problems.end(), frames.problems.begin(), frames.problems.end());
  if (preview != nullptr) preview->endProgress(out);
  if (!options.quiet) {
    out << "frames:        " << frames.decoded << " of " << layout.frameCount
        << " decoded, " << frames.keyFrames << " key frames\n";
    printSizes(out);
    if (options.verbose) printFrameLines(out);
  }
  printQuality(out);
  if (!options.contactPath.empty() &&
      !writePicture(options.contactPath, contactSheet(sheet, kContactColumns))) {
    writeFailed = true;
  }
}

void FrameReview::showFrame(int index, const RgbPicture& picture, const RgbPicture* source,
                            std::ostream& out) {
  if (preview == nullptr) return;
  // Side by side when a source was asked for and opened; a frame the source
  // does not reach shows black beside it. A preview that fails stops taking
  // frames; the caller reports why.
  const bool sideBySide = composer != nullptr;
  if (index == 0) preview->start(picture.width, picture.height, sideBySide);
  if (!preview->started()) return;
  RgbPicture blank;
  if (sideBySide && source == nullptr) {
    blank = picture;
    std::fill(blank.rgb.begin(), blank.rgb.end(), std::uint8_t(0));
    source = &blank;
  }
  preview->addFrame(picture, sideBySide ? source : nullptr, options.quiet, out);
}

void FrameReview::printQuality(std::ostream& out) const {
  const auto line = [&out](const char* title, const PsnrSummary& summary, const char* against) {
    if (summary.count() == 0) return;
    out << title << decibels(summary.psnr()) << " over " << summary.count() << " frames "
        << against;
    if (summary.identicalCount() < summary.count()) {
      out << ", worst " << decibels(summary.worst()) << " (frame " << summary.worstFrame() << ")";
      if (summary.identicalCount() > 0) out << ", " << summary.identicalCount() << " identical";
    }
    out << "\n";
  };
  line("total PSNR:    ", totalPsnr,
       composer && composer->isGray() ? "(against the placed source in gray)"
                                      : "(against the placed source in full colour)");
  line("codec PSNR:    ", codecPsnr, "(against the colour-reduced frames)");
}

void FrameReview::printSizes(std::ostream& out) const {
  if (frames.entries.empty()) return;
  std::size_t total = 0;
  std::size_t largest = 0;
  int largestFrame = 0;
  for (std::size_t i = 0; i < frames.entries.size(); ++i) {
    total += frames.entries[i].bytes;
    if (frames.entries[i].bytes > largest) {
      largest = frames.entries[i].bytes;
      largestFrame = int(i);
    }
  }
  out << "frame bytes:   " << total << " in all, " << total / frames.entries.size()
      << " on average, largest " << largest << " (frame " << largestFrame << ")\n";
}

void FrameReview::printFrameLines(std::ostream& out) const {
  for (std::size_t i = 0; i < frames.entries.size(); ++i) {
    const FrameEntry& entry = frames.entries[i];
    char line[160];
    std::snprintf(line, sizeof line, "frame %5zu:  %-10s %6zu bytes%s", i,
                  entry.kind == 1 ? "key" : "difference", entry.bytes,
                  entry.palette ? ", palette" : "");
    out << line;
    if (i < frameQuality.size() && frameQuality[i]) {
      out << "  total " << decibels(frameQuality[i]->total) << ", codec "
          << decibels(frameQuality[i]->codec);
    }
    out << "\n";
  }
}

}  // namespace vantrel::inspect
