#pragma once

#include <cstdint>

namespace vantrel {

// Layout of a movie database: a Palm OS record database (.pdb) written front to
// back, all multi-byte integers big-endian, offsets from the start of the file,
// no padding anywhere.
//
//   database header                      78 bytes
//   record list, one entry per record     8 bytes each
//   record 0: movie header record        44 bytes + text area
//   records 1 .. N: frame records        as the frame codec returns them
//   records N+1 .. N+A: audio records    32768 (PCM) or 32772 (ADPCM) bytes
//
// A sound-only database ('Wave') has no frame records: its audio records follow
// record 0 directly. Record 0 starts right after the list, at 78 + 8 x count.
// A record ends where the next one begins; the last ends at the end of the file.

// Database header.
//   0  char[32] name: at most 31 characters, the rest zero (byte 31 always zero)
//  32  u16 attributes (0)           34  u16 version (0)
//  36  u32 creation date            40  u32 modification date
//  44  u32 last backup date         (all three: seconds since 1904-01-01)
//  48  u32 modification number (1)  52  u32 application info offset (0)
//  56  u32 sort info offset (0)     60  u32 type ('Mvie' or 'Wave')
//  64  u32 creator ('VnTr')         68  u32 unique id seed (0)
//  72  u32 next record list id (0)  76  u16 number of records
constexpr int kDatabaseHeaderSize = 78;
constexpr int kDatabaseNameSize = 32;
constexpr int kDatabaseNameMaxLength = 31;
constexpr int kHeaderAttributesOffset = 32;
constexpr int kHeaderVersionOffset = 34;
constexpr int kHeaderCreationDateOffset = 36;
constexpr int kHeaderModificationDateOffset = 40;
constexpr int kHeaderBackupDateOffset = 44;
constexpr int kHeaderModificationNumberOffset = 48;
constexpr int kHeaderAppInfoOffset = 52;
constexpr int kHeaderSortInfoOffset = 56;
constexpr int kHeaderTypeOffset = 60;
constexpr int kHeaderCreatorOffset = 64;
constexpr int kHeaderUniqueIdSeedOffset = 68;
constexpr int kHeaderNextRecordListOffset = 72;
constexpr int kHeaderRecordCountOffset = 76;
constexpr std::uint32_t kModificationNumber = 1;

// Four-character codes, first character in the most significant byte.
constexpr std::uint32_t kTypeMovie = 0x4D766965;    // 'Mvie'
constexpr std::uint32_t kTypeSound = 0x57617665;    // 'Wave'
constexpr std::uint32_t kCreatorCode = 0x566E5472;  // 'VnTr'

// Seconds from 1904-01-01 (the handheld's epoch) to 1970-01-01 (the host's).
constexpr std::uint32_t kPalmEpochOffset = 2082844800u;

// Record list entry: u32 record data offset, u8 attributes (0), u24 unique id (0).
constexpr int kRecordEntrySize = 8;

// Movie header record (record 0), fixed part.
//   0  u16 header version (0)        2  u16 header size (44)
//   4  u16 frame width               6  u16 stored frame height
//   8  u16 bits per pixel           10  u8  audio format
//  11  u8  colour mode              12  u16 frame period, milliseconds
//  14  u16 frames per second        16  u16 key frame interval, frames
//  18  u16 playback flags           20  u32 title offset (44)
//  24  u32 author offset            28  u32 third text offset
//  32  u32 text area end            36  u16 frame count
//  38  u16 first audio record       40  u32 frame period in 1/65536 of 0.1 ms
// The text area follows: title, zero byte, author, zero byte, one more zero byte
// (an empty third text). The text offsets count from the start of the record.
constexpr int kMovieHeaderSize = 44;
constexpr int kMovieHeaderVersion = 0;
constexpr int kMhVersionOffset = 0;
constexpr int kMhSizeOffset = 2;
constexpr int kMhWidthOffset = 4;
constexpr int kMhHeightOffset = 6;
constexpr int kMhBitsPerPixelOffset = 8;
constexpr int kMhAudioFormatOffset = 10;
constexpr int kMhColourModeOffset = 11;
constexpr int kMhFramePeriodOffset = 12;
constexpr int kMhFramesPerSecondOffset = 14;
constexpr int kMhKeyIntervalOffset = 16;
constexpr int kMhFlagsOffset = 18;
constexpr int kMhTitleOffset = 20;
constexpr int kMhAuthorOffset = 24;
constexpr int kMhThirdTextOffset = 28;
constexpr int kMhTextEndOffset = 32;
constexpr int kMhFrameCountOffset = 36;
constexpr int kMhFirstAudioRecordOffset = 38;
constexpr int kMhFinePeriodOffset = 40;

// Audio format byte.
constexpr int kAudioFormatPcm = 0;      // unsigned 8-bit, 10000 samples/s
constexpr int kAudioFormatAdpcm = 1;    // IMA ADPCM, 10000 samples/s
constexpr int kAudioFormatHifiPcm = 2;  // unsigned 8-bit, 20000 samples/s

// Colour mode byte.
constexpr int kColourModeStandard = 0;       // 8-bit palette, code 12 or lower
constexpr int kColourModeGrayscale = 1;      // any code with grayscale on
constexpr int kColourModeSoundOnly = 2;      // sound-only database
constexpr int kColourModeEnhanced = 3;       // 8-bit palette, codes 13 to 23
constexpr int kColourModeTruecolor = 4;      // code 24
constexpr int kColourModeTruecolorPlus = 5;  // codes above 24

// Playback flag bits.
constexpr int kFlagLoop = 1;
constexpr int kFlagHasSound = 2;
constexpr int kFlagAlways = 4;
constexpr int kFlagHoldLastFrame = 8;

// The sound-only database's nominal timing: 10 frames per second.
constexpr int kSoundOnlyFramesPerSecond = 10;
constexpr int kSoundOnlyFramePeriodMs = 100;
constexpr std::uint32_t kSoundOnlyFinePeriod = 65536000;

// Audio record sizes.
constexpr int kPcmRecordSize = 32768;
constexpr int kAdpcmCodeBytes = 32768;
constexpr int kAdpcmTrailerSize = 4;
constexpr int kAdpcmRecordSize = kAdpcmCodeBytes + kAdpcmTrailerSize;
constexpr int kPcmSamplesPerRecord = 32768;
constexpr int kAdpcmSamplesPerRecord = 65536;

// The record count and the frame count are 16-bit fields: a database holds at
// most 65535 records and a movie at most 65535 frames.
constexpr int kMaxRecordCount = 65535;
constexpr int kMaxFrameCount = 65535;

// The message of every failed write to the output file.
constexpr const char* kWriteFailedText = "Unable to write to the output file.";

}  // namespace vantrel
