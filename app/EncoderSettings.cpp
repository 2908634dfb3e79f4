#include "EncoderSettings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "CommandLineFlags.h"
#include "FileSizeTarget.h"
#include "sources/MovieRange.h"
#include "NumberText.h"
#include "engine/MovieEncoder.h"

namespace vantrel {

namespace {

// The longest valid decimal prefix of text (leading white space skipped);
// true when it is the whole text. An empty text gives 0 and true.
bool convertReal(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return *end == '\0';
}

// As convertReal for a signed 32-bit base-10 integer. A number outside the
// 32-bit range is clamped and reported as not valid rather than wrapped.
bool convertInteger(const char* text, std::int32_t& value) {
  char* end = nullptr;
  errno = 0;
  const long long wide = std::strtoll(text, &end, 10);
  const bool inRange = errno != ERANGE && wide >= INT32_MIN && wide <= INT32_MAX;
  if (wide < INT32_MIN) {
    value = INT32_MIN;
  } else if (wide > INT32_MAX) {
    value = INT32_MAX;
  } else {
    value = static_cast<std::int32_t>(wide);
  }
  return inRange && *end == '\0';
}

// The printf-style text of format and args.
std::string formatText(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

}  // namespace

const FlagDescriptor* EncoderSettings::descriptorFor(SettingId id) {
  const auto number = static_cast<std::int32_t>(id);
  if (number < 1 || number > kSettingCount) return nullptr;
  return &kFlagTable[static_cast<std::size_t>(number - 1)];
}

bool EncoderSettings::takesValue(SettingId id, double value) {
  switch (id) {
    case SettingId::Resolution:
      return value >= 0.0 && value <= 3.0;
    case SettingId::Colordepth:
      return value == 8.0 || value == 12.0 || value == 16.0 || value == 24.0 ||
             value == 25.0;
    case SettingId::Cropping:
      return value >= 0.0 && value <= 100.0;
    case SettingId::Audioboost:
      return value >= 100.0 && value <= 300.0;
    case SettingId::Framerate:
      return value >= 0.0 && value <= 60.0;
    case SettingId::Framesize:
    case SettingId::Keyframes:
    case SettingId::Audiotrack:
      return value >= 0.0;
    default:
      return true;
  }
}

const char* EncoderSettings::acceptedValues(SettingId id) {
  switch (id) {
    case SettingId::Resolution:
      return "0 to 3";
    case SettingId::Colordepth:
      return "8, 12, 16, 24 or 25";
    case SettingId::Cropping:
      return "0 to 100";
    case SettingId::Audioboost:
      return "100 to 300";
    case SettingId::Framerate:
      return "0 to 60";
    case SettingId::Framesize:
    case SettingId::Keyframes:
    case SettingId::Audiotrack:
      return "0 or more";
    case SettingId::Start:
    case SettingId::Duration:
      return "seconds, or [hh:]mm:ss[.fff]";
    case SettingId::Filesize:
      return "bytes, or a number followed by K, M or G";
    default:
      return nullptr;
  }
}

bool EncoderSettings::takesText(SettingId id, const char* text) {
  if (text == nullptr || text[0] == '\0') return true;
  double seconds = 0.0;
  std::int64_t bytes = 0;
  switch (id) {
    case SettingId::Start:
      return parseTime(text, seconds);
    case SettingId::Duration:
      return parseTime(text, seconds) && seconds > 0.0;
    case SettingId::Filesize:
      return parseSize(text, bytes);
    default:
      return true;
  }
}

bool EncoderSettings::setFromText(const FlagDescriptor& descriptor, const char* text) {
  switch (descriptor.kind) {
    case FlagKind::Text:
      if (text != nullptr) this->*descriptor.text = text;
      return true;
    case FlagKind::Boolean:
      this->*descriptor.boolean = text != nullptr && text[0] != '\0';
      return true;
    case FlagKind::Real:
      if (text == nullptr) return false;
      return convertReal(text, this->*descriptor.real);
    case FlagKind::Integer:
      if (text == nullptr) return false;
      return convertInteger(text, this->*descriptor.integer);
  }
  return false;
}

bool EncoderSettings::setBoolean(const FlagDescriptor& descriptor, bool on) {
  if (descriptor.kind != FlagKind::Boolean) return false;
  this->*descriptor.boolean = on;
  // The fast and the best encode exclude each other: the later choice wins.
  if (on && descriptor.id == SettingId::Fastencode) bestencode = false;
  if (on && descriptor.id == SettingId::Bestencode) fastencode = false;
  return true;
}

bool EncoderSettings::getBoolean(const FlagDescriptor& descriptor) const {
  if (descriptor.kind != FlagKind::Boolean) return false;
  return this->*descriptor.boolean;
}

std::string EncoderSettings::toText(const FlagDescriptor& descriptor,
                                    const char* format) const {
  switch (descriptor.kind) {
    case FlagKind::Text:
      return this->*descriptor.text;
    case FlagKind::Boolean:
      return this->*descriptor.boolean ? "true" : "false";
    case FlagKind::Real:
      return formatNumber(format != nullptr ? format : "%g", this->*descriptor.real);
    case FlagKind::Integer:
      return formatNumber(format != nullptr ? format : "%i", this->*descriptor.integer);
  }
  return {};
}

void EncoderSettings::deriveDatabaseName() {
  if (outfile.empty() || !palmname.empty()) return;
  const std::size_t slash = outfile.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = outfile.rfind('.');
  const std::size_t end = dot == std::string::npos ? outfile.size() : dot;
  // A dot inside a directory name is no extension: then no name is derived.
  if (nameStart <= end) palmname = outfile.substr(nameStart, end - nameStart);
}

void EncoderSettings::applyToEngine(MovieEncoder& engine) const {
  engine.authorText = author;
  engine.titleText = title;
  applyFrameSize(engine, framesize);
  switch (colordepth) {
    case 8:  // the code the usage text gives for the standard palette
      engine.colorDepth = 12;
      break;
    case 12:
    case 16:
    case 24:
      engine.colorDepth = colordepth;
      break;
    default:
      engine.colorDepth = 25;
      break;
  }
  switch (resolution) {
    case 0:
      engine.screenWidth = 160;
      engine.screenHeight = 160;
      break;
    case 2:
      engine.screenWidth = 320;
      engine.screenHeight = 320;
      break;
    case 3:
      engine.screenWidth = 216;
      engine.screenHeight = 384;
      break;
    default:
      engine.screenWidth = 320;
      engine.screenHeight = 240;
      break;
  }
  engine.cropFraction = 1.0 - cropping;
  engine.allKeyFrames = uncompressed;
  engine.flipVertical = vflip;
  engine.flipHorizontal = hflip;
  engine.rotate = rotate;
  engine.holdLastFrame = hold;
  engine.loopPlayback = loop;
  engine.frameRate = framerate;
  engine.keyFrameSeconds = keyframes;
  engine.fastEncode = fastencode;
  engine.bestEncode = bestencode && !fastencode;
  engine.audioStream = audiotrack;
  engine.grayscale = grayscale;
  engine.audioPrefilter = audiofilter;
  engine.hifiAudio = hifi;
  engine.adpcmAudio = adpcm;
  // The audio writer stores high-fidelity sound as 8-bit PCM and never codes
  // it as ADPCM; say so rather than drop the choice silently.
  if (hifi && adpcm && !audfile.empty()) {
    printError(
        "Warning: high-fidelity sound is stored as 8-bit PCM; the ADPCM compression "
        "choice is not used.\n");
  }
  engine.audioBoostOn = audioboost != 100;
  if (engine.audioBoostOn) engine.audioBoostPercent = audioboost;
}

void EncoderSettings::applyFrameSize(MovieEncoder& engine, std::int32_t averageBytes) {
  engine.targetFrameSize = averageBytes;
  // Computed wide so an extreme frame size cannot overflow; the codec bound
  // saturates instead.
  const std::int64_t doubled = std::int64_t{averageBytes} * 2;
  engine.maxFrameSize = static_cast<std::int32_t>(
      doubled > INT32_MAX ? INT32_MAX : (doubled < INT32_MIN ? INT32_MIN : doubled));
  engine.minFrameSize = averageBytes / 2;
}

bool EncoderSettings::parseCommandLine(int argc, const char* const* argv) {
  return vantrel::parseCommandLine(*this, argc, argv);
}

void EncoderSettings::setProgramName(const char* path) {
  programName = programNameFromPath(path != nullptr ? path : "");
}

void EncoderSettings::printUsage() const { printPlain("%s", usageText().c_str()); }

std::string EncoderSettings::prefix() const {
  return programName.empty() ? std::string() : programName + ": ";
}

void EncoderSettings::printMessage(std::FILE* stream, std::string text,
                                   bool naming) const {
  if (naming && concerning) {
    if (const std::string lines = concerning(); !lines.empty()) {
      if (!text.empty() && text.back() != '\n') text += '\n';
      text += lines;
    }
  }
  // One write: messages of conversions sharing an error stream never interleave.
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
}

void EncoderSettings::printError(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  printMessage(errStream, prefix() + formatText(format, args), true);
  va_end(args);
}

void EncoderSettings::printInfo(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  printMessage(outStream, prefix() + formatText(format, args), false);
  va_end(args);
}

void EncoderSettings::printErrorPlain(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  printMessage(errStream, formatText(format, args), true);
  va_end(args);
}

void EncoderSettings::printPlain(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  printMessage(outStream, formatText(format, args), false);
  va_end(args);
}

void EncoderSettings::printSystemError(const char* format, ...) const {
  // errno first: the printing below may change it.
  const int errorNumber = errno;
  va_list args;
  va_start(args, format);
  std::string text = prefix() + formatText(format, args);
  va_end(args);
  // strerrordesc_np answers null for a number outside the system's table,
  // where strerror would invent an "Unknown error" text.
  if (const char* reason = strerrordesc_np(errorNumber); reason != nullptr) {
    text += std::string(": ") + reason + "\n";
  } else {
    text += ": unknown error code " + std::to_string(errorNumber) + "\n";
  }
  printMessage(errStream, std::move(text), true);
}

bool reportFailedCheck(const char* file, int line, const char* text, std::FILE* stream) {
  std::fprintf(stream, "%s line %d: %s\n", file, line, text);
  std::fflush(stream);
  return false;
}

}  // namespace vantrel
