#include "CommandLine.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FfmpegLog.h"
#include "FrameReview.h"
#include "MovieCheck.h"
#include "MoviePreview.h"
#include "SoundTrack.h"
#include "database/DatabaseReader.h"
#include "database/HandheldName.h"

namespace vantrel::inspect {

namespace {

// True when a and b name the same existing file.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

int runInspect(const ToolOptions& options, std::ostream& out, std::ostream& err) {
  takeFfmpegLog();
  std::optional<ShownFfmpegLog> ffmpegLog;
  if (options.verbose) ffmpegLog.emplace(err);
  // The preview is created first; it must not overwrite what is to be read.
  for (const std::string& input : {options.moviePath, options.sourcePath}) {
    if (!options.previewPath.empty() && !input.empty() && sameFile(options.previewPath, input)) {
      err << options.previewPath << ": the preview would overwrite " << input << "\n";
      return 1;
    }
  }
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
  std::optional<SoundTrack> sound;
  if (headerRead && layout.audioRecordCount > 0) {
    sound = decodeSound(reader, layout.firstAudioRecord, header.audioFormat);
  }
  const bool hasFrames = headerRead && !layout.soundOnly && layout.frameCount > 0 &&
                         layout.frameCount < reader.recordCount;
  std::unique_ptr<MoviePreview> preview;
  if (!options.previewPath.empty() && headerRead) {
    preview = std::make_unique<MoviePreview>(options.previewPath, options.zoom, header,
                                             hasFrames ? layout.frameCount : 0,
                                             sound ? &*sound : nullptr);
  }
  bool writeFailed = false;
  bool comparisonFailed = false;
  if (hasFrames) {
    FrameReview frames(options, reader, layout, header, preview.get());
    frames.run(problems, out, err);
    writeFailed = frames.outputFailed();
    comparisonFailed = frames.comparisonFailed();
  } else if (!options.sourcePath.empty()) {
    err << "the movie has no frames to compare with " << options.sourcePath << "\n";
    comparisonFailed = true;
  }
  if (sound) {
    problems.insert(problems.end(), sound->problems.begin(), sound->problems.end());
    if (!options.quiet) {
      out << "sound:         " << sound->recordCount << " audio records, "
          << (sound->bitsPerSample == 16 ? sound->pcm16.size() : sound->pcm8.size())
          << " samples at " << sound->sampleRate << "/s\n";
    }
    if (!options.wavPath.empty()) {
      // The preview has taken its copy: the WAV file gets the sound the movie
      // plays, without the padding of its last record.
      cutSound(*sound, movieSoundLength(header, hasFrames ? layout.frameCount : 0,
                                        sound->sampleRate));
      if (!writeWav(options.wavPath, *sound)) writeFailed = true;
    }
  } else if (!options.wavPath.empty() && !options.quiet) {
    out << "sound:         none (no WAV file written)\n";
  }
  if (preview) {
    const bool written =
        (hasFrames || preview->startSoundOnly(handheldNameText(reader.name))) &&
        preview->started() && preview->finish(out);
    if (!written) {
      err << (preview->error().empty()
                  ? options.previewPath + ": no frame was decoded, no preview written"
                  : preview->error())
          << "\n";
      writeFailed = true;
    }
  } else if (!options.previewPath.empty()) {
    err << options.previewPath << ": the movie header cannot be read, no preview written\n";
    writeFailed = true;
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
  if (options.help) {
    out << inspectUsage(program);
    return 0;
  }
  return runInspect(options, out, err);
}

}  // namespace vantrel::inspect
