#pragma once

// The fuzz entry points. Each takes arbitrary bytes, drives one input-facing
// layer of the program with them and returns 0; a crash, a hang, a leak or a
// read or write outside a buffer is the only way to fail. The same functions
// are linked into the libFuzzer programs (clang build with VANTREL_BUILD_FUZZ)
// and into the replay test of the normal build, which feeds them the seed
// corpus and every file under tests/fuzz/regressions/<target>/.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantrel::fuzz {

// A whole movie database file as vantrel-inspect reads it: the database reader,
// the checks of the header and the header record, the frame decoder over every
// frame record, the picture conversion and the sound decoder.
int fuzzMovieDatabase(const std::uint8_t* data, std::size_t size);

// One difference frame record decoded against random reference pictures. The
// first byte picks the frame size (every handheld and truecolor stored size),
// the next four seed the pictures' contents, the rest is the record.
int fuzzDifferenceRecord(const std::uint8_t* data, std::size_t size);

// Arbitrary bytes stored as an .avi, .wav, .mp4 or .mov file (the first byte
// picks which) and opened by both video kinds and both audio kinds, each
// followed by a few frame or sample reads.
int fuzzMediaSources(const std::uint8_t* data, std::size_t size);

// A command line: the bytes split at zero bytes and line feeds into
// arguments, parsed into the settings, applied to an engine, summarised, and
// used for a two-frame encode of a small generated picture.
int fuzzCommandLine(const std::uint8_t* data, std::size_t size);

// Console input typed into the interactive menus, from the first-run
// questions (first byte even) or from the Main Menu (first byte odd).
int fuzzConsoleMenus(const std::uint8_t* data, std::size_t size);

using FuzzEntry = int (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
  const char* name;  // also the folder name under tests/fuzz/regressions/
  FuzzEntry entry;
};

inline constexpr std::array<FuzzTarget, 5> kFuzzTargets = {{
    {"movie_database", fuzzMovieDatabase},
    {"difference_record", fuzzDifferenceRecord},
    {"media_sources", fuzzMediaSources},
    {"command_line", fuzzCommandLine},
    {"console_menus", fuzzConsoleMenus},
}};

}  // namespace vantrel::fuzz
