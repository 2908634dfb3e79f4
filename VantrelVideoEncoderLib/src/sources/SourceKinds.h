#pragma once

#include <cstdint>

#include "sources/VideoStreamSource.h"

namespace vantrel {

// The tags that kind() answers, one per source kind.
constexpr std::uint32_t kVideoKindAvi = fourCC('V', 'A', 'V', 'I');    // 0x56415649
constexpr std::uint32_t kVideoKindMovie = fourCC('V', 'Q', 'T', ' ');  // 0x56515420
constexpr std::uint32_t kAudioKindAvi = fourCC('A', 'A', 'V', 'I');    // 0x41415649
constexpr std::uint32_t kAudioKindMovie = fourCC('A', 'Q', 'T', ' ');  // 0x41515420

static_assert(kVideoKindAvi == 0x56415649 && kVideoKindMovie == 0x56515420);
static_assert(kAudioKindAvi == 0x41415649 && kAudioKindMovie == 0x41515420);

// Codes the two movie kinds use when the media libraries are missing or too old,
// and, for the audio kind, when sound conversion is unavailable.
constexpr int kVideoMovieLibraryMissing = 13;
constexpr int kAudioMovieLibraryMissing = 14;
constexpr int kAudioMovieConversionMissing = 15;

}  // namespace vantrel
