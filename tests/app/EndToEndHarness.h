#pragma once

// Whole runs of the console program for the end-to-end tests: the run flow of
// the program entry with the real source kinds and the console engine, on clips
// the test writes into a scratch directory, with the console streams captured.
//
// Every run also records, frame by frame, what the encoder made: the handheld
// frame it compressed and its own reconstruction of it (copied from the
// engine's preview pictures while the encode goes on). decodeMovie() then reads
// the written database back with the player's decoder, so a test can hold the
// file against what the encoder believed it wrote.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleMovieEncoder.h"
#include "RunFlow.h"
#include "codec/DecodeStatus.h"
#include "database/DatabaseReader.h"
#include "support/TestClips.h"

namespace vantrel::test {

// One call of the engine's progress hook.
struct ProgressCall {
  int event = 0;
  int value = 0;
  std::intptr_t data = 0;
};

// What the encoder had for one output frame, both frameWidth x storedHeight
// samples, top row first.
struct EncodedFrame {
  std::vector<std::uint8_t> handheld;  // the frame given to the codec
  std::vector<std::uint8_t> recon;     // the codec's reconstruction of it
};

// One frame record of the written file as the player decodes it.
struct DecodedFrame {
  DecodeStatus status = DecodeStatus::Ok;
  int kind = 0;             // 1 key frame, 2 difference frame
  bool hadPalette = false;  // a key frame that carried the palette
  std::size_t length = 0;   // record bytes
  std::vector<std::uint8_t> picture;
};

class EndToEndHarness {
 public:
  EndToEndHarness();
  ~EndToEndHarness();
  EndToEndHarness(const EndToEndHarness&) = delete;
  EndToEndHarness& operator=(const EndToEndHarness&) = delete;

  // Path of name in the run's scratch directory.
  std::string file(const std::string& name) const { return scratch.file(name); }

  // Replaces the AVI video kind by a test double for the next runs (null puts
  // the real kind back). The double must outlive the runs.
  void replaceAviVideoKind(VideoStreamSource* kind) { videoStandIn = kind; }

  // Whether the next runs keep every encoded frame (on by default; a very long
  // movie can do without).
  void keepEncodedFrames(bool keep) { keepFrames = keep; }

  // Whether the next runs use fast encode (as -fastencode does).
  void fastEncode(bool fast) { fastEncoding = fast; }

  // The engine's threads and how many bytes of analysed pictures it keeps for
  // the frame pass. The frame records above need every frame read on the
  // encoder's thread right before it is encoded, so unless a test says
  // otherwise the runs use one thread and keep no pictures (0 threads: one per
  // processor, as the program does).
  void engineThreads(int count) { threadCount = count; }
  void keepAnalysedPictures(std::int64_t bytes) { keptBytes = bytes; }

  // Runs the program with these arguments after the program path "vantrel",
  // on fresh program objects (settings, engine, source kinds), and loads the
  // output file named by -outfile= when it exists. Returns the exit status.
  int run(const std::vector<std::string>& arguments);

  // Console output of the last run.
  const std::string& output() const { return outputText; }
  const std::string& errors() const { return errorText; }

  // The last run's engine, its progress calls and, in order, the source frame
  // indices it asked the video source for (both passes).
  ConsoleMovieEncoder& engine();
  const std::vector<ProgressCall>& progress() const;
  const std::vector<int>& frameReads() const;
  // Frames the encoder compressed and wrote, in order.
  const std::vector<EncodedFrame>& encodedFrames() const;

  // The output database of the last run (valid when databaseLoaded()).
  bool databaseLoaded() const { return loaded; }
  const DatabaseReader& database() const { return reader; }

  // Decodes frame records 1 to frameCount of the database in order with the
  // player's decoder, using the frame size of the movie header record.
  std::vector<DecodedFrame> decodeMovie() const;
  // Decodes the movie and counts the frames that do not decode or whose picture
  // differs from the encoder's reconstruction; a frame count that differs from
  // the frames encoded counts as one more. 0 for a movie the player shows
  // exactly as the encoder saw it.
  int framesUnlikeTheEncoder() const;

 private:
  ScratchDirectory scratch;
  VideoStreamSource* videoStandIn = nullptr;
  bool keepFrames = true;
  bool fastEncoding = false;
  int threadCount = 1;
  std::int64_t keptBytes = 0;
  struct Objects;
  std::unique_ptr<Objects> objects;
  std::string outputText;
  std::string errorText;
  DatabaseReader reader;
  bool loaded = false;
};

// Flags for a run: "-vidfile=<clip>", "-outfile=<movie>" and the extra ones.
std::vector<std::string> movieArguments(const std::string& clip, const std::string& movie,
                                        const std::vector<std::string>& extra = {});

// The command that starts the built program itself in a child process: the
// program (under its emulator when cross-built) followed by arguments.
std::vector<std::string> programCommand(const std::vector<std::string>& arguments);

}  // namespace vantrel::test
