// Fuzz entry: a whole movie database through the inspect tool's reader,
// checks and decoders.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "FramePass.h"
#include "FuzzTargets.h"
#include "MovieCheck.h"
#include "PictureConversion.h"
#include "PictureFile.h"
#include "SoundTrack.h"
#include "database/DatabaseReader.h"

namespace vantrel::fuzz {

int fuzzMovieDatabase(const std::uint8_t* data, std::size_t size) {
  DatabaseReader reader;
  if (!reader.parse(std::vector<std::uint8_t>(data, data + size))) return 0;
  const std::vector<std::string> structure = reader.structureProblems();
  for (int i = 0; i < reader.recordCount; ++i) {
    (void)reader.record(i);
    (void)reader.recordEntryTail(i);
  }

  inspect::MovieLayout layout;
  std::vector<std::string> problems;
  MovieHeaderView header;
  if (!inspect::checkMovie(reader, layout, problems) || !reader.movieHeader(header)) return 0;
  (void)inspect::describeMovie(reader, header);

  // The same conditions vantrel-inspect puts on decoding the frames.
  if (!layout.soundOnly && layout.frameCount > 0 && layout.frameCount < reader.recordCount) {
    (void)inspect::decodeFrames(
        reader, layout.frameCount, layout.frameWidth, layout.storedHeight, header.keyInterval,
        [&](int index, const std::uint8_t* samples, const std::array<std::uint32_t, 256>& palette) {
          // The conversion's cost grows with the picture, not with the input:
          // the first picture of one input in eight shows it reads inside the
          // frame, and leaves the search its time for the decoders.
          if (index != 0 || (data[size - 1] & 7) != 0) return;
          (void)inspect::encodePpm(inspect::framePicture(
              samples, layout.frameWidth, layout.storedHeight, header.colourMode, palette));
        });
  }
  if (layout.audioRecordCount > 0) {
    const inspect::SoundTrack sound =
        inspect::decodeSound(reader, layout.firstAudioRecord, header.audioFormat);
    (void)inspect::encodeWav(sound);
  }
  return 0;
}

}  // namespace vantrel::fuzz
