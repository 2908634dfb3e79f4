#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/SourceKinds.h"
#include "sources/SourceRegistry.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"
#include "support/EncodedClipWriter.h"
#include "support/FakeVideoSource.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

// An audio kind whose start-up and open answer chosen codes.
class ScriptedAudioKind final : public AudioStreamSource {
 public:
  explicit ScriptedAudioKind(std::uint32_t kindTag) : tag(kindTag) {}
  ~ScriptedAudioKind() = default;

  int openCode = 0;
  int startupCode = 0;
  std::vector<std::string> names;
  int closes = 0;

  void close() override {
    if (opened) ++closes;
    opened = false;
  }
  bool isOpen() override { return opened; }
  int open(const char* fileName) override {
    names.emplace_back(fileName);
    opened = openCode == 0;
    return openCode;
  }
  std::uint32_t kind() override { return tag; }
  int startup() override { return startupCode; }
  int read(int, int, void*, int, int& bytesRead, int& samplesRead) override {
    bytesRead = samplesRead = 0;
    return 0;
  }
  int getStreamInfo(AudioStreamInfo&) override { return 0; }
  int firstSample() override { return 0; }
  int sampleCount() override { return 0; }

 private:
  std::uint32_t tag;
  bool opened = false;
};

class SourceRegistryTest : public ::testing::Test {
 protected:
  SourceRegistryTest()
      : aviVideo(kVideoKindAvi),
        movieVideo(kVideoKindMovie),
        aviAudio(kAudioKindAvi),
        movieAudio(kAudioKindMovie),
        videoKinds{&aviVideo, &movieVideo},
        audioKinds{&aviAudio, &movieAudio} {
    EXPECT_TRUE(test::writeTextFile(directory.file("clip.avi"), "fake"));
    EXPECT_TRUE(test::writeTextFile(directory.file("clip.MOV"), "fake"));
    EXPECT_TRUE(test::writeTextFile(directory.file("sound.wav"), "fake"));
  }

  const char* open(const std::string& audio, const std::string& video) {
    audioName = audio.empty() ? audio : directory.file(audio);
    videoName = video.empty() ? video : directory.file(video);
    return openSources(audioName.c_str(), videoName.c_str(), &audioKinds, &videoKinds,
                       selectedAudio, selectedVideo, sink);
  }

  test::ScratchDirectory directory;
  FakeVideoSource aviVideo;
  FakeVideoSource movieVideo;
  ScriptedAudioKind aviAudio;
  ScriptedAudioKind movieAudio;
  VideoSourceList videoKinds;
  AudioSourceList audioKinds;
  AudioStreamSource* selectedAudio = nullptr;
  VideoStreamSource* selectedVideo = nullptr;
  std::vector<std::string> messages;
  MessageSink sink = [this](const std::string& text) { messages.push_back(text); };
  std::string audioName;
  std::string videoName;
};

TEST_F(SourceRegistryTest, StartupWarnsForEachFailedKindAndSucceedsWhenOneStarts) {
  movieVideo.setStartupResult(13);
  aviAudio.startupCode = 7;
  EXPECT_TRUE(startupSources(audioKinds, videoKinds, sink));
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(
      "WARNING: Video Stream Source Initialization Failed:\n    - Unknown ErrCode 13\n\n",
      messages[0]);
  EXPECT_EQ(
      "WARNING: Audio Stream Source Initialization Failed:\n    - An error occurred "
      "while "
      "opening the audio file\n\n",
      messages[1]);
}

TEST_F(SourceRegistryTest, StartupFailsWithTheFatalMessageWhenNoKindStarts) {
  aviVideo.setStartupResult(9);
  movieVideo.setStartupResult(9);
  aviAudio.startupCode = 10;
  movieAudio.startupCode = 10;
  EXPECT_FALSE(startupSources(audioKinds, videoKinds, sink));
  ASSERT_EQ(5u, messages.size());
  EXPECT_EQ("\nFATAL ERROR: No stream source was able to initialize successfully\n\n",
            messages[4]);
}

TEST_F(SourceRegistryTest, FirstKindThatOpensIsSelectedForEachFile) {
  aviAudio.openCode = 14;
  EXPECT_EQ(nullptr, open("sound.wav", "clip.avi"));
  EXPECT_EQ(&aviVideo, selectedVideo);
  EXPECT_TRUE(movieVideo.openedNames().empty());
  EXPECT_EQ(&movieAudio, selectedAudio);
  EXPECT_EQ(1u, aviAudio.names.size());
  EXPECT_TRUE(messages.empty());
}

TEST_F(SourceRegistryTest, FileWithoutVideoStopsTheVideoSearchWithoutError) {
  aviVideo.setOpenResult(kVideoNoVideo);
  EXPECT_EQ(nullptr, open("sound.wav", "sound.wav"));
  EXPECT_EQ(nullptr, selectedVideo);
  EXPECT_TRUE(movieVideo.openedNames().empty());  // the search stopped
  EXPECT_EQ(&aviAudio, selectedAudio);            // and went on with the sound
}

TEST_F(SourceRegistryTest, FileWithoutSoundEndsTheAudioSearchWithSuccess) {
  aviAudio.openCode = kAudioNoAudio;
  EXPECT_EQ(nullptr, open("clip.avi", "clip.avi"));
  EXPECT_EQ(nullptr, selectedAudio);
  EXPECT_TRUE(movieAudio.names.empty());
  EXPECT_EQ(&aviVideo, selectedVideo);
}

TEST_F(SourceRegistryTest, NoKindForTheVideoGivesTheFirstKindsFormatText) {
  aviVideo.setOpenResult(8);
  movieVideo.setOpenResult(11);
  EXPECT_STREQ("The video file is corrupt or is an unrecognized format",
               open("sound.wav", "clip.avi"));
  EXPECT_EQ(nullptr, selectedVideo);
}

TEST_F(SourceRegistryTest, VideoErrorEndsTheCallBeforeTheAudioFile) {
  aviVideo.setOpenResult(6);
  movieVideo.setOpenResult(6);
  EXPECT_NE(nullptr, open("sound.wav", "clip.avi"));
  EXPECT_TRUE(aviAudio.names.empty());
  EXPECT_TRUE(movieAudio.names.empty());
  EXPECT_EQ(nullptr, selectedAudio);
}

TEST_F(SourceRegistryTest, NoKindForTheSoundGivesTheFirstKindsFormatText) {
  aviAudio.openCode = 14;
  movieAudio.openCode = 12;
  EXPECT_STREQ("The audio file is corrupt, compressed or is in an unrecognized format",
               open("sound.wav", ""));
  EXPECT_EQ(nullptr, selectedAudio);
}

TEST_F(SourceRegistryTest, MovieNameWithLibrariesMissingShowsTheVideoBox) {
  aviVideo.setOpenResult(6);
  movieVideo.setOpenResult(kVideoMovieLibraryMissing);
  EXPECT_STREQ("The video file is corrupt or is an unrecognized format",
               open("", "clip.MOV"));
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("QuickTime Video Source Initialization Error: Unknown ErrCode 13\n",
            messages[0]);
}

TEST_F(SourceRegistryTest, AudioBoxOfMissingLibrariesIsNotShownAfterTheVideoBox) {
  FakeVideoSource lastVideo;  // a third kind that takes the file after the box
  videoKinds.push_back(&lastVideo);
  aviVideo.setOpenResult(6);
  movieVideo.setOpenResult(kVideoMovieLibraryMissing);
  aviAudio.openCode = 5;
  movieAudio.openCode = kAudioMovieLibraryMissing;
  EXPECT_STREQ("The audio file is corrupt, compressed or is in an unrecognized format",
               open("clip.MOV", "clip.MOV"));
  EXPECT_EQ(&lastVideo, selectedVideo);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(0u, messages[0].find("QuickTime Video Source Initialization Error: "));
  closeSources(selectedAudio, selectedVideo);
}

TEST_F(SourceRegistryTest, AudioBoxIsShownWhenNoVideoBoxCameFirst) {
  aviAudio.openCode = 5;
  movieAudio.openCode = kAudioMovieLibraryMissing;
  EXPECT_NE(nullptr, open("clip.MOV", ""));
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("QuickTime Audio Source Initialization Error: Unknown ErrCode 14\n",
            messages[0]);
}

TEST_F(SourceRegistryTest, MissingSoundConversionShowsItsBoxForMovieNames) {
  movieVideo.setOpenResult(kVideoMovieLibraryMissing);
  aviVideo.setOpenResult(kVideoNoVideo);
  aviAudio.openCode = 5;
  movieAudio.openCode = kAudioMovieConversionMissing;
  open("clip.MOV", "clip.MOV");
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("QuickTime Audio Source Initialization Error: Unknown ErrCode 15\n",
            messages[0]);
}

TEST_F(SourceRegistryTest, OtherNamesShowNoBoxes) {
  aviVideo.setOpenResult(6);
  movieVideo.setOpenResult(kVideoMovieLibraryMissing);
  EXPECT_NE(nullptr, open("", "clip.avi"));
  EXPECT_TRUE(messages.empty());
}

TEST_F(SourceRegistryTest, NameOfOnlyFourCharactersIsNoMovieName) {
  ASSERT_TRUE(test::writeTextFile(directory.file(".mov"), "fake"));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(directory.path());
  aviVideo.setOpenResult(6);
  movieVideo.setOpenResult(kVideoMovieLibraryMissing);
  const char* error = openSources("", ".mov", &audioKinds, &videoKinds, selectedAudio,
                                  selectedVideo, sink);
  std::filesystem::current_path(previous);
  EXPECT_NE(nullptr, error);
  EXPECT_TRUE(messages.empty());
}

TEST_F(SourceRegistryTest, MissingFilesAreToldBeforeAnyKindIsAsked) {
  EXPECT_STREQ("The specified video file doesn't exist", open("sound.wav", "absent.avi"));
  EXPECT_TRUE(aviVideo.openedNames().empty());
  EXPECT_STREQ("The specified audio file doesn't exist", open("absent.wav", "clip.avi"));
  EXPECT_TRUE(aviAudio.names.empty());
}

TEST_F(SourceRegistryTest, EmptyListsAreInternalErrors) {
  VideoSourceList noVideoKinds;
  AudioSourceList noAudioKinds;
  const std::string file = directory.file("clip.avi");
  EXPECT_STREQ(
      "Internal Error: A video file was specified but the list of video stream sources "
      "is empty.",
      openSources("", file.c_str(), &noAudioKinds, &noVideoKinds, selectedAudio,
                  selectedVideo, sink));
  EXPECT_STREQ(
      "Internal Error: An audio file was specified but the list of audio stream sources "
      "is empty.",
      openSources(file.c_str(), "", &noAudioKinds, &noVideoKinds, selectedAudio,
                  selectedVideo, sink));
}

TEST_F(SourceRegistryTest, MissingNamesAndListsAreSkipped) {
  EXPECT_EQ(nullptr, openSources(nullptr, nullptr, &audioKinds, &videoKinds,
                                 selectedAudio, selectedVideo, sink));
  const std::string file = directory.file("clip.avi");
  EXPECT_EQ(nullptr, openSources(file.c_str(), file.c_str(), nullptr, nullptr,
                                 selectedAudio, selectedVideo, sink));
  EXPECT_TRUE(aviVideo.openedNames().empty());
  EXPECT_TRUE(aviAudio.names.empty());
}

TEST_F(SourceRegistryTest, EarlierSelectionsAreClosedBeforeANewSearch) {
  ASSERT_EQ(nullptr, open("sound.wav", "clip.avi"));
  ASSERT_EQ(&aviVideo, selectedVideo);
  ASSERT_EQ(nullptr, open("sound.wav", "clip.avi"));
  EXPECT_EQ(1, aviVideo.closeCount());
  EXPECT_EQ(1, aviAudio.closes);
}

TEST_F(SourceRegistryTest, FilesOfTwoGigabytesAndMoreOpenWithoutAWarning) {
  const std::string big = directory.file("big.avi");
  ASSERT_TRUE(test::writeTextFile(big, ""));
  std::filesystem::resize_file(big, std::uintmax_t(1) << 31);  // sparse
  EXPECT_EQ(nullptr, openSources("", big.c_str(), &audioKinds, &videoKinds, selectedAudio,
                                 selectedVideo, sink));
  EXPECT_EQ(&aviVideo, selectedVideo);
  EXPECT_TRUE(messages.empty());
}

TEST_F(SourceRegistryTest, CloseSourcesClosesBothSelectionsAndIsSafeTwice) {
  ASSERT_EQ(nullptr, open("sound.wav", "clip.avi"));
  closeSources(selectedAudio, selectedVideo);
  EXPECT_EQ(nullptr, selectedVideo);
  EXPECT_EQ(nullptr, selectedAudio);
  EXPECT_FALSE(aviVideo.isOpen());
  EXPECT_FALSE(aviAudio.isOpen());
  closeSources(selectedAudio, selectedVideo);
  EXPECT_EQ(1, aviVideo.closeCount());
}

TEST_F(SourceRegistryTest, MessageBoxIsCaptionColonTextLine) {
  showMessageBox(sink, "Caption", "Text");
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("Caption: Text\n", messages[0]);
  showMessageBox(MessageSink(), "dropped", "quietly");  // an empty sink is allowed
}

// The four real kinds in their program order.
class SourceRegistryRealKindsTest : public ::testing::Test {
 protected:
  const char* open(const std::string& audio, const std::string& video) {
    audioName = audio.empty() ? audio : directory.file(audio);
    videoName = video.empty() ? video : directory.file(video);
    return openSources(audioName.c_str(), videoName.c_str(), &audioKinds, &videoKinds,
                       selectedAudio, selectedVideo, sink);
  }

  test::ScratchDirectory directory;
  VideoStreamSourceAVI aviVideo;
  VideoStreamSourceQT movieVideo;
  AudioStreamSourceAVI aviAudio;
  AudioStreamSourceQT movieAudio;
  VideoSourceList videoKinds{&aviVideo, &movieVideo};
  AudioSourceList audioKinds{&aviAudio, &movieAudio};
  AudioStreamSource* selectedAudio = nullptr;
  VideoStreamSource* selectedVideo = nullptr;
  std::vector<std::string> messages;
  MessageSink sink = [this](const std::string& text) { messages.push_back(text); };
  std::string audioName;
  std::string videoName;
};

TEST_F(SourceRegistryRealKindsTest, EveryKindStartsUp) {
  EXPECT_TRUE(startupSources(audioKinds, videoKinds, sink));
  EXPECT_TRUE(messages.empty());
}

TEST_F(SourceRegistryRealKindsTest, AviWithPcmSoundIsTakenByBothAviKinds) {
  test::EncodedClip clip;
  clip.audio = test::ClipAudio::Pcm16;
  ASSERT_EQ("", test::writeEncodedClip(directory.file("clip.avi"), clip));
  EXPECT_EQ(nullptr, open("clip.avi", "clip.avi"));
  EXPECT_EQ(&aviVideo, selectedVideo);
  EXPECT_EQ(&aviAudio, selectedAudio);
}

TEST_F(SourceRegistryRealKindsTest, CompressedSoundAndOtherContainersGoToTheMovieKinds) {
  test::EncodedClip clip;
  clip.container = "matroska";
  clip.audio = test::ClipAudio::Aac;
  ASSERT_EQ("", test::writeEncodedClip(directory.file("clip.mkv"), clip));
  EXPECT_EQ(nullptr, open("clip.mkv", "clip.mkv"));
  EXPECT_EQ(&movieVideo, selectedVideo);
  EXPECT_EQ(&movieAudio, selectedAudio);
  EXPECT_TRUE(messages.empty());
}

TEST_F(SourceRegistryRealKindsTest, FloatWavAloneGivesNoVideoAndMovieKindSound) {
  test::WavClip shape;
  shape.format = test::StoredSampleFormat::Float32;
  ASSERT_TRUE(test::writeWav(directory.file("float.wav"), shape));
  EXPECT_EQ(nullptr, open("float.wav", "float.wav"));
  EXPECT_EQ(nullptr, selectedVideo);
  EXPECT_EQ(&movieAudio, selectedAudio);
  closeSources(selectedAudio, selectedVideo);
  EXPECT_FALSE(movieAudio.isOpen());
}

TEST_F(SourceRegistryRealKindsTest, TextFileIsRefusedWithTheFormatText) {
  ASSERT_TRUE(test::writeTextFile(directory.file("notes.txt"), "nothing to see\n"));
  EXPECT_STREQ("The video file is corrupt or is an unrecognized format",
               open("", "notes.txt"));
  EXPECT_STREQ("The audio file is corrupt, compressed or is in an unrecognized format",
               open("notes.txt", ""));
}

}  // namespace
}  // namespace vantrel
