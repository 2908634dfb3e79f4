#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "PictureConversion.h"
#include "PreviewWriter.h"

namespace vantrel {
struct MovieHeaderView;
}

namespace vantrel::inspect {

struct SoundTrack;

// The movie as the handheld plays it, written as a playable file (-preview=):
// every decoded frame for one frame period, enlarged zoom times by nearest
// neighbour, beside the placed source picture when there is one, and the
// movie's sound, cut where the pictures end, written in step with them.
class MoviePreview {
 public:
  // For the movie of header holding frameCount frames (0 for a sound-only
  // database) and sound (null or empty when it has none).
  MoviePreview(std::string path, int zoom, const MovieHeaderView& header, int frameCount,
               const SoundTrack* sound);

  // Creates the file for handheld pictures of width x height (before the zoom;
  // twice as wide when sideBySide), or for the sound alone when width is 0.
  // Returns false with error() set.
  bool start(int width, int height, bool sideBySide);

  // Starts and fills the preview of a sound-only database: the sound alone,
  // or, in a container of pictures only, the still picture of the movie's
  // name for as long as the sound lasts.
  bool startSoundOnly(const std::string& name);
  bool started() const { return open; }

  // Adds the next frame, with source (the placed source picture, of the
  // frame's size) on its left when side by side, and the sound up to the
  // frame's end; unless quiet, rewrites the progress line "preview: N of M
  // frames" on out.
  bool addFrame(const RgbPicture& frame, const RgbPicture* source, bool quiet,
                std::ostream& out);

  // Writes the rest of the sound, completes the file and prints its summary
  // line: the file, its duration and size as FFmpeg reads them back (only the
  // codecs for a device or pipe). On failure nothing is left of the file, an
  // earlier file of its name is kept, and error() says why.
  bool finish(std::ostream& out);

  // Ends a progress line left open by frames that stopped short.
  void endProgress(std::ostream& out);

  const std::string& error() const { return failure; }

 private:
  bool writeSoundUntil(std::size_t end);
  bool fail(const std::string& why);

  std::string path;
  int zoom = 2;
  double framesPerSecond = 0.0;
  int frameCount = 0;
  int sampleRate = 0;
  std::vector<std::int16_t> samples;  // the sound, cut at the end of the pictures
  std::size_t soundWritten = 0;
  int framesDone = 0;
  bool progressShown = false;  // a progress line waits for its line feed
  bool open = false;
  PreviewWriter writer;
  std::string failure;
};

}  // namespace vantrel::inspect
