#include "engine/SoundOnlyDriver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "database/DatabaseFormat.h"
#include "database/HandheldName.h"
#include "database/MovieHeaderRecord.h"
#include "engine/MovieEncoder.h"
#include "engine/MoviePlan.h"
#include "engine/ProgressEvent.h"
#include "sources/AudioStreamSource.h"

namespace vantrel {

namespace {

constexpr const char* kNoAudioText = "The audio stream isn't open";
constexpr const char* kBadRateText = "The audio stream reports no usable sample rate.";
constexpr const char* kOutOfMemoryText = "Not enough memory to encode the sound.";
constexpr const char* kUnexpectedText = "The encode failed unexpectedly.";

}  // namespace

SoundOnlyDriver::SoundOnlyDriver(MovieEncoder& owner, std::FILE* output, const char* name)
    : engine(owner),
      workers(encodeThreadCount(owner.workerThreads)),
      file(output),
      databaseName(name),
      writer(output) {
  engine.encodeWorkers = &workers;
}

SoundOnlyDriver::~SoundOnlyDriver() { engine.encodeWorkers = nullptr; }

void SoundOnlyDriver::report(int event, int value, std::intptr_t data) {
  engine.noteOutcome(event);
  engine.reportProgress(event, value, data);
}

void SoundOnlyDriver::run() {
  try {
    planSound();
    writeDatabaseStart();
    writeSound();
    completeDatabase();
    engine.summary.averageQuality = 1.0;
    report(eventCode(ProgressEvent::Summary), 0,
           reinterpret_cast<std::intptr_t>(&engine.summary));
  } catch (int) {
    report(eventCode(ProgressEvent::Aborted), 0, 0);
  } catch (const char* text) {
    report(eventCode(ProgressEvent::Error), 0, reinterpret_cast<std::intptr_t>(text));
  } catch (const std::bad_alloc&) {
    report(eventCode(ProgressEvent::Error), 0, reinterpret_cast<std::intptr_t>(kOutOfMemoryText));
  } catch (...) {
    report(eventCode(ProgressEvent::Error), 0, reinterpret_cast<std::intptr_t>(kUnexpectedText));
  }
}

void SoundOnlyDriver::planSound() {
  // The name as the handheld will show it (its character set, 31 at most).
  std::memset(engine.summary.databaseName, 0, sizeof engine.summary.databaseName);
  if (databaseName != nullptr) {
    const std::string shown = handheldNameText(handheldNameBytes(databaseName));
    std::strncpy(engine.summary.databaseName, shown.c_str(),
                 sizeof engine.summary.databaseName - 1);
  }
  engine.summary.frameCount = 0;
  engine.summary.averageQuality = 0.0;
  engine.summary.fileSize = 0;

  AudioStreamSource* source = engine.audioSource();
  if (source == nullptr || !source->isOpen()) throw kNoAudioText;
  AudioStreamInfo info;
  // A stream whose rate cannot be read would make the duration meaningless.
  if (int code = source->getStreamInfo(info); code != 0) throw source->errorText(code);
  if (info.rate == 0 || info.scale == 0) throw kBadRateText;

  // A file cut short gives the sound it holds.
  if (const std::string warning = cutSourceWarning(*source); !warning.empty()) {
    report(eventCode(ProgressEvent::Warning), 0,
           reinterpret_cast<std::intptr_t>(warning.c_str()));
  }
  nominalFrames = soundOnlyFrameCount(info);
  const MovieCut cut = fitSoundOnlyMovie(nominalFrames, engine.hifiAudio, engine.adpcmAudio);
  if (cut.cut) {
    const std::string warning = soundCutWarning(cut);
    report(eventCode(ProgressEvent::Warning), 0, reinterpret_cast<std::intptr_t>(warning.c_str()));
  }
  nominalFrames = cut.frameCount;
  audioRecordCount = cut.audioRecordCount;
  engine.summary.frameRate = kSoundOnlyFramesPerSecond;
  engine.summary.frameCount = nominalFrames;
  recordOffsets.assign(std::size_t(2) * (1 + audioRecordCount), 0);
}

void SoundOnlyDriver::writeDatabaseStart() {
  const int records = 1 + audioRecordCount;
  if (!writer.writeHeader(databaseName, kTypeSound, records, palmTimeNow()) ||
      !writer.writeZeroRecordList(records)) {
    throw kWriteFailedText;
  }
  recordOffsets[0] = static_cast<std::int32_t>(writer.position());
  const MovieHeaderRecord header = movieHeaderForSoundOnly(
      engine.hifiAudio, engine.adpcmAudio, engine.holdLastFrame, engine.loopPlayback,
      engine.hasAudio(), nominalFrames, engine.titleText, engine.authorText);
  if (!writer.writeMovieHeaderRecord(header)) throw kWriteFailedText;
}

void SoundOnlyDriver::writeSound() {
  if (engine.writeAudioBlocks(file, audioRecordCount, recordOffsets.data(), 2, 0) != 0) {
    // A full disk is a write error, not an abort the user asked for.
    if (std::ferror(file) != 0) throw kWriteFailedText;
    throw 1;
  }
}

void SoundOnlyDriver::completeDatabase() {
  engine.summary.fileSize = static_cast<std::int32_t>(writer.position());
  engine.recordListToBigEndian(recordOffsets.data(), 1 + audioRecordCount);
  if (!writer.completeRecordList(recordOffsets.data(), 1 + audioRecordCount)) {
    throw kWriteFailedText;
  }
}

}  // namespace vantrel
