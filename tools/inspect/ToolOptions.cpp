#include "ToolOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "sources/MovieRange.h"

namespace vantrel::inspect {

namespace {

// A 216 x 384 screen side by side, eight times: 3456 x 3072 preview pixels.
constexpr int kMaxZoom = 8;

bool parseFrameList(const std::string& list, ToolOptions& options) {
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

// A whole decimal number, as the converter reads -cropping (an empty value is 0).
bool parseReal(const char* text, double& value) {
  if (*text == '\0') {
    value = 0.0;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0;
}

// A whole integer, as the converter reads -framerate (an empty value is 0).
bool parseInteger(const char* text, int& value) {
  if (*text == '\0') {
    value = 0;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || number < INT32_MIN ||
      number > INT32_MAX) {
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

// The converter's switch forms: -name and -name=VALUE (on unless VALUE is
// empty) turn it on, -noname turns it off. Returns false when arg is none of them.
bool parseSwitch(const std::string& arg, const std::string& name, bool& value) {
  if (arg == "-" + name) {
    value = true;
  } else if (arg == "-no" + name) {
    value = false;
  } else if (arg.compare(0, name.size() + 2, "-" + name + "=") == 0) {
    value = arg.size() > name.size() + 2;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool parseToolOptions(const std::vector<std::string>& args, ToolOptions& options,
                      std::string& error) {
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && (arg == "-help" || arg == "--help" || arg == "-h")) {
      options.help = true;
      return true;
    }
    const auto value = [&](const char* flag) -> const char* {
      const std::size_t n = std::char_traits<char>::length(flag);
      return arg.compare(0, n, flag) == 0 ? arg.c_str() + n : nullptr;
    };
    ShapingSettings& shaping = options.shaping;
    if (optionsEnded || arg.empty() || arg[0] != '-') {
      if (!options.moviePath.empty()) {
        error = "only one movie can be inspected at a time";
        return false;
      }
      options.moviePath = arg;
    } else if (const char* v = value("-frames=")) {
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
    } else if (const char* source = value("-source=")) {
      options.sourcePath = source;
    } else if (const char* preview = value("-preview=")) {
      options.previewPath = preview;
    } else if (const char* zoom = value("-zoom=")) {
      if (!parseInteger(zoom, options.zoom) || options.zoom < 1 || options.zoom > kMaxZoom) {
        error = "-zoom needs a whole number from 1 to " + std::to_string(kMaxZoom) + ": " + zoom;
        return false;
      }
    } else if (const char* cropping = value("-cropping=")) {
      double percent = 0.0;
      if (!parseReal(cropping, percent)) {
        error = "-cropping needs a percentage: " + std::string(cropping);
        return false;
      }
      shaping.cropFraction = 1.0 - percent / 100.0;
    } else if (const char* rate = value("-framerate=")) {
      if (!parseInteger(rate, shaping.frameRate)) {
        error = "-framerate needs a whole number: " + std::string(rate);
        return false;
      }
    } else if (const char* start = value("-start=")) {
      // The converter's own reading: seconds or [hh:]mm:ss[.fff].
      if (!parseTime(start, shaping.startSeconds)) {
        error = "-start needs seconds or [hh:]mm:ss[.fff]: " + std::string(start);
        return false;
      }
    } else if (parseSwitch(arg, "rotate", shaping.rotate) ||
               parseSwitch(arg, "vflip", shaping.flipVertical) ||
               parseSwitch(arg, "hflip", shaping.flipHorizontal) ||
               parseSwitch(arg, "grayscale", shaping.grayscale)) {
      // stored by parseSwitch
    } else if (arg == "-quiet") {
      options.quiet = true;
    } else if (arg == "-verbose") {
      options.verbose = true;
    } else {
      error = "unknown option: " + arg;
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
  return "Usage: " + programName +
         " [options] [--] movie.pdb\n"
         "Checks a movie database, decodes every frame and the sound.\n"
         "  -help           print this text and stop (also --help, -h)\n"
         "  --              end of the options: a movie name may then begin with -\n"
         "  -frames=LIST    write these frames as pictures: all, or e.g. 0,5,10-12\n"
         "  -out=PREFIX     picture names PREFIX-00012.ppm (default: frame)\n"
         "  -format=png     write PNG pictures instead of PPM\n"
         "  -contact=FILE   write a contact sheet of the movie (.png or .ppm)\n"
         "  -wav=FILE       write the movie's sound as a WAV file\n"
         "  -verbose        list every frame: its kind and size (and PSNR with -source)\n"
         "  -quiet          print only problems and the verdict\n"
         "  -preview=FILE   write the movie as a playable file with its sound:\n"
         "                  .mp4 (H.264 + AAC), .mkv or .webm (VP9 + Opus), .gif\n"
         "  -zoom=N         enlarge the preview's pixels N times (default 2)\n"
         "  -source=FILE    compare every frame with the video it was made from: PSNR\n"
         "                  in all and of the frame codec; the preview and the contact\n"
         "                  sheet show the source beside each frame. A grayscale movie\n"
         "                  is compared with the gray of its source\n"
         "Settings the movie was made with, for -source (the converter's flags and\n"
         "defaults; the screen size and colour mode come from the movie):\n"
         "  -cropping=PERCENT  -framerate=FPS  -rotate  -vflip  -hflip  -grayscale\n"
         "  -start=TIME     where the movie begins in the source: seconds or\n"
         "                  [hh:]mm:ss[.fff], as the converter's -start\n"
         "Exit status 0 when the movie checks out, 1 otherwise.\n";
}

}  // namespace vantrel::inspect
