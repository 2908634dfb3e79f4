#pragma once

#include <string>
#include <vector>

namespace vantrel {
class DatabaseReader;
struct MovieHeaderView;
}  // namespace vantrel

namespace vantrel::inspect {

// What the header record says about the records that follow it.
struct MovieLayout {
  bool soundOnly = false;   // a 'Wave' database
  int frameCount = 0;       // frame records (0 for a sound-only database)
  int firstAudioRecord = 0; // 0 when the movie has no sound
  int audioRecordCount = 0;
  int frameWidth = 0;
  int storedHeight = 0;
};

// Checks the database header, the record list and the movie header record of a
// parsed database against the format: type and creator, the record list's
// offsets, every header record field and the text offsets, the number of
// records against the frame count and the sound flag. Appends one line per problem to problems and fills layout as far
// as the header record can be read. Returns true when the header record was read.
bool checkMovie(const DatabaseReader& reader, MovieLayout& layout,
                std::vector<std::string>& problems);

// One line per header field, for the report.
std::vector<std::string> describeMovie(const DatabaseReader& reader,
                                       const MovieHeaderView& header);

}  // namespace vantrel::inspect
