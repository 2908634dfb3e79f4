#pragma once

// The command-line flags: the flag table (one row per setting, in SettingId
// order, which is also the order of the usage listing), the lookup of a flag
// name, the parse of argv into the settings and the usage text.
//
// Flags are written -name=value for Text, Integer and Real settings and
// -name or -noname for Boolean settings; names match exactly, case included.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "EncoderSettings.h"

namespace vantrel {

namespace flagrow {
constexpr FlagDescriptor make(const char* name, const char* description, SettingId id,
                              std::string EncoderSettings::*field) {
  FlagDescriptor row{name, description, FlagKind::Text, id};
  row.text = field;
  return row;
}
constexpr FlagDescriptor make(const char* name, const char* description, SettingId id,
                              bool EncoderSettings::*field) {
  FlagDescriptor row{name, description, FlagKind::Boolean, id};
  row.boolean = field;
  return row;
}
constexpr FlagDescriptor make(const char* name, const char* description, SettingId id,
                              double EncoderSettings::*field) {
  FlagDescriptor row{name, description, FlagKind::Real, id};
  row.real = field;
  return row;
}
constexpr FlagDescriptor make(const char* name, const char* description, SettingId id,
                              std::int32_t EncoderSettings::*field) {
  FlagDescriptor row{name, description, FlagKind::Integer, id};
  row.integer = field;
  return row;
}
}  // namespace flagrow

// The flag table. The keyframes description lacks its closing parenthesis and
// is printed that way.
inline constexpr std::array<FlagDescriptor, kSettingCount> kFlagTable = {
    flagrow::make("vidfile", "Video source file (.avi, .mov, .mpeg)", SettingId::Vidfile,
                  &EncoderSettings::vidfile),
    flagrow::make("audfile", "Audio source file (.avi, .mov, .wav)", SettingId::Audfile,
                  &EncoderSettings::audfile),
    flagrow::make("outfile", "Palm file to create (.pdb)", SettingId::Outfile,
                  &EncoderSettings::outfile),
    flagrow::make("palmname", "Movie name as seen on handheld (1-31 chars)",
                  SettingId::Palmname, &EncoderSettings::palmname),
    flagrow::make("framerate", "Output frame rate (fps)", SettingId::Framerate,
                  &EncoderSettings::framerate),
    flagrow::make("framesize", "Average frame size (bytes)", SettingId::Framesize,
                  &EncoderSettings::framesize),
    flagrow::make("cropping", "Cropping scaling percentage (0-100)%", SettingId::Cropping,
                  &EncoderSettings::cropping),
    flagrow::make("resolution", "Vid Size (0=160x160 1=320x240 2=320x320 3=216x384)",
                  SettingId::Resolution, &EncoderSettings::resolution),
    flagrow::make("colordepth",
                  "Color Mode (8=std, 16=extended, 24=truecolor 25=truecolor plus)",
                  SettingId::Colordepth, &EncoderSettings::colordepth),
    flagrow::make("grayscale", "Grayscale mode (on/off)", SettingId::Grayscale,
                  &EncoderSettings::grayscale),
    flagrow::make("keyframes", "Min Key frame interval (seconds, or 0 for no keys",
                  SettingId::Keyframes, &EncoderSettings::keyframes),
    flagrow::make("hifi", "High fidelity audio (on/off)", SettingId::Hifi,
                  &EncoderSettings::hifi),
    flagrow::make("adpcm", "ADPCM audio compression (on/off)", SettingId::Adpcm,
                  &EncoderSettings::adpcm),
    flagrow::make("audioboost", "Audio boost rate percentage (100-300)",
                  SettingId::Audioboost, &EncoderSettings::audioboost),
    flagrow::make("audiofilter", "Audio prefilter (on/off)", SettingId::Audiofilter,
                  &EncoderSettings::audiofilter),
    flagrow::make("hold", "Hold video after playing (on/off)", SettingId::Hold,
                  &EncoderSettings::hold),
    flagrow::make("loop", "Loop video after playing (on/off)", SettingId::Loop,
                  &EncoderSettings::loop),
    flagrow::make("uncompressed", "Force all frames be keyframes (on/off)",
                  SettingId::Uncompressed, &EncoderSettings::uncompressed),
    flagrow::make("vflip", "Flip source image vertically", SettingId::Vflip,
                  &EncoderSettings::vflip),
    flagrow::make("hflip", "Flip source image horizontally", SettingId::Hflip,
                  &EncoderSettings::hflip),
    flagrow::make("rotate", "Rotate source image", SettingId::Rotate,
                  &EncoderSettings::rotate),
    flagrow::make("author", "Add author information", SettingId::Author,
                  &EncoderSettings::author),
    flagrow::make("title", "Add full title information", SettingId::Title,
                  &EncoderSettings::title),
    flagrow::make("fastencode", "Encode faster, with lower quality (on/off)",
                  SettingId::Fastencode, &EncoderSettings::fastencode),
    flagrow::make("start", "Start this far into the source (seconds or [hh:]mm:ss[.fff])",
                  SettingId::Start, &EncoderSettings::start),
    flagrow::make("duration", "Convert this much of the source (seconds or [hh:]mm:ss[.fff])",
                  SettingId::Duration, &EncoderSettings::duration),
    flagrow::make("filesize", "Largest movie file (bytes, or with K, M or G); sets the frame size",
                  SettingId::Filesize, &EncoderSettings::filesize),
    flagrow::make("audiotrack", "Audio stream of the audio file (1 = first, 0 = default)",
                  SettingId::Audiotrack, &EncoderSettings::audiotrack),
    flagrow::make("bestencode", "Slower encode, better pictures at the same size (on/off)",
                  SettingId::Bestencode, &EncoderSettings::bestencode),
};
static_assert(kFlagTable.size() == kSettingCount);

// Every row sits at the index of its id, so descriptorFor is a plain index.
constexpr bool flagTableIsInIdOrder() {
  for (std::size_t i = 0; i < kFlagTable.size(); ++i) {
    if (static_cast<std::size_t>(kFlagTable[i].id) != i + 1) return false;
  }
  return true;
}
static_assert(flagTableIsInIdOrder());

// The first row with a non-empty name that text begins with, followed by '='
// or, for a Boolean row, by the end of text; nullptr when none matches. So
// "loop" and "loop=1" find loop, "loopx" nothing, "framerate" (no '=') nothing.
const FlagDescriptor* findFlag(std::string_view text);

// The program name of a program path: from one past the last '/' up to the
// last '.' when that lies after it, otherwise to the end.
std::string programNameFromPath(std::string_view path);

// The usage text: heading, one line per named flag in table order, a note on
// the file named without a flag, blank line.
std::string usageText();

// The value of a switch written -name=value: true for 1, on, yes or true,
// false for 0, off, no or false (any case); nullopt for any other text.
std::optional<bool> switchValue(std::string_view value);

// Where the movie of a file named without a flag is written: the file's path
// with its extension (the last '.' of its base name, unless the name starts
// there) replaced by ".pdb", or ".pdb" added when it has none.
std::string movieBeside(std::string_view file);

// True when an argument of argv[1..argc-1] is "-help" or "--help": the user
// asks for the usage text, not for a conversion.
bool asksForHelp(int argc, const char* const* argv);

// Parses argv[1..argc-1] into settings and sets its program name from argv[0].
// Later flags overwrite earlier ones. An argument that does not start with '-'
// names the file to convert: it becomes vidfile and audfile unless -vidfile or
// -audfile is given, and outfile becomes movieBeside(file) unless -outfile is
// given; a second such argument is an error. A switch given a value takes only
// those of switchValue (-nohold=no turns hold on); any other value is an error
// naming the flag. A value flag without "=value" prints that it needs a value.
// An unknown flag prints
// "Unknown flag \"...\"" and the usage and stops; the negated form of a value
// flag prints "unknown flag ..." and stops; a value that is not a whole
// number prints a message, keeps the prefix value and parsing goes on; so
// does a number the setting does not take (EncoderSettings::takesValue) or a
// time or size that does not read as one (EncoderSettings::takesText), whose
// message names the flag, the value and the values accepted. Returns true
// when every argument was accepted (also for argc below 2).
bool parseCommandLine(EncoderSettings& settings, int argc, const char* const* argv);

}  // namespace vantrel
