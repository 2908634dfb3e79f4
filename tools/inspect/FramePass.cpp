#include "FramePass.h"

#include "codec/FrameDecoder.h"
#include "database/DatabaseReader.h"

namespace vantrel::inspect {

FrameReport decodeFrames(const DatabaseReader& reader, int frameCount, int frameWidth,
                         int storedHeight, int keyInterval, const FrameVisitor& visit) {
  FrameReport report;
  FrameDecoder decoder(frameWidth, storedHeight);
  for (int k = 0; k < frameCount; ++k) {
    const int recordIndex = k + 1;
    const auto record = reader.record(recordIndex);
    const DecodeStatus status = decoder.decodeNextFrame(record.data(), record.size());
    if (status != DecodeStatus::Ok) {
      report.firstBadRecord = recordIndex;
      report.problems.push_back("record " + std::to_string(recordIndex) + " (frame " +
                                std::to_string(k) + "): " + decodeStatusText(status));
      break;
    }
    ++report.decoded;
    report.entries.push_back({decoder.lastFrameKind(), decoder.lastFrameHadPalette(), record.size()});
    const bool key = decoder.lastFrameKind() == 1;
    if (key) ++report.keyFrames;
    const bool keyExpected = k == 0 || (keyInterval != 0 && k % keyInterval == 0);
    if (key != keyExpected) {
      report.problems.push_back("frame " + std::to_string(k) + " is " +
                                (key ? "a key frame" : "a difference frame") + ", expected " +
                                (keyExpected ? "a key frame" : "a difference frame"));
    }
    if (decoder.lastFrameHadPalette() != (k == 0)) {
      report.problems.push_back("frame " + std::to_string(k) +
                                (k == 0 ? " carries no palette" : " carries a palette"));
    }
    if (visit) visit(k, decoder.picture(), decoder.palette());
  }
  return report;
}

}  // namespace vantrel::inspect
