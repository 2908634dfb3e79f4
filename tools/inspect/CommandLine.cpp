#include "CommandLine.h"

#include <string>
#include <vector>

#include "FrameReview.h"
#include "MovieCheck.h"
#include "SoundTrack.h"
#include "database/DatabaseReader.h"

namespace vantrel::inspect {

int runInspect(const ToolOptions& options, std::ostream& out, std::ostream& err) {
  DatabaseReader reader;
  if (!reader.load(options.moviePath)) {
    err << options.moviePath << ": " << reader.error() << "\n";
    return 1;
  }
  std::vector<std::string> problems;
  MovieLayout layout;
  MovieHeaderView header;
  const bool headerRead =
      checkMovie(reader, layout, problems) && reader.movieHeader(header);
  if (headerRead && !options.quiet) {
    for (const std::string& line : describeMovie(reader, header)) out << line << "\n";
  }
  bool writeFailed = false;
  bool comparisonFailed = false;
  if (headerRead && !layout.soundOnly && layout.frameCount > 0 &&
      layout.frameCount < reader.recordCount) {
    FrameReview frames(options, reader, layout, header);
    frames.run(problems, out, err);
    writeFailed = frames.outputFailed();
    comparisonFailed = frames.comparisonFailed();
  } else if (!options.sourcePath.empty()) {
    err << "the movie has no frames to compare with " << options.sourcePath << "\n";
    comparisonFailed = true;
  }
  if (headerRead && layout.audioRecordCount > 0) {
    const SoundTrack sound =
        decodeSound(reader, layout.firstAudioRecord, header.audioFormat);
    problems.insert(problems.end(), sound.problems.begin(), sound.problems.end());
    if (!options.quiet) {
      out << "sound:         " << sound.recordCount << " audio records, "
          << (sound.bitsPerSample == 16 ? sound.pcm16.size() : sound.pcm8.size())
          << " samples at " << sound.sampleRate << "/s\n";
    }
    if (!options.wavPath.empty() && !writeWav(options.wavPath, sound)) writeFailed = true;
  } else if (!options.wavPath.empty() && !options.quiet) {
    out << "sound:         none (no WAV file written)\n";
  }
  for (const std::string& problem : problems) out << "problem: " << problem << "\n";
  if (writeFailed) err << "some output files could not be written\n";
  if (problems.empty()) {
    out << "movie OK\n";
  } else {
    out << "movie has " << problems.size() << " problem(s)\n";
  }
  return problems.empty() && !writeFailed && !comparisonFailed ? 0 : 1;
}

int inspectMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  ToolOptions options;
  std::string error;
  const std::string program = argc > 0 ? argv[0] : "vantrel-inspect";
  if (!parseToolOptions(args, options, error)) {
    err << program << ": " << error << "\n" << inspectUsage(program);
    return 1;
  }
  return runInspect(options, out, err);
}

}  // namespace vantrel::inspect
