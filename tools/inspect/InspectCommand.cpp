#include "InspectCommand.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "FramePass.h"
#include "MovieCheck.h"
#include "PictureConversion.h"
#include "PictureFile.h"
#include "SoundTrack.h"
#include "support/DatabaseReader.h"

namespace vantrel::inspect {

namespace {

constexpr int kContactFrames = 12;
constexpr int kContactColumns = 4;

bool parseFrameList(const std::string& list, InspectOptions& options) {
  if (list == "all") {
    options.allFrames = true;
    return true;
  }
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t comma = std::min(list.find(',', at), list.size());
    const std::string item = list.substr(at, comma - at);
    int first = 0;
    int last = 0;
    char extra = 0;
    // An item is a frame number or a range first-last, with nothing after it.
    const bool range = std::sscanf(item.c_str(), "%d-%d%c", &first, &last, &extra) == 2;
    if (!range) {
      if (std::sscanf(item.c_str(), "%d%c", &first, &extra) != 1) return false;
      last = first;
    }
    if (first < 0 || last < first || last - first > 65535) return false;
    for (int f = first; f <= last; ++f) options.frames.insert(f);
    at = comma + 1;
  }
  return !options.frames.empty();
}

std::string numbered(const std::string& prefix, int frame, bool png) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05d", frame);
  return prefix + "-" + digits + (png ? ".png" : ".ppm");
}

// Frames on the contact sheet: the chosen ones, else up to twelve spread evenly.
std::set<int> contactFrames(const InspectOptions& options, int frameCount) {
  if (!options.frames.empty()) return options.frames;
  std::set<int> chosen;
  const int count = std::min(frameCount, kContactFrames);
  for (int i = 0; i < count; ++i) chosen.insert(int(std::int64_t(i) * frameCount / count));
  return chosen;
}

}  // namespace

bool parseInspectOptions(const std::vector<std::string>& args, InspectOptions& options,
                         std::string& error) {
  for (const std::string& arg : args) {
    const auto value = [&](const char* flag) -> const char* {
      const std::size_t n = std::char_traits<char>::length(flag);
      return arg.compare(0, n, flag) == 0 ? arg.c_str() + n : nullptr;
    };
    if (const char* v = value("-frames=")) {
      if (!parseFrameList(v, options)) {
        error = "bad frame list: " + std::string(v);
        return false;
      }
    } else if (const char* out = value("-out=")) {
      options.framePrefix = out;
    } else if (const char* format = value("-format=")) {
      if (std::string(format) != "png" && std::string(format) != "ppm") {
        error = "unknown picture format: " + std::string(format);
        return false;
      }
      options.png = std::string(format) == "png";
    } else if (const char* contact = value("-contact=")) {
      options.contactPath = contact;
    } else if (const char* wav = value("-wav=")) {
      options.wavPath = wav;
    } else if (arg == "-quiet") {
      options.quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option: " + arg;
      return false;
    } else if (options.moviePath.empty()) {
      options.moviePath = arg;
    } else {
      error = "only one movie can be inspected at a time";
      return false;
    }
  }
  if (options.moviePath.empty()) {
    error = "no movie named";
    return false;
  }
  return true;
}

std::string inspectUsage(const std::string& programName) {
  return "Usage: " + programName + " [options] movie.pdb\n"
         "Checks a movie database, decodes every frame and the sound.\n"
         "  -frames=LIST    write these frames as pictures: all, or e.g. 0,5,10-12\n"
         "  -out=PREFIX     picture names PREFIX-00012.ppm (default: frame)\n"
         "  -format=png     write PNG pictures instead of PPM\n"
         "  -contact=FILE   write a contact sheet of the movie (.png or .ppm)\n"
         "  -wav=FILE       write the movie's sound as a WAV file\n"
         "  -quiet          print only problems and the verdict\n"
         "Exit status 0 when the movie checks out, 1 otherwise.\n";
}

int runInspect(const InspectOptions& options, std::ostream& out, std::ostream& err) {
  DatabaseReader reader;
  if (!reader.load(options.moviePath)) {
    err << options.moviePath << ": " << reader.error() << "\n";
    return 1;
  }
  std::vector<std::string> problems;
  MovieLayout layout;
  MovieHeaderView header;
  const bool headerRead = checkMovie(reader, layout, problems) && reader.movieHeader(header);
  if (headerRead && !options.quiet) {
    for (const std::string& line : describeMovie(reader, header)) out << line << "\n";
  }
  bool writeFailed = false;
  if (headerRead && !layout.soundOnly && layout.frameCount > 0 &&
      layout.frameCount < reader.recordCount) {
    const std::set<int> sheetFrames = contactFrames(options, layout.frameCount);
    std::vector<RgbPicture> sheet;
    const FrameReport frames = decodeFrames(
        reader, layout.frameCount, layout.frameWidth, layout.storedHeight, header.keyInterval,
        [&](int index, const std::uint8_t* samples, const std::array<std::uint32_t, 256>& palette) {
          const bool chosen = options.allFrames || options.frames.count(index) != 0;
          const bool onSheet = !options.contactPath.empty() && sheetFrames.count(index) != 0;
          if (!chosen && !onSheet) return;
          RgbPicture picture = framePicture(samples, layout.frameWidth, layout.storedHeight,
                                            header.colourMode, palette);
          if (chosen && !writePicture(numbered(options.framePrefix, index, options.png), picture)) {
            writeFailed = true;
          }
          if (onSheet) sheet.push_back(std::move(picture));
        });
    problems.insert(problems.end(), frames.problems.begin(), frames.problems.end());
    if (!options.quiet) {
      out << "frames:        " << frames.decoded << " of " << layout.frameCount << " decoded, "
          << frames.keyFrames << " key frames\n";
    }
    if (!options.contactPath.empty() && !writePicture(options.contactPath, contactSheet(sheet, kContactColumns))) {
      writeFailed = true;
    }
  }
  if (headerRead && layout.audioRecordCount > 0) {
    const SoundTrack sound = decodeSound(reader, layout.firstAudioRecord, header.audioFormat);
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
  if (problems.empty() && !writeFailed) {
    out << "movie OK\n";
    return 0;
  }
  out << "movie has " << problems.size() << " problem(s)\n";
  return 1;
}

int inspectMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  InspectOptions options;
  std::string error;
  const std::string program = argc > 0 ? argv[0] : "vantrel-inspect";
  if (!parseInspectOptions(args, options, error)) {
    err << program << ": " << error << "\n" << inspectUsage(program);
    return 1;
  }
  return runInspect(options, out, err);
}

}  // namespace vantrel::inspect
