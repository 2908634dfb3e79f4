#include "SettingsSummary.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "FileSizeTarget.h"
#include "FullPath.h"
#include "sources/MovieRange.h"
#include "NumberText.h"

namespace vantrel {

namespace {

// Fills a printf format that takes one "%s" with text of any length.
std::string formatWithText(const char* format, const std::string& text) {
  const int length = std::snprintf(nullptr, 0, format, text.c_str());
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  std::snprintf(buffer.data(), buffer.size(), format, text.c_str());
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

const char* resolutionText(std::int32_t resolution) {
  switch (resolution) {
    case 0: return "160x160";
    case 1: return "320x240";
    case 2: return "320x320";
    default: return "216x384";
  }
}

const char* colorDepthText(std::int32_t colordepth) {
  switch (colordepth) {
    case 8:
    case 12: return "Standard 8-bit";
    case 16: return "Enhanced 8-bit";
    case 24: return "16/24-bit Truecolor";
    default: return "16/24-bit Truecolor Plus";
  }
}

const char* pick(bool on, const char* onText, const char* offText) {
  return on ? onText : offText;
}

// "whole source", or where the part starts and how long it lasts.
std::string partText(const EncoderSettings& s) {
  double start = 0.0;
  double duration = 0.0;
  const bool hasStart = parseTime(s.start.c_str(), start) && start > 0.0;
  const bool hasDuration = parseTime(s.duration.c_str(), duration) && duration > 0.0;
  if (!hasStart && !hasDuration) return "whole source";
  return "from " + timeText(start) +
         (hasDuration ? " for " + timeText(duration) : std::string(" to the end"));
}

}  // namespace

void printPath(std::string& out, std::string_view path, const char* fallback,
               const char* format) {
  if (path.empty()) {
    if (fallback != nullptr) {
      out += fallback;
    } else if (format != nullptr) {
      out += formatWithText(format, std::string());
    }
    return;
  }
  const std::optional<std::string> full = makeFullPath(path);
  if (!full) {
    if (fallback != nullptr) out += fallback;
    return;
  }
  out += format != nullptr ? formatWithText(format, *full) : *full;
}

std::string settingsSummaryText(const EncoderSettings& settings) {
  const EncoderSettings& s = settings;
  std::string out;

  out += "\nWorking Files:";
  out += "\n\tVideo source:   ";
  printPath(out, s.vidfile, "(no video)", "\"%s\"");
  out += "\n\tAudio source:   ";
  printPath(out, s.audfile, "(no audio)", "\"%s\"");
  out += "\n\tFile to create: ";
  printPath(out, s.outfile, nullptr, "\"%s\"");
  out += "\n\tPalm file name: \"" + s.palmname + "\"\n";
  out += "\tMovie title:    \"" + s.title + "\"\n";

  out += "Video Options:";
  out += "\n\tResolution:            ";
  out += resolutionText(s.resolution);
  out += "\n\tCropping Percentage:   " + formatNumber("%g%%", s.cropping * 100.0);
  out += "\n\tColor/grayscale:       ";
  out += pick(s.grayscale, "Grayscale", "Color");
  out += "\n\tColor pixel depth:     ";
  out += colorDepthText(s.colordepth);
  out += "\n\tCompression:           ";
  out += pick(s.uncompressed, "Off", "On");
  out += "\n\tTarget avg frame size: " + formatNumber("%i", s.framesize) + " bytes\n";
  out += "\n\tTarget frame rate:     " + formatNumber("%i", s.framerate) + " fps";
  out += "\n\tMin keyframe interval: " + formatNumber("%i", s.keyframes) + " secs\n";
  out += "\n\tEncoding speed:        ";
  out += s.bestencode ? "Best (slower, better pictures)"
                      : pick(s.fastencode, "Fast (best speed)", "Standard (best quality)");
  out += "\n\tVertical image flip:   ";
  out += pick(s.vflip, "Y Flipped", "Normal");
  out += "\n\tHorizontal image flip: ";
  out += pick(s.hflip, "X Flipped", "Normal");
  out += "\n\tRotation:              ";
  out += pick(s.rotate, "on (Landscape)", "off (Portrait)");
  out += "\n\tPlayback mode:         ";
  out += pick(s.loop, "Looping", "Play once");
  out += ", ";
  out += pick(s.hold, "hold", "don't hold");
  out += " on last frame\n";
  out += "\tPart of the source:    " + partText(s) + "\n";
  out += "\tMovie size limit:      ";
  std::int64_t limit = 0;
  out += s.filesize.empty() || !parseSize(s.filesize.c_str(), limit)
             ? std::string("none")
             : std::to_string(limit) + " bytes (sets the average frame size)";
  out += "\n";

  out += "Audio Options:";
  out += "\n\tAudio Fidelity:        ";
  out += pick(s.hifi, "Hifi", "Standard");
  out += "\n\tAudio Compression:     ";
  out += pick(s.adpcm, "ADPCM", "None");
  out += "\n\tVolume Adjustment:     ";
  out += s.audioboost == 100 ? std::string("None")
                             : formatNumber("%i%% of original", s.audioboost);
  out += "\n\tAudio Prefilter:       ";
  out += pick(s.audiofilter, "On", "None");
  out += "\n\tAudio stream:          ";
  out += s.audiotrack > 0 ? formatNumber("%i of the file", s.audiotrack)
                          : std::string("Marked default");
  out += "\n";
  return out;
}

}  // namespace vantrel
