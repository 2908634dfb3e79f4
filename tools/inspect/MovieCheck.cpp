#include "MovieCheck.h"

#include <cstring>

#include "database/DatabaseFormat.h"
#include "database/DatabaseReader.h"
#include "database/HandheldName.h"

namespace vantrel::inspect {

namespace {

std::string text(const char* what, long long got, long long expected) {
  return std::string(what) + " is " + std::to_string(got) + ", expected " + std::to_string(expected);
}

void expectField(std::vector<std::string>& problems, const char* what, long long got,
                 long long expected) {
  if (got != expected) problems.push_back(text(what, got, expected));
}

void checkTexts(const MovieHeaderView& h, std::size_t recordSize,
                std::vector<std::string>& problems) {
  expectField(problems, "title offset", h.titleOffset, kMovieHeaderSize);
  expectField(problems, "author offset", h.authorOffset,
              static_cast<long long>(h.titleOffset + h.title.size() + 1));
  expectField(problems, "third text offset", h.thirdTextOffset,
              static_cast<long long>(h.authorOffset + h.author.size() + 1));
  expectField(problems, "text area end", h.textEnd, h.thirdTextOffset + 1LL);
  expectField(problems, "header record size", static_cast<long long>(recordSize), h.textEnd);
}

void checkVideoFields(const MovieHeaderView& h, std::vector<std::string>& problems) {
  const bool truecolor = h.colourMode == kColourModeTruecolor ||
                         h.colourMode == kColourModeTruecolorPlus;
  if (h.colourMode > kColourModeTruecolorPlus || h.colourMode == kColourModeSoundOnly) {
    problems.push_back("colour mode " + std::to_string(h.colourMode) + " is not a video mode");
  }
  if (h.frameWidth == 0 || h.frameWidth > 320 || h.frameWidth % 8 != 0) {
    problems.push_back("frame width " + std::to_string(h.frameWidth) + " is not usable");
  }
  if (h.storedHeight == 0 || h.storedHeight > 720 || h.storedHeight % 8 != 0) {
    problems.push_back("stored height " + std::to_string(h.storedHeight) + " is not usable");
  }
  expectField(problems, "bits per pixel", h.bitsPerPixel, truecolor ? 16 : 8);
  if (h.framesPerSecond == 0) problems.push_back("frames per second is 0");
  if (h.finePeriod == 0) problems.push_back("fine frame period is 0");
}

void checkSoundOnlyFields(const MovieHeaderView& h, std::vector<std::string>& problems) {
  expectField(problems, "frame width", h.frameWidth, 0);
  expectField(problems, "stored height", h.storedHeight, 0);
  expectField(problems, "bits per pixel", h.bitsPerPixel, 0);
  expectField(problems, "colour mode", h.colourMode, kColourModeSoundOnly);
  expectField(problems, "frame period", h.framePeriodMs, kSoundOnlyFramePeriodMs);
  expectField(problems, "frames per second", h.framesPerSecond, kSoundOnlyFramesPerSecond);
  expectField(problems, "key frame interval", h.keyInterval, 0);
  expectField(problems, "first audio record", h.firstAudioRecord, 1);
  expectField(problems, "fine frame period", h.finePeriod, kSoundOnlyFinePeriod);
}

}  // namespace

bool checkMovie(const DatabaseReader& reader, MovieLayout& layout,
                std::vector<std::string>& problems) {
  if (reader.type != kTypeMovie && reader.type != kTypeSound) {
    problems.push_back("type '" + fourCCText(reader.type) + "' is neither 'Mvie' nor 'Wave'");
  }
  if (reader.creator != kCreatorCode) {
    problems.push_back("creator '" + fourCCText(reader.creator) + "' is not 'VnTr'");
  }
  if (!reader.nameTerminated) problems.push_back("the name field has no zero byte");
  for (const std::string& p : reader.structureProblems()) problems.push_back(p);

  MovieHeaderView h;
  if (!reader.movieHeader(h)) {
    problems.push_back("the movie header record cannot be read");
    return false;
  }
  layout.soundOnly = reader.type == kTypeSound;
  expectField(problems, "header version", h.version, kMovieHeaderVersion);
  expectField(problems, "header size", h.headerSize, kMovieHeaderSize);
  checkTexts(h, reader.record(0).size(), problems);
  if (h.audioFormat > kAudioFormatHifiPcm) {
    problems.push_back("audio format " + std::to_string(h.audioFormat) + " is unknown");
  }
  if ((h.flags & kFlagAlways) == 0) problems.push_back("flag 4 is not set");
  if ((h.flags & ~0xF) != 0) problems.push_back("unknown playback flags are set");
  const bool hasSound = (h.flags & kFlagHasSound) != 0;

  if (layout.soundOnly) {
    checkSoundOnlyFields(h, problems);
    layout.frameCount = 0;
    layout.firstAudioRecord = 1;
  } else {
    checkVideoFields(h, problems);
    layout.frameCount = h.frameCount;
    layout.frameWidth = h.frameWidth;
    layout.storedHeight = h.storedHeight;
    if (h.frameCount == 0) problems.push_back("the movie has no frames");
    layout.firstAudioRecord = hasSound ? h.frameCount + 1 : 0;
    expectField(problems, "first audio record", h.firstAudioRecord, layout.firstAudioRecord);
  }
  const int audioRecords = reader.recordCount - 1 - layout.frameCount;
  if (audioRecords < 0) {
    problems.push_back("the database holds fewer records than the header record's frames");
  } else if (!layout.soundOnly && !hasSound && audioRecords != 0) {
    problems.push_back(std::to_string(audioRecords) + " records follow the frames of a silent movie");
  } else {
    layout.audioRecordCount = audioRecords;
  }
  if (layout.audioRecordCount == 0) layout.firstAudioRecord = 0;
  return true;
}

std::vector<std::string> describeMovie(const DatabaseReader& reader, const MovieHeaderView& h) {
  static const char* const kColourModes[] = {"standard 8-bit", "grayscale", "sound only",
                                             "enhanced 8-bit", "truecolor", "truecolor plus"};
  static const char* const kAudioFormats[] = {"8-bit PCM, 10000/s", "IMA ADPCM, 10000/s",
                                              "8-bit PCM, 20000/s"};
  std::vector<std::string> lines;
  lines.push_back("name:          " + handheldNameText(reader.name));
  lines.push_back("type/creator:  " + fourCCText(reader.type) + " / " + fourCCText(reader.creator));
  lines.push_back("records:       " + std::to_string(reader.recordCount));
  lines.push_back("file size:     " + std::to_string(reader.bytes().size()) + " bytes");
  lines.push_back("frame size:    " + std::to_string(h.frameWidth) + " x " +
                  std::to_string(h.storedHeight) + " stored, " + std::to_string(h.bitsPerPixel) +
                  " bits per pixel");
  lines.push_back(std::string("colour mode:   ") + std::to_string(h.colourMode) + " (" +
                  (h.colourMode < 6 ? kColourModes[h.colourMode] : "unknown") + ")");
  lines.push_back(std::string("audio format:  ") + std::to_string(h.audioFormat) + " (" +
                  (h.audioFormat < 3 ? kAudioFormats[h.audioFormat] : "unknown") + ")");
  lines.push_back("timing:        " + std::to_string(h.framesPerSecond) + " fps, " +
                  std::to_string(h.framePeriodMs) + " ms, fine period " + std::to_string(h.finePeriod));
  lines.push_back("key interval:  " + std::to_string(h.keyInterval));
  lines.push_back("flags:         " + std::to_string(h.flags));
  lines.push_back("frame count:   " + std::to_string(h.frameCount));
  lines.push_back("first audio:   " + std::to_string(h.firstAudioRecord));
  lines.push_back("title:         " + h.title);
  lines.push_back("author:        " + h.author);
  return lines;
}

}  // namespace vantrel::inspect
