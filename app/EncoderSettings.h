#pragma once

// Every choice a user makes about one conversion, the descriptor table that
// reaches each setting by number, and the console message operations of the
// program.
//
// The program has one EncoderSettings object for its whole run. The flag
// parser (CommandLineFlags) and the menus fill it, the settings summary shows
// it, and applyToEngine copies it into the engine's parameters before every
// conversion.

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace vantrel {

class EncoderSettings;
class MovieEncoder;

// How a setting's value is stored and read from text.
enum class FlagKind : std::int32_t {
  Text = 0,     // a string, any length; stored as given
  Boolean = 1,  // on/off; any non-empty text means on
  Real = 2,     // double; a decimal number, whole text
  Integer = 3,  // signed 32-bit; base 10 with optional sign, whole text
};

// The settings numbered in flag-table order. Menu items name a setting by
// this number; valid ids are 1 to kSettingCount.
enum class SettingId : std::int32_t {
  Vidfile = 1,
  Audfile = 2,
  Outfile = 3,
  Palmname = 4,
  Framerate = 5,
  Framesize = 6,
  Cropping = 7,
  Resolution = 8,
  Colordepth = 9,
  Grayscale = 10,
  Keyframes = 11,
  Hifi = 12,
  Adpcm = 13,
  Audioboost = 14,
  Audiofilter = 15,
  Hold = 16,
  Loop = 17,
  Uncompressed = 18,
  Vflip = 19,
  Hflip = 20,
  Rotate = 21,
  Author = 22,
  Title = 23,
  Fastencode = 24,
  Start = 25,
  Duration = 26,
  Filesize = 27,
  Audiotrack = 28,  // flag only: the menus leave it out
  Bestencode = 29,
};

inline constexpr int kSettingCount = 29;

// One row of the flag table: a setting's flag name, usage description, kind
// and the field that holds it. Exactly one of the four member pointers is set,
// the one matching kind. The table itself lives in CommandLineFlags.h.
struct FlagDescriptor {
  const char* name = "";         // flag name
  const char* description = "";  // usage text
  FlagKind kind = FlagKind::Text;
  SettingId id = SettingId::Vidfile;
  std::string EncoderSettings::*text = nullptr;
  bool EncoderSettings::*boolean = nullptr;
  double EncoderSettings::*real = nullptr;
  std::int32_t EncoderSettings::*integer = nullptr;
};

class EncoderSettings {
 public:
  // Every field takes its default.
  EncoderSettings() = default;
  EncoderSettings(const EncoderSettings&) = delete;
  EncoderSettings& operator=(const EncoderSettings&) = delete;

  // The descriptor of a setting, or nullptr for an id outside 1 to kSettingCount.
  static const FlagDescriptor* descriptorFor(SettingId id);
  // True when a numeric setting takes value, written as its flag takes it
  // (cropping as a percentage): resolution 0 to 3; colordepth 8, 12, 16, 24
  // or 25; cropping 0 to 100; audioboost 100 to 300; framerate 0 to 60 (the
  // movie kind samples its sources 60 times a second); framesize,
  // keyframes and audiotrack 0 or more. Every other setting takes any value; NaN is
  // never taken by a setting with limits.
  static bool takesValue(SettingId id, double value);
  // The values takesValue accepts, as text for messages ("0 to 3"), or
  // nullptr for a setting without limits.
  static const char* acceptedValues(SettingId id);

  // Stores text into the setting. Text: stored as is (null stores nothing).
  // Boolean: on when text is present and not empty. Real / Integer: the value
  // of the longest valid prefix (after leading white space) is stored even
  // when characters remain; true only when the whole text was converted (an
  // empty text stores 0 and succeeds); a null text returns false and changes
  // nothing.
  bool setFromText(const FlagDescriptor& descriptor, const char* text);
  // Stores a Boolean setting and returns true; false for any other kind.
  bool setBoolean(const FlagDescriptor& descriptor, bool on);
  // The Boolean setting, or false for a descriptor of another kind.
  bool getBoolean(const FlagDescriptor& descriptor) const;
  // The setting as text: Text as is, Boolean "true"/"false", Real with format
  // (default "%g"), Integer with format (default "%i"). The format applies
  // to Real and Integer settings only.
  std::string toText(const FlagDescriptor& descriptor,
                     const char* format = nullptr) const;

  // Fills palmname from outfile when outfile is set and palmname is empty:
  // the text after the last '/' up to the last '.' (or the end when there is
  // no '.'). When the last '.' lies before the last '/', palmname stays
  // empty. The name is not shortened here.
  void deriveDatabaseName();

  // Copies every setting into the engine's encode parameters: frame size to
  // target / min (half) / max (double), resolution to screen size, colour
  // depth code (8 and 12 both give 12), cropping to cropFraction =
  // 1 - cropping, switches, and the audio boost (off for exactly 100; the
  // percentage is set only when on). With an audio file, hifi and adpcm
  // together print one warning line on errStream: the sound is stored as
  // high-fidelity 8-bit PCM and the ADPCM choice is not used.
  void applyToEngine(MovieEncoder& engine) const;
  // Sets the engine's target, minimum (half) and maximum (double) frame size
  // from an average frame size in bytes, as applyToEngine does for framesize.
  static void applyFrameSize(MovieEncoder& engine, std::int32_t averageBytes);
  // True when text is a value the Text setting id takes: start and duration
  // a time (MovieRange.h), filesize a size (FileSizeTarget.h); every other
  // Text setting takes any text. An empty text is taken (the setting unset).
  static bool takesText(SettingId id, const char* text);

  // Command-line operations (CommandLineFlags.h has the rules). parseCommandLine
  // takes argc/argv including the program path and returns true when every
  // argument was accepted; on false the message has been printed.
  bool parseCommandLine(int argc, const char* const* argv);
  // Sets programName from a program path: the base name after the last '/',
  // without its last extension.
  void setProgramName(const char* path);
  // Writes the usage text to the output stream.
  void printUsage() const;

  // Console message operations, printf-style; each flushes its stream.
  // printError / printInfo prefix the text with programName and ": " when
  // programName is set; printErrorPlain / printPlain add no prefix.
  // Error operations write to errStream, followed by the lines of concerning
  // (on a line of their own), each message in one write; the others write to
  // outStream.
  void printError(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void printInfo(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void printErrorPlain(const char* format, ...) const
      __attribute__((format(printf, 2, 3)));
  void printPlain(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  // Reads errno first, then writes to errStream the prefix, the text, ": "
  // and the system's message for that errno with a line feed, or
  // "unknown error code %d\n" when the system has no message for it.
  void printSystemError(const char* format, ...) const
      __attribute__((format(printf, 2, 3)));

  // Console streams; standard output and error unless a test hands in its own.
  // The object never closes them.
  std::FILE* outStream = stdout;
  std::FILE* errStream = stderr;
  // While a conversion runs: the lines naming its files ("    - video file
  // \"...\"\n" ...). Every message on errStream gets them in the same write, so
  // each error or warning read alone, as in a batch of conversions sharing one
  // error stream, says which files it concerns. Unset outside a conversion.
  std::function<std::string()> concerning;

  // The settings, in declaration order. programName is not a user setting.
  std::string programName;
  std::string audfile;   // audio source path; empty = no audio source
  std::string author;    // author text stored in the movie
  std::string palmname;  // database name on the handheld, 1 to 31 characters
  std::string outfile;   // Palm database file to create
  std::string title;     // full title of the movie
  std::string vidfile;   // video source path; empty = no video source
  bool hifi = false;
  bool adpcm = false;
  std::int32_t audioboost = 150;  // percent of the source volume; 100 = unchanged
  bool audiofilter = true;
  std::int32_t colordepth = 25;  // 8 or 12 standard, 16 enhanced, 24 truecolor, 25 plus
  std::int32_t resolution = 0;   // 0 160x160, 1 320x240, 2 320x320, 3 216x384
  double cropping = 0.0;         // 0.0 letterbox .. 1.0 fill the frame
  bool fastencode = false;
  bool bestencode = false;  // excludes fastencode: turning one on turns the other off
  bool vflip = false;
  bool hflip = false;
  bool rotate = false;
  std::int32_t framesize = 1600;  // target average frame size, bytes
  std::int32_t framerate = 15;    // output frames per second
  std::int32_t keyframes = 0;     // minimum key frame interval, seconds; 0 = none
  bool grayscale = false;
  bool hold = false;
  bool loop = false;
  bool uncompressed = false;  // every frame a key frame
  // The part of the source to convert and the size the movie may take, as
  // typed (empty: from the beginning, to the end, no limit); MovieRange.h and
  // FileSizeTarget.h read them.
  std::string start;     // seconds or [hh:]mm:ss[.fff]
  std::string duration;  // as start
  std::string filesize;  // bytes, or with K, M or G (1024-based)
  // Audio stream of the audio file: 0 the one marked default (else the
  // first), n > 0 the n-th audio stream of the file.
  std::int32_t audiotrack = 0;

 private:
  // Writes text and, when naming (errors and warnings), the lines of
  // concerning, in one write, and flushes.
  void printMessage(std::FILE* stream, std::string text, bool naming) const;
  // programName and ": ", or nothing when programName is empty.
  std::string prefix() const;
};

// Writes "<file> line <line>: <text>\n" to stream (standard error by
// default) and returns false; for internal consistency reports.
bool reportFailedCheck(const char* file, int line, const char* text,
                       std::FILE* stream = stderr);

}  // namespace vantrel
