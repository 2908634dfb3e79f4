#pragma once

#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace vantrel::inspect {

// The command line of vantrel-inspect.
struct InspectOptions {
  std::string moviePath;
  std::string framePrefix = "frame";  // -out=PREFIX: pictures PREFIX-00012.ppm
  bool png = false;                   // -format=png
  bool allFrames = false;             // -frames=all
  std::set<int> frames;               // -frames=0,5,10-12
  std::string contactPath;            // -contact=FILE (.png or .ppm)
  std::string wavPath;                // -wav=FILE
  bool quiet = false;                 // -quiet: problems and the verdict only
};

// Parses arguments (without the program name). Returns false with a reason in
// error for an unknown flag, a malformed frame list or a missing or second
// movie path.
bool parseInspectOptions(const std::vector<std::string>& args, InspectOptions& options,
                         std::string& error);

// The usage text printed on bad arguments.
std::string inspectUsage(const std::string& programName);

// Reads, checks and decodes the movie, writes the requested pictures and sound,
// and prints a report to out and failures to err. Returns 0 when the movie
// checks out (structure, header record, every frame and audio record), else 1.
int runInspect(const InspectOptions& options, std::ostream& out, std::ostream& err);

// Whole program: parse, print the usage on bad arguments (status 1), then run.
int inspectMain(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace vantrel::inspect
