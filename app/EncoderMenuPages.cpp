#include "EncoderMenuPages.h"

#include <array>

#include "EncoderSettings.h"

namespace vantrel {

namespace {

// Row builders that keep the tables one line per item. Labels carry trailing
// blanks so the values drawn after them line up in a column.
constexpr MenuItem command(const char* key, const char* label, const char* prompt,
                           SettingId id) {
  return MenuItem{key, label, prompt, MenuAction::Command, static_cast<std::int32_t>(id)};
}

constexpr MenuItem showSettingsItem() {
  return MenuItem{"s", "(S)how current settings", nullptr, MenuAction::Command,
                  kShowSettingsCommand};
}

constexpr MenuItem action(const char* key, const char* label, MenuAction what,
                          std::int32_t argument) {
  return MenuItem{key, label, nullptr, what, argument};
}

constexpr MenuItem kSeparator{};

constexpr const char* kVideoPrompt = "Source video pathname (\"-\" for no video)? [%1]";
constexpr const char* kAudioPrompt = "Source audio pathname (\"-\" for no audio)? [%1]";
constexpr const char* kOutputPrompt = "Output pathname (Palm database *.pdb)? [%1]";

// Page 0: asked once, in sequence, on the first entry.
constexpr std::array<MenuItem, 5> kFirstRunItems = {
    command("v", "(V)ideo source file", kVideoPrompt, SettingId::Vidfile),
    command("a", "(A)udio source file", kAudioPrompt, SettingId::Audfile),
    command("o", "(O)utput .pdb file", "Output pathname (Palm database *.pdb)?",
            SettingId::Outfile),
    showSettingsItem(),
    action("m", "(M)ain menu", MenuAction::JumpToPage, kMainMenuPageId),
};
static_assert(kFirstRunItems.size() == 5);

// Page 1: Main Menu.
constexpr std::array<MenuItem, 9> kMainMenuItems = {
    action("f", "(F)iles menu", MenuAction::OpenPage, kFilesPageId),
    action("v", "(V)ideo options menu", MenuAction::OpenPage, kVideoOptionsPageId),
    action("a", "(A)udio options menu", MenuAction::OpenPage, kAudioOptionsPageId),
    action("o", "(O)utput options menu", MenuAction::OpenPage, kOutputOptionsPageId),
    kSeparator,
    showSettingsItem(),
    kSeparator,
    action("g", "(G)o run conversion", MenuAction::Exit, kExitRunConversion),
    action("q", "(Q)uit", MenuAction::Exit, kExitQuit),
};
static_assert(kMainMenuItems.size() == 9);

// Page 2: Files.
constexpr std::array<MenuItem, 5> kFilesItems = {
    command("v", "(V)ideo source file", kVideoPrompt, SettingId::Vidfile),
    command("a", "(A)udio source file", kAudioPrompt, SettingId::Audfile),
    command("o", "(O)utput .pdb file ", kOutputPrompt, SettingId::Outfile),
    kSeparator,
    showSettingsItem(),
};
static_assert(kFilesItems.size() == 5);

// Page 3: Output Options.
constexpr std::array<MenuItem, 7> kOutputOptionsItems = {
    command("o", "(O)utput .pdb file", kOutputPrompt, SettingId::Outfile),
    kSeparator,
    command("n", "(N)ame as seen on Palm", "Output file database name? [%1]",
            SettingId::Palmname),
    command("f", "(F)ull title of movie ", "Movie title description? [%1]", SettingId::Title),
    command("a", "(A)uthor description  ", "Author description? [%1]", SettingId::Author),
    kSeparator,
    showSettingsItem(),
};
static_assert(kOutputOptionsItems.size() == 7);

// Page 4: Audio Options.
constexpr std::array<MenuItem, 8> kAudioOptionsItems = {
    command("a", "(A)udio source file", kAudioPrompt, SettingId::Audfile),
    kSeparator,
    command("h", "(H)igh fidelity audio (toggle) ", nullptr, SettingId::Hifi),
    command("c", "(C)ompress audio (toggle)      ", nullptr, SettingId::Adpcm),
    command("v", "(V)olume adjustment            ",
            "% to adjust volume (100 = no adjustment)? [%1]", SettingId::Audioboost),
    command("p", "(P)refilter audio (toggle)     ", nullptr, SettingId::Audiofilter),
    kSeparator,
    showSettingsItem(),
};
static_assert(kAudioOptionsItems.size() == 8);

// Page 5: Video Options.
constexpr std::array<MenuItem, 14> kVideoOptionsItems = {
    action("a", "(A)dvanced video options", MenuAction::OpenPage, kAdvancedVideoOptionsPageId),
    kSeparator,
    command("v", "(V)ideo source file  ", kVideoPrompt, SettingId::Vidfile),
    kSeparator,
    command("r", "(R)esolution               ",
            "Resolution (0 = 160x160, 1 = 320x240, 2 = 320x320, 3 = 216x384)",
            SettingId::Resolution),
    command("c", "(C)ropping percentage      ",
            "Cropping percentage (0 = letterbox, 100 = fill entire frame?) [%1]",
            SettingId::Cropping),
    command("g", "(G)ray/Color mode (toggle) ", nullptr, SettingId::Grayscale),
    command("b", "(B)it color depth per pixel",
            "Color Depth Mode (0 = 8-bits, 1 = 8-bits enhanced, 2 = 16/24 bit true, "
            "3 = 16/24 bit true plus)",
            SettingId::Colordepth),
    kSeparator,
    command("f", "(F)rames per second playback rate", "Output frame rate (1 fps - source rate): ",
            SettingId::Framerate),
    command("k", "(K)ey frame interval (minimum)", "Minimum interval (Seconds, or 0 for no keys): ",
            SettingId::Keyframes),
    // The prompt always names the default size, whatever the current value.
    command("t", "(T)arget compressed frame size  (bytes)",
            "Desired average frame size in bytes? [1600]", SettingId::Framesize),
    kSeparator,
    showSettingsItem(),
};
static_assert(kVideoOptionsItems.size() == 14);

// Page 6: Advanced Video Options. The compression item toggles
// "uncompressed", so its value reads Uncompressed once switched. The part of
// the source and the size limit take "-" to go back to none.
constexpr std::array<MenuItem, 14> kAdvancedVideoOptionsItems = {
    command("e", "(E)ncode video faster, but with lower quality (toggle)", nullptr,
            SettingId::Fastencode),
    command("b", "(B)est pictures in the same size, slower (toggle)     ", nullptr,
            SettingId::Bestencode),
    command("h", "(H)old and wait for tap after movie playback (toggle) ", nullptr,
            SettingId::Hold),
    command("l", "(L)oop back to first frame after playback (toggle)    ", nullptr,
            SettingId::Loop),
    command("c", "(C)ompress video frames for manageable sizes (toggle) ", nullptr,
            SettingId::Uncompressed),
    command("y", "(Y)-flip input video frames vertically (toggle)       ", nullptr,
            SettingId::Vflip),
    command("x", "(X)-flip input video frames horizontally (toggle)     ", nullptr,
            SettingId::Hflip),
    command("r", "(R)otate video frames 90 degrees (toggle)             ", nullptr,
            SettingId::Rotate),
    kSeparator,
    command("a", "St(a)rt this far into the source                      ",
            "Start time (seconds or [hh:]mm:ss[.fff], \"-\" for the beginning)? [%1]",
            SettingId::Start),
    command("d", "(D)uration of the part to convert                     ",
            "Duration (seconds or [hh:]mm:ss[.fff], \"-\" to the end)? [%1]",
            SettingId::Duration),
    command("z", "Largest movie file si(z)e (sets the frame size)       ",
            "Largest file size (bytes, or with K, M or G; \"-\" for no limit)? [%1]",
            SettingId::Filesize),
    kSeparator,
    showSettingsItem(),
};
static_assert(kAdvancedVideoOptionsItems.size() == 14);

// The page table, in id order.
constexpr std::array<MenuPage, 7> kEncoderMenuPages = {
    MenuPage{kFirstRunPageId, nullptr, MenuPageFlag::RunInSequence, kFirstRunItems},
    MenuPage{kMainMenuPageId, "Main Menu", MenuPageFlag::None, kMainMenuItems},
    MenuPage{kFilesPageId, "Main Menu >> Files", MenuPageFlag::None, kFilesItems},
    MenuPage{kOutputOptionsPageId, "Main Menu >> Output Options", MenuPageFlag::None,
             kOutputOptionsItems},
    MenuPage{kAudioOptionsPageId, "Main Menu >> Audio Options", MenuPageFlag::None,
             kAudioOptionsItems},
    MenuPage{kVideoOptionsPageId, "Main Menu >> Video Options", MenuPageFlag::None,
             kVideoOptionsItems},
    MenuPage{kAdvancedVideoOptionsPageId, "Main Menu >> Video Options >> Advanced Video Options",
             MenuPageFlag::None, kAdvancedVideoOptionsItems},
};
static_assert(kEncoderMenuPages.size() == 7);

}  // namespace

std::span<const MenuPage> encoderMenuPages() { return kEncoderMenuPages; }

}  // namespace vantrel
