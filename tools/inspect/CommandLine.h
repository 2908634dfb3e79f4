#pragma once

#include <ostream>

#include "ToolOptions.h"

namespace vantrel::inspect {

// Reads, checks and decodes the movie, writes the requested pictures and sound,
// compares the frames with their source when asked, and prints a report to out
// and failures to err. Returns 0 when the movie checks out (structure, header
// record, every frame and audio record) and every requested file was written
// and the requested comparison was made; else 1.
int runInspect(const ToolOptions& options, std::ostream& out, std::ostream& err);

// Whole program: parse, print the usage on bad arguments (to err, status 1) or
// when asked for (to out, status 0), else run.
int inspectMain(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace vantrel::inspect
