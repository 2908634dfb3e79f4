#pragma once

// The encoder's interactive console menus: a first-run sequence that asks for
// the three files, the Main Menu and its option pages, each item showing the
// current value of its setting.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "CommandLineMenuUI.h"
#include "EncoderSettings.h"

namespace vantrel {

// Runs the menus over the program's settings, starting with the first-run
// sequence, or at the Main Menu when notFirstTime is true (after a failed
// conversion, with every setting kept). Returns 0 when the user chose to
// convert and the checks passed, 1 when the user quit, 2 when console input
// failed or ended. Reads from input and writes to output (the process's
// standard streams unless a test hands in its own).
int runMenus(EncoderSettings& settings, bool notFirstTime,
             std::FILE* input = stdin, std::FILE* output = stdout);

// The menu framework applied to EncoderSettings: item arguments of Command
// items are SettingId numbers, 0 meaning "show the settings".
class EncoderMenuUI : public CommandLineMenuUI {
 public:
  // The settings are the program's own and must outlive the object.
  EncoderMenuUI(std::span<const MenuPage> pageTable, EncoderSettings& encoderSettings,
                std::FILE* inputStream = stdin, std::FILE* outputStream = stdout);

  // A setting as shown inside a prompt's brackets: the stored text, "no video"
  // or "no audio" for an empty source, cropping as a percentage ("%.6g").
  // Paths are shown as stored. Empty for an id outside 1 to kSettingCount.
  std::string promptValue(SettingId id) const;
  // A setting as shown beside its menu item: paths made absolute ("bad
  // filename" when that fails), named values for codes and switches.
  std::string displayValue(SettingId id) const;
  // Writes the settings summary through putText.
  void showSettings();

  // Replaces the first "%1" of a setting's prompt with promptValue.
  void preparePrompt(const MenuPage& page, const MenuItem& item,
                     std::string& prompt) override;
  // Code 0 (convert) is approved only with a source file, an output file and
  // a database name, printing the first missing one; code 1 asks the quit
  // question; any other code is approved.
  bool confirmExit(const MenuPage& page, const MenuItem* item, std::int32_t code,
                   std::optional<std::string_view> answer) override;
  // Draws setting items as "label  [value]"; other items the default way.
  bool drawItem(const MenuPage& page, const MenuItem& item) override;
  // Applies an answer to the setting named by argument (0 shows the
  // settings). Returns false, after printing why, when the answer was not a
  // number; asks again (through AskAgain), after printing why, for a number
  // the setting does not take (a resolution or colour depth choice outside
  // 0 to 3, a cropping outside 0 to 100, EncoderSettings::takesValue for the
  // other numbers) and for an empty output file while none is set.
  bool runCommand(const MenuPage& page, const MenuItem* item,
                  std::int32_t& argument, std::optional<std::string_view> answer,
                  MenuAction& action, bool& repeat) override;

 private:
  enum class CodeAnswer { Mapped, NotANumber, OutOfRange };
  // Turns a resolution or colour depth choice (0 to 3) into the text to
  // store. An answer that does not begin with a number, or whose number is
  // not a choice, prints why and changes nothing.
  CodeAnswer mapCodeAnswer(SettingId id, std::string& answer);

  EncoderSettings& settings;
};

}  // namespace vantrel
