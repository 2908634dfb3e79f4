#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingEncoder.h"
#include "database/DatabaseReader.h"
#include "support/FakeAudioSource.h"
#include "support/FakeVideoSource.h"

namespace vantrel::test {

// An engine with a fake video stream selected and a temporary output file.
class VideoEncodeFixture : public ::testing::Test {
 protected:
  // Selects a fake stream of length frames at rate fps, width x height pixels.
  void useVideo(int length, int rate = 15, int width = 32, int height = 32) {
    VideoStreamInfo info;
    info.rate = rate;
    info.scale = 1;
    info.length = length;
    info.width = width;
    info.height = height;
    video.setStream(info);
    ASSERT_EQ(video.open("clip"), 0);
    engine.selectedVideo = &video;
  }

  // Selects a fake mono 16-bit sound of the given length at 10000 samples/s.
  void useAudio(double seconds) {
    const int frames = static_cast<int>(seconds * 10000);
    std::vector<std::int16_t> samples(std::size_t(frames), 0);
    for (int i = 0; i < frames; ++i) samples[std::size_t(i)] = std::int16_t((i % 100) * 100 - 5000);
    audio = std::make_unique<FakeAudioSource>(FakeAudioSource::pcmInfo(10000, 16, 1),
                                              FakeAudioSource::packInt16(samples));
    engine.selectedAudio = audio.get();
  }

  // Runs encodeMovie with the engine's screen and colour settings.
  void encode(std::FILE* file = nullptr) {
    engine.encodeMovie(file != nullptr ? file : output.get(), "Test movie", engine.screenWidth,
                       engine.screenHeight, engine.colorDepth, engine.flipVertical,
                       engine.flipHorizontal, engine.rotate, 0.0f, 0.0f, 0, 0);
  }

  // Parses what the encode wrote.
  DatabaseReader readBack() {
    DatabaseReader reader;
    EXPECT_TRUE(reader.parse(output.bytes())) << reader.error();
    return reader;
  }

  // Sources first: the engine closes its selections when it goes.
  FakeVideoSource video;
  std::unique_ptr<FakeAudioSource> audio;
  RecordingEncoder engine;
  OutputFile output;
};

}  // namespace vantrel::test
