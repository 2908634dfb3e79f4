// Fuzz entry: console input typed into the interactive menus.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "DiscardingStream.h"
#include "EncoderMenuUI.h"
#include "EncoderSettings.h"
#include "FuzzTargets.h"
#include "SettingsSummary.h"

namespace vantrel::fuzz {

int fuzzConsoleMenus(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::FILE* nowhere = discardingStream();
  if (nowhere == nullptr) return 0;
  // fmemopen refuses an empty buffer; /dev/null ends at once just the same.
  std::vector<std::uint8_t> script(data + 1, data + size);
  std::FILE* input = script.empty() ? std::fopen("/dev/null", "r")
                                    : fmemopen(script.data(), script.size(), "r");
  if (input == nullptr) return 0;
  EncoderSettings settings;
  settings.outStream = nowhere;
  settings.errStream = nowhere;
  const bool notFirstTime = (data[0] & 1) != 0;
  if (runMenus(settings, notFirstTime, input, nowhere) == 0) {
    (void)settingsSummaryText(settings);
  }
  std::fclose(input);
  return 0;
}

}  // namespace vantrel::fuzz
