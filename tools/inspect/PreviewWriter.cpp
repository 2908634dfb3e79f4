#include "PreviewWriter.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "FfmpegLog.h"
#include "platform/FileReplacement.h"
#include "PictureEncoder.h"
#include "SoundEncoder.h"

namespace vantrel::inspect {

namespace {

// One kind of preview file: its extension, muxer and the encoders to try, best first.
struct CodecChoice {
  AVCodecID id;
  const char* name;
};
struct PreviewKind {
  const char* extension;
  const char* muxer;
  std::vector<CodecChoice> video;
  std::vector<CodecChoice> audio;  // empty: the container holds no sound
};

const std::vector<PreviewKind>& previewKinds() {
  static const std::vector<PreviewKind> kinds = {
      {".mp4",
       "mp4",
       {{AV_CODEC_ID_H264, "H.264"}, {AV_CODEC_ID_MPEG4, "MPEG-4 Visual"}},
       {{AV_CODEC_ID_AAC, "AAC"}}},
      {".mkv",
       "matroska",
       {{AV_CODEC_ID_VP9, "VP9"}, {AV_CODEC_ID_VP8, "VP8"}},
       {{AV_CODEC_ID_OPUS, "Opus"}, {AV_CODEC_ID_VORBIS, "Vorbis"}}},
      {".webm",
       "webm",
       {{AV_CODEC_ID_VP9, "VP9"}, {AV_CODEC_ID_VP8, "VP8"}},
       {{AV_CODEC_ID_OPUS, "Opus"}, {AV_CODEC_ID_VORBIS, "Vorbis"}}},
      {".gif", "gif", {{AV_CODEC_ID_GIF, "GIF"}}, {}},
  };
  return kinds;
}

bool endsWithNoCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

// The kind path's extension stands for, or null.
const PreviewKind* kindOf(const std::string& path) {
  for (const PreviewKind& kind : previewKinds()) {
    if (endsWithNoCase(path, kind.extension)) return &kind;
  }
  return nullptr;
}

// The first of choices this FFmpeg can encode, or null.
const CodecChoice* findEncoder(const std::vector<CodecChoice>& choices) {
  for (const CodecChoice& choice : choices) {
    if (avcodec_find_encoder(choice.id) != nullptr) return &choice;
  }
  return nullptr;
}

std::string choiceNames(const std::vector<CodecChoice>& choices) {
  std::string names;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) names += i + 1 == choices.size() ? " or " : ", ";
    names += choices[i].name;
  }
  return names;
}

}  // namespace

std::string workingPreviewExtensions() {
  std::string list;
  for (const PreviewKind& kind : previewKinds()) {
    if (findEncoder(kind.video) == nullptr) continue;
    if (!kind.audio.empty() && findEncoder(kind.audio) == nullptr) continue;
    list += (list.empty() ? "" : ", ") + std::string(kind.extension);
  }
  return list.empty() ? "none" : list;
}

bool previewHoldsSound(const std::string& path) {
  const PreviewKind* kind = kindOf(path);
  return kind != nullptr && !kind->audio.empty();
}

struct PreviewWriter::Streams {
  OutputPtr output;
  std::string path;
  FileReplacement file;
  bool created = false;
  std::unique_ptr<PictureEncoder> pictures;
  std::unique_ptr<SoundEncoder> sound;
  std::string names;

  ~Streams() {
    // Close the file FFmpeg may still hold open before file removes an
    // unfinished one.
    sound.reset();
    pictures.reset();
    if (output && output->pb != nullptr) avio_closep(&output->pb);
  }
};

PreviewWriter::PreviewWriter() = default;
PreviewWriter::~PreviewWriter() = default;

std::string PreviewWriter::open(const std::string& path, const PreviewShape& shape) {
  streams = std::make_unique<Streams>();
  streams->path = path;
  takeFfmpegLog();
  const PreviewKind* kind = kindOf(path);
  if (kind == nullptr) {
    return "a preview is written as .mp4, .mkv, .webm or .gif, not as " + path;
  }
  const std::string works =
      "; extensions that work with this FFmpeg: " + workingPreviewExtensions();
  const CodecChoice* videoChoice = nullptr;
  const CodecChoice* audioChoice = nullptr;
  if (shape.width > 0) {
    videoChoice = findEncoder(kind->video);
    if (videoChoice == nullptr) {
      return std::string("no ") + choiceNames(kind->video) +
             " encoder in this FFmpeg for a " + kind->extension + " preview" + works;
    }
  }
  if (shape.sampleRate > 0 && !kind->audio.empty()) {
    audioChoice = findEncoder(kind->audio);
    if (audioChoice == nullptr) {
      return std::string("no ") + choiceNames(kind->audio) +
             " encoder in this FFmpeg for a " + kind->extension + " preview" + works;
    }
  }
  if (videoChoice == nullptr && audioChoice == nullptr) {
    return std::string("a ") + kind->extension + " preview of neither pictures nor sound";
  }

  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, nullptr, kind->muxer, path.c_str()) < 0 ||
      context == nullptr) {
    return std::string("FFmpeg has no ") + kind->muxer + " muxer";
  }
  streams->output.reset(context);
  if (videoChoice != nullptr) {
    streams->pictures = std::make_unique<PictureEncoder>();
    const std::string why = streams->pictures->open(*context, videoChoice->id, shape);
    if (!why.empty()) return std::string(videoChoice->name) + " encoder: " + why;
    streams->names = videoChoice->name;
  }
  if (audioChoice != nullptr) {
    streams->sound = std::make_unique<SoundEncoder>();
    const std::string why =
        streams->sound->open(*context, audioChoice->id, shape.sampleRate);
    if (!why.empty()) return std::string(audioChoice->name) + " encoder: " + why;
    streams->names +=
        (streams->names.empty() ? "" : " + ") + std::string(audioChoice->name);
  }
  if (const std::string why = streams->file.begin(path); !why.empty()) {
    return "cannot create " + path + ": " + why;
  }
  if (const int opened =
          avio_open(&context->pb, streams->file.writePath().c_str(), AVIO_FLAG_WRITE);
      opened < 0) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(opened, reason, sizeof reason);
    return "cannot create " + path + ": " + reason;
  }
  streams->created = true;
  if (avformat_write_header(context, nullptr) < 0) return "cannot start " + path;
  return {};
}

std::string PreviewWriter::writePicture(const RgbPicture& picture) {
  if (!streams || !streams->pictures) return "the preview holds no pictures";
  return streams->pictures->write(*streams->output, &picture);
}

std::string PreviewWriter::writeSound(const std::int16_t* samples, std::size_t count) {
  if (!streams || !streams->sound) return {};  // a container without sound
  return streams->sound->write(*streams->output, samples, count);
}

std::string PreviewWriter::finish() {
  if (!streams || !streams->created) return "the preview is not open";
  AVFormatContext& output = *streams->output;
  if (streams->pictures) {
    if (std::string why = streams->pictures->write(output, nullptr); !why.empty())
      return why;
  }
  if (streams->sound) {
    if (std::string why = streams->sound->finish(output); !why.empty()) return why;
  }
  if (av_write_trailer(&output) < 0) return "cannot complete " + streams->path;
  if (avio_closep(&output.pb) < 0) return "cannot write " + streams->path;
  if (const std::string why = streams->file.commit(); !why.empty()) return why;
  return {};
}

bool PreviewWriter::writtenInPlace() const { return streams && streams->file.inPlace(); }

void PreviewWriter::abandon() { streams.reset(); }

std::string PreviewWriter::codecNames() const { return streams ? streams->names : ""; }

}  // namespace vantrel::inspect
