#include "EncoderMenuUI.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "EncoderMenuPages.h"
#include "FullPath.h"
#include "NumberText.h"
#include "SettingsSummary.h"

namespace vantrel {

namespace {

constexpr std::string_view kPlaceholder = "%1";

const FlagDescriptor* descriptorForArgument(std::int32_t argument) {
  return EncoderSettings::descriptorFor(static_cast<SettingId>(argument));
}

bool isSetting(std::int32_t argument, SettingId id) {
  return argument == static_cast<std::int32_t>(id);
}

std::string displayPath(const std::string& path, const char* whenEmpty) {
  if (path.empty()) return whenEmpty;
  const std::optional<std::string> full = makeFullPath(path);
  return full ? *full : std::string("bad filename");
}

const char* pick(bool on, const char* onText, const char* offText) {
  return on ? onText : offText;
}

// Makes the framework ask the same prompt again; runCommand's result.
bool askAgain(MenuAction& action, bool& repeat) {
  action = MenuAction::AskAgain;
  repeat = true;
  return true;
}

}  // namespace

int runMenus(EncoderSettings& settings, bool notFirstTime, std::FILE* input,
             std::FILE* output) {
  EncoderMenuUI menus(encoderMenuPages(), settings, input, output);
  try {
    return menus.run(notFirstTime ? kMainMenuPageId : kFirstRunPageId);
  } catch (CommandLineMenuUI::Exception) {
    // Console input ended or failed: nothing more can be asked.
    return 2;
  } catch (...) {
    // Anything else that stops the menus (out of memory) ends them the same
    // way, so the program ends with a failure status instead of aborting.
    return 2;
  }
}

EncoderMenuUI::EncoderMenuUI(std::span<const MenuPage> pageTable,
                             EncoderSettings& encoderSettings, std::FILE* inputStream,
                             std::FILE* outputStream)
    : CommandLineMenuUI(pageTable, inputStream, outputStream), settings(encoderSettings) {}

std::string EncoderMenuUI::promptValue(SettingId id) const {
  const FlagDescriptor* descriptor = EncoderSettings::descriptorFor(id);
  if (descriptor == nullptr) return {};
  switch (id) {
    case SettingId::Vidfile:
      return settings.vidfile.empty() ? "no video" : settings.vidfile;
    case SettingId::Audfile:
      return settings.audfile.empty() ? "no audio" : settings.audfile;
    case SettingId::Cropping:
      return formatNumber("%.6g", settings.cropping * 100.0);
    default:
      return settings.toText(*descriptor);
  }
}

std::string EncoderMenuUI::displayValue(SettingId id) const {
  const EncoderSettings& s = settings;
  switch (id) {
    case SettingId::Vidfile: return displayPath(s.vidfile, "no video");
    case SettingId::Audfile: return displayPath(s.audfile, "no audio");
    case SettingId::Outfile: return displayPath(s.outfile, "");
    case SettingId::Cropping:
      if (s.cropping < 0.00005) return "0 (Letterbox)";
      if (s.cropping > 0.99995) return "100 (Fill Frame)";
      return promptValue(id) + "%";
    case SettingId::Resolution:
      switch (s.resolution) {
        case 0: return "160x160";
        case 1: return "320x240";
        case 2: return "320x320";
        default: return "216x384";
      }
    case SettingId::Colordepth:
      switch (s.colordepth) {
        case 8:
        case 12: return "8-bit Standard";
        case 16: return "8-bit Enhanced";
        case 24: return "16/24-bit Truecolor";
        default: return "16/24-bit Truecolor Plus";
      }
    case SettingId::Grayscale: return pick(s.grayscale, "Grayscale", "Color");
    case SettingId::Hifi: return pick(s.hifi, "Hifi", "Standard");
    case SettingId::Adpcm: return pick(s.adpcm, "ADPCM", "None");
    case SettingId::Audioboost:
      return s.audioboost == 100 ? std::string("None") : formatNumber("%i%%", s.audioboost);
    case SettingId::Audiofilter: return pick(s.audiofilter, "On", "None");
    case SettingId::Hold: return pick(s.hold, "Hold", "Don't Hold");
    case SettingId::Loop: return pick(s.loop, "Loop back to start", "Stop at end");
    case SettingId::Uncompressed: return pick(s.uncompressed, "Uncompressed", "Compressed");
    case SettingId::Vflip: return pick(s.vflip, "Y-Flipped", "Normal");
    case SettingId::Hflip: return pick(s.hflip, "X-Flipped", "Normal");
    case SettingId::Rotate: return pick(s.rotate, "On (Landscape)", "Off (Portrait)");
    case SettingId::Fastencode: return pick(s.fastencode, "Fast", "Standard");
    case SettingId::Bestencode: return pick(s.bestencode, "Best", "Standard");
    case SettingId::Start: return s.start.empty() ? "beginning" : s.start;
    case SettingId::Duration: return s.duration.empty() ? "to the end" : s.duration;
    case SettingId::Filesize: return s.filesize.empty() ? "no limit" : s.filesize;
    default: return promptValue(id);
  }
}

void EncoderMenuUI::showSettings() { putText(settingsSummaryText(settings), true); }

void EncoderMenuUI::preparePrompt(const MenuPage& /*page*/, const MenuItem& item,
                                  std::string& prompt) {
  if (descriptorForArgument(item.argument) == nullptr) return;
  const std::size_t at = prompt.find(kPlaceholder);
  if (at == std::string::npos) return;
  prompt.replace(at, kPlaceholder.size(), promptValue(static_cast<SettingId>(item.argument)));
}

bool EncoderMenuUI::confirmExit(const MenuPage& /*page*/, const MenuItem* /*item*/,
                                std::int32_t code,
                                std::optional<std::string_view> /*answer*/) {
  if (code == kExitRunConversion) {
    if (settings.vidfile.empty() && settings.audfile.empty()) {
      putText("Error: a video file, audio file, or both must be specified.\n\n", true);
      return false;
    }
    if (settings.outfile.empty()) {
      putText("Error: the output file must be specified.\n\n", true);
      return false;
    }
    if (settings.palmname.empty()) {
      putText("Error: the Palm database name must be specified.\n\n", true);
      return false;
    }
    return true;
  }
  if (code == kExitQuit) return askQuitQuestion();
  return true;
}

bool EncoderMenuUI::drawItem(const MenuPage& /*page*/, const MenuItem& item) {
  if (item.action != MenuAction::Command || item.label == nullptr || item.label[0] == '\0' ||
      descriptorForArgument(item.argument) == nullptr) {
    return true;
  }
  const std::string line = std::string(item.label) + "  [" +
                           displayValue(static_cast<SettingId>(item.argument)) + "]";
  drawItemLabel(item.key, line.c_str());
  putChar('\n', true);
  return false;
}

bool EncoderMenuUI::runCommand(const MenuPage& /*page*/, const MenuItem* /*item*/,
                               std::int32_t& argument, std::optional<std::string_view> answer,
                               MenuAction& action, bool& repeat) {
  if (argument == kShowSettingsCommand) {
    showSettings();
    putText("\nPress Enter to continue...", true);
    readAnswer();
    return true;
  }

  std::string text(answer.value_or(std::string_view()));
  const bool answered = !text.empty();

  if (isSetting(argument, SettingId::Outfile) && !answered && settings.outfile.empty()) {
    putText("An output file must be specified.\n", true);
    return askAgain(action, repeat);
  }

  if (isSetting(argument, SettingId::Cropping) && answered) {
    char* end = nullptr;
    const double percent = std::strtod(text.c_str(), &end);
    // A NaN would pass the range check below and reach the picture geometry.
    if (end == text.c_str() || *end != '\0' || std::isnan(percent)) {
      printFormatted("Error - \"%s\" is not a valid number\n\n", text.c_str());
      return false;
    }
    if (percent < 0.0 || percent > 100.0) {
      putText("Error - invalid percentage, must be between 0 and 100.\n", true);
      return askAgain(action, repeat);
    }
    // The fraction keeps six decimals, as the text form "%f" gives them.
    text = formatNumber("%f", percent / 100.0);
  }

  const FlagDescriptor* descriptor = descriptorForArgument(argument);
  if (descriptor == nullptr) return false;
  const auto id = static_cast<SettingId>(argument);

  if ((id == SettingId::Colordepth || id == SettingId::Resolution) && answered) {
    const CodeAnswer code = mapCodeAnswer(id, text);
    if (code == CodeAnswer::NotANumber) return false;
    if (code == CodeAnswer::OutOfRange) return askAgain(action, repeat);
  }

  if (descriptor->kind == FlagKind::Boolean) {
    settings.setBoolean(*descriptor, !settings.getBoolean(*descriptor));
  } else if (answered) {
    const bool clearable = id == SettingId::Vidfile || id == SettingId::Audfile ||
                           id == SettingId::Start || id == SettingId::Duration ||
                           id == SettingId::Filesize;
    if (clearable && text == "-") text.clear();
    if (!EncoderSettings::takesText(id, text.c_str())) {
      printFormatted("Error - \"%s\" is not valid (%s).\n", text.c_str(),
                     EncoderSettings::acceptedValues(id));
      return askAgain(action, repeat);
    }
    const bool isInteger = descriptor->kind == FlagKind::Integer;
    const std::int32_t before = isInteger ? settings.*descriptor->integer : 0;
    const bool whole = settings.setFromText(*descriptor, text.c_str());
    // A number the setting does not take is never kept, even as the prefix
    // of an answer that is not a whole number.
    if (isInteger && !EncoderSettings::takesValue(id, settings.*descriptor->integer)) {
      settings.*descriptor->integer = before;
      printFormatted("Error - \"%s\" is out of range (%s).\n", text.c_str(),
                     EncoderSettings::acceptedValues(id));
      return askAgain(action, repeat);
    }
    if (!whole && (isInteger || descriptor->kind == FlagKind::Real)) {
      printFormatted("Error - \"%s\" is not a valid number\n\n", text.c_str());
      return false;
    }
  }

  if (id == SettingId::Outfile) settings.deriveDatabaseName();
  return true;
}

EncoderMenuUI::CodeAnswer EncoderMenuUI::mapCodeAnswer(SettingId id,
                                                       std::string& answer) {
  char* end = nullptr;
  const long number = std::strtol(answer.c_str(), &end, 10);
  if (end == answer.c_str()) {
    // Nothing numeric to map: the setting keeps its value.
    printFormatted("Error - \"%s\" is not a valid number\n\n", answer.c_str());
    return CodeAnswer::NotANumber;
  }
  // Both prompts offer the choices 0 to 3.
  if (number < 0 || number > 3) {
    printFormatted("Error - \"%s\" is out of range (0 to 3).\n", answer.c_str());
    return CodeAnswer::OutOfRange;
  }
  // The answer is replaced by a fresh string: assigning the short literals in
  // place makes GCC's optimiser warn of an overlapping copy that cannot happen.
  if (id == SettingId::Colordepth) {
    static constexpr const char* kDepthCodes[] = {"12", "16", "24", "25"};
    answer = std::string(kDepthCodes[number]);
  }
  return CodeAnswer::Mapped;
}

}  // namespace vantrel
