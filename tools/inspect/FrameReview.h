#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "FramePass.h"
#include "MovieCheck.h"
#include "MoviePreview.h"
#include "PictureQuality.h"
#include "SourceComposer.h"
#include "ToolOptions.h"
#include "database/DatabaseReader.h"

namespace vantrel::inspect {

// How one frame compares with its source: the total figure against the placed
// source picture in full colour, the codec figure against the colour-reduced
// frame the codec was given.
struct FrameQuality {
  double total = 0.0;
  double codec = 0.0;
};

// The frame part of an inspection: decodes every frame record of a checked
// movie and does with the frames what the options ask (pictures, a contact
// sheet, the preview, the comparison with the source video), then prints what
// it found.
class FrameReview {
 public:
  // preview, when given, receives every decoded frame (started here, finished
  // by the caller).
  FrameReview(const ToolOptions& options, const DatabaseReader& reader,
              const MovieLayout& layout, const MovieHeaderView& header,
              MoviePreview* preview);

  // Decodes and reports: the frame count line and frame sizes (unless quiet),
  // one line per frame with -verbose (unless quiet), and with -source the
  // total and codec PSNR over the movie (always). Faults of the movie are
  // appended to problems; trouble with the files written or the source goes
  // to err.
  void run(std::vector<std::string>& problems, std::ostream& out, std::ostream& err);

  // True when a picture or the contact sheet could not be written.
  bool outputFailed() const { return writeFailed; }
  // True when the source was asked for and could not be opened or read.
  bool comparisonFailed() const { return sourceFailed; }
  const FrameReport& report() const { return frames; }

 private:
  bool openSource(std::ostream& out, std::ostream& err);
  // Sets the composer's gray mode from the first frame compared, decoded.
  void takeGrayMode(int index, const SampleLayout& samples,
                    const std::array<std::uint32_t, 256>& palette,
                    const RgbPicture& decoded);
  void showFrame(int index, const RgbPicture& picture, const RgbPicture* source,
                 std::ostream& out);
  void printFrameLines(std::ostream& out) const;
  void printSizes(std::ostream& out) const;
  void printQuality(std::ostream& out) const;

  const ToolOptions& options;
  const DatabaseReader& reader;
  const MovieLayout& layout;
  const MovieHeaderView& header;
  MoviePreview* preview;
  std::unique_ptr<SourceComposer> composer;
  int comparable = 0;  // frames the source gives
  bool grayTaken = false;
  FrameReport frames;
  std::vector<std::optional<FrameQuality>> frameQuality;  // per frame, when compared
  PsnrSummary totalPsnr;
  PsnrSummary codecPsnr;
  bool writeFailed = false;
  bool sourceFailed = false;
};

}  // namespace vantrel::inspect
