#pragma once

#include <set>
#include <string>
#include <vector>

namespace vantrel::inspect {

// The settings that shaped a movie and that its header does not record, given
// with the converter's own flags and defaulting to the converter's defaults.
// They matter only when the movie is compared with its source (-source).
struct ShapingSettings {
  double cropFraction = 1.0;    // 1 - cropping / 100: -cropping=0, letterbox
  bool rotate = false;          // -rotate
  bool flipVertical = false;    // -vflip
  bool flipHorizontal = false;  // -hflip
  bool grayscale = false;       // -grayscale (only the truecolor layouts need it)
  int frameRate = 15;           // -framerate=N; 0 derives the rate from the source
  double startSeconds = 0.0;    // -start=TIME: where in the source the movie begins
};

// The command line of vantrel-inspect.
struct ToolOptions {
  std::string moviePath;
  std::string framePrefix = "frame";  // -out=PREFIX: pictures PREFIX-00012.ppm
  bool png = false;                   // -format=png
  bool allFrames = false;             // -frames=all
  std::set<int> frames;               // -frames=0,5,10-12
  std::string contactPath;            // -contact=FILE (.png or .ppm)
  std::string wavPath;                // -wav=FILE
  bool quiet = false;                 // -quiet: problems and the verdict only
  bool verbose = false;               // -verbose: one line per frame
  std::string sourcePath;             // -source=FILE: compare with the source video
  std::string previewPath;            // -preview=FILE: the movie as a playable file
  int zoom = 2;                       // -zoom=N: preview pixels per handheld pixel
  ShapingSettings shaping;
  bool help = false;  // -help, --help: print the usage and stop
};

// Parses arguments (without the program name). Returns false with a reason in
// error for an unknown flag, a malformed frame list, number or time, or a
// missing or second movie path. -help (or --help) sets help and needs no movie;
// "--" ends the options: every argument after it is a path.
bool parseToolOptions(const std::vector<std::string>& args, ToolOptions& options,
                      std::string& error);

// The usage text printed on bad arguments.
std::string inspectUsage(const std::string& programName);

}  // namespace vantrel::inspect
