#include "CommandLineFlags.h"

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

}  // namespace

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
  text += "\n";
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
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const std::string_view text = argument;
    const FlagDescriptor* row = nullptr;
    bool negated = false;
    if (text.starts_with('-')) row = findFlag(text.substr(1));
    if (row == nullptr && text.starts_with("-no")) {
      row = findFlag(text.substr(3));
      negated = row != nullptr;
    }
    if (row == nullptr) {
      settings.printError("Unknown flag \"%s\"\n", argument);
      settings.printUsage();
      return false;
    }
    if (row->kind == FlagKind::Boolean) {
      // Whatever follows '=' on a switch is ignored: -hold=off turns it on.
      settings.setBoolean(*row, !negated);
      continue;
    }
    if (negated) {
      settings.printError("unknown flag %s\n", argument);
      return false;
    }
    // The value is everything after "name="; it may be empty or hold '='.
    const char* value = argument + 1 + std::strlen(row->name) + 1;
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
  return result;
}

}  // namespace vantrel
