#pragma once

// The encoder's menu page table: the first-run sequence, the Main Menu and
// its option pages. Command items carry a SettingId number as argument, or 0
// to show the settings.

#include <cstdint>
#include <span>

#include "CommandLineMenuUI.h"

namespace vantrel {

// Page ids, used only inside the tables and to start the menus.
inline constexpr std::int32_t kFirstRunPageId = 0;
inline constexpr std::int32_t kMainMenuPageId = 1;
inline constexpr std::int32_t kFilesPageId = 2;
inline constexpr std::int32_t kOutputOptionsPageId = 3;
inline constexpr std::int32_t kAudioOptionsPageId = 4;
inline constexpr std::int32_t kVideoOptionsPageId = 5;
inline constexpr std::int32_t kAdvancedVideoOptionsPageId = 6;

// Argument of the Command items that show the settings summary.
inline constexpr std::int32_t kShowSettingsCommand = 0;

// Exit codes of the Main Menu.
inline constexpr std::int32_t kExitRunConversion = 0;
inline constexpr std::int32_t kExitQuit = 1;

// The seven pages in table order; constant data that lives for the program.
std::span<const MenuPage> encoderMenuPages();

}  // namespace vantrel
