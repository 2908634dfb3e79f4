#pragma once

#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "FramePass.h"
#include "MovieCheck.h"
#include "PictureQuality.h"
#include "ToolOptions.h"
#include "database/DatabaseReader.h"

namespace vantrel::inspect {

// The frame part of an inspection: decodes every frame record of a checked
// movie and does with the frames what the options ask (pictures, a contact
// sheet, the comparison with the source video), then prints what it found.
class FrameReview {
 public:
  FrameReview(const ToolOptions& options, const DatabaseReader& reader,
              const MovieLayout& layout, const MovieHeaderView& header);

  // Decodes and reports: the frame count line and frame sizes (unless quiet),
  // one line per frame with -verbose or -source (unless quiet), and with
  // -source the PSNR mean (always). Faults of the movie are appended to
  // problems; trouble with the files written or the source goes to err.
  void run(std::vector<std::string>& problems, std::ostream& out, std::ostream& err);

  // True when a picture or the contact sheet could not be written.
  bool outputFailed() const { return writeFailed; }
  // True when the source was asked for and could not be opened or read.
  bool comparisonFailed() const { return sourceFailed; }
  const FrameReport& report() const { return frames; }
  const PsnrSummary& psnrSummary() const { return psnr; }

 private:
  void printFrameLines(std::ostream& out) const;
  void printSizes(std::ostream& out) const;

  const ToolOptions& options;
  const DatabaseReader& reader;
  const MovieLayout& layout;
  const MovieHeaderView& header;
  FrameReport frames;
  std::vector<std::optional<double>> framePsnr;  // per frame, when compared
  PsnrSummary psnr;
  bool writeFailed = false;
  bool sourceFailed = false;
};

}  // namespace vantrel::inspect
