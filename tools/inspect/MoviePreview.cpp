#include "MoviePreview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "MediaProbe.h"
#include "NameCard.h"
#include "PictureFile.h"
#include "SoundTrack.h"
#include "database/DatabaseReader.h"

namespace vantrel::inspect {

namespace {

// The still picture of a sound-only movie: the smallest handheld screen.
constexpr int kNameCardWidth = 160;
constexpr int kNameCardHeight = 160;
// Samples handed to the sound encoder at a time.
constexpr std::size_t kSoundPiece = 65536;
// The progress line is rewritten every this many frames, and at the last.
constexpr int kProgressStep = 10;

}  // namespace

MoviePreview::MoviePreview(std::string file, int enlargement,
                           const MovieHeaderView& header, int frames,
                           const SoundTrack* sound)
    : path(std::move(file)), zoom(std::max(enlargement, 1)), frameCount(frames) {
  framesPerSecond = movieFrameRate(header);
  if (sound == nullptr) return;
  sampleRate = sound->sampleRate;
  if (sound->bitsPerSample == 16) {
    samples = sound->pcm16;
  } else {
    samples.reserve(sound->pcm8.size());
    for (std::uint8_t s : sound->pcm8)
      samples.push_back(std::int16_t((int(s) - 128) * 256));
  }
  // Past the movie's sound length lies only the records' padding.
  const std::size_t end = movieSoundLength(header, frameCount, sampleRate);
  if (samples.size() > end) samples.resize(end);
  if (samples.empty()) sampleRate = 0;
}

bool MoviePreview::fail(const std::string& why) {
  failure = path + ": " + why;
  writer.abandon();
  open = false;
  return false;
}

bool MoviePreview::start(int width, int height, bool sideBySide) {
  PreviewShape shape;
  if (width > 0) {
    if (!(framesPerSecond > 0.0)) return fail("the movie has no frame rate");
    shape.width = width * zoom * (sideBySide ? 2 : 1);
    shape.height = height * zoom;
    shape.framesPerSecond = framesPerSecond;
  }
  shape.sampleRate = sampleRate;
  if (const std::string why = writer.open(path, shape); !why.empty()) return fail(why);
  open = true;
  return true;
}

bool MoviePreview::startSoundOnly(const std::string& name) {
  if (previewHoldsSound(path)) return start(0, 0, false);
  const RgbPicture card = enlarged(nameCard(name, kNameCardWidth, kNameCardHeight), zoom);
  const double seconds = sampleRate > 0 ? double(samples.size()) / sampleRate : 0.0;
  frameCount = std::max(1, int(std::lround(seconds * framesPerSecond)));
  if (!start(kNameCardWidth, kNameCardHeight, false)) return false;
  for (int frame = 0; frame < frameCount; ++frame) {
    if (const std::string why = writer.writePicture(card); !why.empty()) return fail(why);
  }
  return true;
}

bool MoviePreview::writeSoundUntil(std::size_t end) {
  end = std::min(end, samples.size());
  // In pieces, so that an hour of sound alone is never converted in one go.
  while (soundWritten < end) {
    const std::size_t count = std::min(end - soundWritten, kSoundPiece);
    if (const std::string why = writer.writeSound(samples.data() + soundWritten, count);
        !why.empty()) {
      return fail(why);
    }
    soundWritten += count;
  }
  return true;
}

bool MoviePreview::addFrame(const RgbPicture& frame, const RgbPicture* source, bool quiet,
                            std::ostream& out) {
  if (!open) return false;
  const RgbPicture shown =
      source != nullptr ? sideBySide(enlarged(*source, zoom), enlarged(frame, zoom))
                        : enlarged(frame, zoom);
  if (const std::string why = writer.writePicture(shown); !why.empty()) return fail(why);
  ++framesDone;
  if (!writeSoundUntil(
          std::size_t(std::llround(framesDone * sampleRate / framesPerSecond)))) {
    return false;
  }
  if (!quiet && (framesDone % kProgressStep == 0 || framesDone == frameCount)) {
    out << "\rpreview:       " << framesDone << " of " << frameCount << " frames";
    if (framesDone == frameCount) out << "\n";
    out << std::flush;
    progressShown = framesDone < frameCount;
  }
  return true;
}

void MoviePreview::endProgress(std::ostream& out) {
  if (progressShown) out << "\n";
  progressShown = false;
}

bool MoviePreview::finish(std::ostream& out) {
  if (!open) return false;
  endProgress(out);
  open = false;
  if (!writeSoundUntil(samples.size())) return false;
  if (const std::string why = writer.finish(); !why.empty()) return fail(why);
  if (writer.writtenInPlace()) {
    // A device or a pipe: nothing to read back.
    out << "preview:       " << path << ": written, " << writer.codecNames() << "\n";
    return true;
  }
  const std::optional<MediaFacts> facts = probeMedia(path);
  if (!facts) return fail("FFmpeg cannot read the preview back");
  char line[160];
  std::snprintf(line, sizeof line, ": %.2f s, %ju bytes, %s", facts->seconds,
                facts->bytes, writer.codecNames().c_str());
  out << "preview:       " << path << line;
  if (facts->videoFrames > 0) {
    out << ", " << facts->videoFrames << " frames of " << facts->width << " x "
        << facts->height;
  }
  out << "\n";
  return true;
}

}  // namespace vantrel::inspect
