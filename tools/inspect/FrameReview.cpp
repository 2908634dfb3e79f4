#include "FrameReview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "PictureConversion.h"
#include "PictureFile.h"
#include "SourceComposer.h"

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
                         const MovieLayout& shape, const MovieHeaderView& fields)
    : options(chosen), reader(movie), layout(shape), header(fields) {}

void FrameReview::run(std::vector<std::string>& problems, std::ostream& out,
                      std::ostream& err) {
  std::unique_ptr<SourceComposer> composer;
  int comparable = 0;
  if (!options.sourcePath.empty()) {
    composer = std::make_unique<SourceComposer>();
    const std::string why = composer->open(options.sourcePath, options.shaping);
    if (!why.empty()) {
      err << "source " << options.sourcePath << ": " << why << "\n";
      sourceFailed = true;
      composer.reset();
    } else {
      comparable = std::min(composer->plannedFrameCount(), layout.frameCount);
      if (composer->plannedFrameCount() != layout.frameCount) {
        out << "note: with these settings the source gives "
            << composer->plannedFrameCount() << " frames, the movie holds "
            << layout.frameCount
            << " (were -framerate and the other settings the same?)\n";
      }
    }
  }
  framePsnr.assign(std::size_t(layout.frameCount), std::nullopt);

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
        if (!chosen && !onSheet && !compare) return;
        // Frame 0 carries the palette, which tells the layout's details.
        if (!samples) {
          samples = sampleLayoutFor(header.colourMode, header.bitsPerPixel,
                                    layout.frameWidth, layout.storedHeight, palette);
        }
        RgbPicture picture = framePicture(decoded, layout.frameWidth, layout.storedHeight,
                                          samples->pictureMode, palette);
        if (compare) {
          const std::string why =
              composer->composeFrame(index, *samples, palette, composed);
          if (!why.empty()) {
            err << "source frame " << composer->sourceFrameFor(index) << " (movie frame "
                << index << "): " << why << "\n";
            sourceFailed = true;
          } else {
            const RgbPicture original =
                framePicture(composed.data(), layout.frameWidth, layout.storedHeight,
                             samples->pictureMode, palette);
            framePsnr[std::size_t(index)] = picturePsnr(original, picture);
            if (framePsnr[std::size_t(index)])
              psnr.add(index, *framePsnr[std::size_t(index)]);
          }
        }
        if (chosen &&
            !writePicture(numbered(options.framePrefix, index, options.png), picture)) {
          writeFailed = true;
        }
        if (onSheet) sheet.push_back(std::move(picture));
      });
  problems.insert(problems.end(), frames.problems.begin(), frames.problems.end());
  if (!options.quiet) {
    out << "frames:        " << frames.decoded << " of " << layout.frameCount
        << " decoded, " << frames.keyFrames << " key frames\n";
    printSizes(out);
    if (options.verbose || composer) printFrameLines(out);
  }
  if (composer && psnr.count() > 0) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "source PSNR:   mean %.2f dB over %d frames, lowest %s (frame %d)",
                  psnr.mean(), psnr.count(), decibels(psnr.lowest()).c_str(),
                  psnr.lowestFrame());
    out << line;
    if (psnr.identicalCount() > 0) {
      out << "; " << psnr.identicalCount() << " identical (counted as "
          << int(kIdenticalPsnr) << " dB)";
    }
    out << "\n";
  }
  if (!options.contactPath.empty() &&
      !writePicture(options.contactPath, contactSheet(sheet, kContactColumns))) {
    writeFailed = true;
  }
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
    if (i < framePsnr.size() && framePsnr[i]) out << "  PSNR " << decibels(*framePsnr[i]);
    out << "\n";
  }
}

}  // namespace vantrel::inspect
