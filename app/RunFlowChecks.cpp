// The run's checks of its files before anything is opened, and the lines
// naming them that follow each error and warning.

#include <cstring>
#include <filesystem>

#include "OutputFile.h"
#include "RunFlow.h"
#include "SameFile.h"
#include "platform/AudioDecoder.h"

namespace vantrel {

namespace {

bool isFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

}  // namespace

bool RunFlow::checkOutputIsNotASource(const char* videoFileName,
                                      const char* audioFileName) {
  const char* role = nullptr;
  if (videoFileName != nullptr && isSameFile(settings.outfile, videoFileName)) {
    role = "video";
  } else if (audioFileName != nullptr && isSameFile(settings.outfile, audioFileName)) {
    role = "audio";
  }
  if (role == nullptr) return true;
  settings.printError(
      "Error: the output file is the %s source file; writing it would destroy the "
      "source.\n",
      role);
  return false;
}

bool RunFlow::checkNoFolders(const char* videoFileName, const char* audioFileName) {
  const char* what = nullptr;
  if (videoFileName != nullptr && isFolder(videoFileName)) {
    what = "video file";
  } else if (audioFileName != nullptr && isFolder(audioFileName)) {
    what = "audio file";
  }
  if (what != nullptr) {
    settings.printError("Error: the %s is a folder, not a file.\n", what);
    return false;
  }
  const std::string& output = settings.outfile;
  if (output.ends_with('/') || isFolder(output)) {
    settings.printError(
        "Error: the output file is a folder; name the movie file to write (such as "
        "%s%smovie.pdb).\n",
        output.c_str(), output.ends_with('/') ? "" : "/");
    return false;
  }
  return true;
}

std::string RunFlow::concernedFiles() const {
  std::string lines;
  if (!settings.vidfile.empty())
    lines += "    - video file \"" + settings.vidfile + "\"\n";
  if (!settings.audfile.empty())
    lines += "    - audio file \"" + settings.audfile + "\"\n";
  if (!settings.outfile.empty()) {
    lines += "    - output file \"" + settings.outfile + "\"";
    // Why a write failed (a full disk), which the engine's message cannot say.
    if (writingOutput != nullptr && writingOutput->writeError() != 0) {
      lines += std::string(": ") + std::strerror(writingOutput->writeError());
    }
    lines += "\n";
  }
  return lines;
}

bool RunFlow::checkAudioStreamExists(const char* audioFileName) {
  const int wanted = settings.audiotrack;
  if (audioFileName == nullptr || wanted <= 0) return true;
  // A file that is no media file at all fails later, with its own message.
  const int count = countAudioStreams(audioFileName);
  if (count < 0 || wanted <= count) return true;
  settings.printError(
      "Error: -audiotrack=%d asks for audio stream %d, but the audio file has "
      "%d audio stream%s.\n",
      wanted, wanted, count, count == 1 ? "" : "s");
  return false;
}

void RunFlow::printFileLines(const char* videoFileName, const char* audioFileName,
                             const char* end) {
  if (videoFileName != nullptr)
    settings.printPlain("    - video file \"%s\"\n", videoFileName);
  if (audioFileName != nullptr)
    settings.printPlain("    - audio file \"%s\"\n", audioFileName);
  settings.printPlain("%s", end);
}

}  // namespace vantrel
