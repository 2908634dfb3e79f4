#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/MovieEncoder.h"
#include "engine/ProgressEvent.h"

namespace vantrel::test {

// One reportProgress call as the engine made it; texts are copied.
struct RecordedEvent {
  int event = 0;
  int value = 0;
  std::intptr_t data = 0;
  std::string text;  // for Warning and Error events
};

// An engine whose progress hook records every event, and may run an action on
// each one (for example to request an abort part-way through).
class RecordingEncoder : public MovieEncoder {
 public:
  int reportProgress(int event, int value, std::intptr_t data) override {
    RecordedEvent recorded{event, value, data, {}};
    if (event == eventCode(ProgressEvent::Warning) || event == eventCode(ProgressEvent::Error)) {
      recorded.text = reinterpret_cast<const char*>(data);
    }
    events.push_back(recorded);
    if (onEvent) onEvent(*this, recorded);
    return 0;
  }

  int count(ProgressEvent event) const {
    int n = 0;
    for (const RecordedEvent& e : events) n += e.event == eventCode(event) ? 1 : 0;
    return n;
  }
  // The first event of a kind, or null.
  const RecordedEvent* first(ProgressEvent event) const {
    for (const RecordedEvent& e : events) {
      if (e.event == eventCode(event)) return &e;
    }
    return nullptr;
  }
  // Index of the first event of a kind in events, or -1.
  int indexOf(ProgressEvent event) const {
    for (std::size_t i = 0; i < events.size(); ++i) {
      if (events[i].event == eventCode(event)) return static_cast<int>(i);
    }
    return -1;
  }

  std::vector<RecordedEvent> events;
  std::function<void(RecordingEncoder&, const RecordedEvent&)> onEvent;
};

// A temporary output file, read back as bytes.
class OutputFile {
 public:
  OutputFile() : file(std::tmpfile()) {}
  ~OutputFile() {
    if (file != nullptr) std::fclose(file);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* get() const { return file; }
  std::vector<std::uint8_t> bytes() const {
    std::fflush(file);
    std::rewind(file);
    std::vector<std::uint8_t> out;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) out.push_back(std::uint8_t(c));
    return out;
  }

 private:
  std::FILE* file;
};

}  // namespace vantrel::test
