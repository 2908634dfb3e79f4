#include "CommandLineFlags.h"

#include <cctype>
#include <cstring>

namespace vantrel {

namespace {

// True when text starts with name and then ends (Boolean rows only) or
// continues with '='.
bool rowMatches(const FlagDescriptor& row, std::string_view text) {
  const std::string_view name = row.name;
  if (name.empty() || !text.starts_with(name)) return false;
  if (text.size() == name.size()) return row.kind == FlagKind::Boolean;
  return text[name.size()] == '=';
}

// The row of a flag that takes a value and is named exactly text, as when
// "-colordepth" is written without "=value"; nullptr when none is.
const FlagDescriptor* valueFlagNamed(std::string_view text) {
  for (const FlagDescriptor& row : kFlagTable) {
    if (row.kind != FlagKind::Boolean && row.name[0] != '\0' && text == row.name)
      return &row;
  }
  return nullptr;
}

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<bool> switchValue(std::string_view value) {
  for (const char* word : {"1", "on", "yes", "true"}) {
    if (equalsIgnoringCase(value, word)) return true;
  }
  for (const char* word : {"0", "off", "no", "false"}) {
    if (equalsIgnoringCase(value, word)) return false;
  }
  return std::nullopt;
}

std::string movieBeside(std::string_view file) {
  const std::size_t slash = file.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = file.rfind('.');
  // A name that starts with its only dot (".clip") has no extension.
  const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
  return std::string(file.substr(0, hasExtension ? dot : file.size())) + ".pdb";
}

const FlagDescriptor* findFlag(std::string_view text) {
  for (const FlagDescriptor& row : kFlagTable) {
    if (rowMatches(row, text)) return &row;
  }
  return nullptr;
}

std::string programNameFromPath(std::string_view path) {
  // Only '/' separates directories here; a '.' inside a directory name is
  // not an extension, hence the dot must lie at or after the base name.
  const std::size_t slash = path.rfind('/');
  const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t end = path.rfind('.');
  if (end == std::string_view::npos || end < start) end = path.size();
  return std::string(path.substr(start, end - start));
}

std::string usageText() {
  std::string text = "Usage VNT [-options]\n\n   where options are:\n\n";
  for (const FlagDescriptor& row : kFlagTable) {
    const std::string name = row.name;
    if (name.empty()) continue;
    switch (row.kind) {
      case FlagKind::Text:
        text += "      -" + name + "=<text> - " + row.description + "\n";
        break;
      case FlagKind::Boolean:
        text += "      -" + name + ", -no" + name + " - " + row.description + "\n";
        break;
      case FlagKind::Real:
      case FlagKind::Integer:
        text += "      -" + name + "=<value> - " + row.description + "\n";
        break;
    }
  }
  text +=
      "\n   A file named without a flag (VNT clip.mp4) gives the video and its sound;\n"
      "   without -outfile the movie is written beside it as clip.pdb.\n\n";
  return text;
}

bool asksForHelp(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view text = argv[i];
    if (text == "-help" || text == "--help") return true;
  }
  return false;
}

bool parseCommandLine(EncoderSettings& settings, int argc, const char* const* argv) {
  if (argc < 1) return true;
  settings.setProgramName(argv[0]);
  if (argc < 2) return true;

  bool result = true;
  const char* namedFile = nullptr;  // the argument without a leading '-'
  bool videoGiven = false;
  bool audioGiven = false;
  bool outputGiven = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const std::string_view text = argument;
    if (!text.empty() && !text.starts_with('-')) {
      // One conversion per run: a second file would silently replace the first.
      if (namedFile != nullptr) {
        settings.printError(
            "only one file can be converted at a time: \"%s\" and \"%s\"\n", namedFile,
            argument);
        result = false;
      }
      namedFile = argument;
      continue;
    }
    const FlagDescriptor* row = nullptr;
    bool negated = false;
    if (text.starts_with('-')) row = findFlag(text.substr(1));
    if (row == nullptr && text.starts_with("-no")) {
      row = findFlag(text.substr(3));
      negated = row != nullptr;
    }
    if (row == nullptr && text.starts_with('-')) {
      if (const FlagDescriptor* wanting = valueFlagNamed(text.substr(1))) {
        settings.printError("flag \"%s\" needs a value (-%s=...)\n", wanting->name,
                            wanting->name);
        result = false;
        continue;
      }
    }
    if (row == nullptr) {
      settings.printError("Unknown flag \"%s\"\n", argument);
      settings.printUsage();
      return false;
    }
    const std::size_t nameEnd = (negated ? 3 : 1) + std::strlen(row->name);
    if (row->kind == FlagKind::Boolean) {
      // -hold=off turns hold off; -nohold=off denies the negation, so turns it on.
      bool on = true;
      if (text.size() > nameEnd) {
        const std::optional<bool> value = switchValue(text.substr(nameEnd + 1));
        if (!value.has_value()) {
          settings.printError(
              "flag \"%s\" parameter \"%s\" is not valid (1 or 0, on or off, yes or no, "
              "true or false)\n",
              row->name, argument + nameEnd + 1);
          result = false;
          continue;
        }
        on = *value;
      }
      settings.setBoolean(*row, negated ? !on : on);
      continue;
    }
    if (negated) {
      settings.printError("unknown flag %s\n", argument);
      return false;
    }
    videoGiven = videoGiven || row->id == SettingId::Vidfile;
    audioGiven = audioGiven || row->id == SettingId::Audfile;
    outputGiven = outputGiven || row->id == SettingId::Outfile;
    // The value is everything after "name="; it may be empty or hold '='.
    const char* value = argument + nameEnd + 1;
    const bool accepted = settings.setFromText(*row, value);
    if (row->kind == FlagKind::Text) {
      if (!EncoderSettings::takesText(row->id, value)) {
        settings.printError("flag \"%s\" parameter \"%s\" is not valid (%s)\n", row->name,
                            value, EncoderSettings::acceptedValues(row->id));
        result = false;
      }
      continue;
    }
    // The number as typed: the range of cropping is that of the percentage.
    double typed = 0.0;
    if (row->kind == FlagKind::Real) typed = settings.*row->real;
    if (row->kind == FlagKind::Integer) typed = settings.*row->integer;
    // The cropping flag takes a percentage; the setting is a fraction.
    if (row->id == SettingId::Cropping) settings.cropping /= 100.0;
    if (!accepted) {
      settings.printError("flag \"%s\" parameter \"%s\" is not a valid number\n", row->name,
                          value);
      result = false;
    } else if (!EncoderSettings::takesValue(row->id, typed)) {
      settings.printError("flag \"%s\" parameter \"%s\" is out of range (%s)\n",
                          row->name, value, EncoderSettings::acceptedValues(row->id));
      result = false;
    }
  }
  // The flags for the video, the sound and the output win over the file named
  // alone, wherever they stand.
  if (namedFile != nullptr) {
    if (!videoGiven) settings.vidfile = namedFile;
    if (!audioGiven) settings.audfile = namedFile;
    if (!outputGiven) settings.outfile = movieBeside(namedFile);
  }
  return result;
}

}  // namespace vantrel
