#pragma once

#include <vector>

#include "sources/AudioStreamSource.h"
#include "sources/MessageSink.h"
#include "sources/VideoStreamSource.h"

namespace vantrel {

// Ordered lists of the program-wide source kinds (the lists do not own them):
// the AVI kind first, the movie kind second.
using VideoSourceList = std::vector<VideoStreamSource*>;
using AudioSourceList = std::vector<AudioStreamSource*>;

// Starts every video kind, then every audio kind, reporting each failure through
// sink. Returns true when at least one kind started; otherwise the fatal message
// has been sent to sink and false is returned.
bool startupSources(const AudioSourceList& audioSources,
                    const VideoSourceList& videoSources, const MessageSink& sink);

// Chooses a kind for each named file (either may be null or empty) and stores it
// in selectedVideo / selectedAudio (closing earlier selections first). Returns
// null on success, else the error text to show (valid until the next call).
const char* openSources(const char* audioFileName, const char* videoFileName,
                        const AudioSourceList* audioSources,
                        const VideoSourceList* videoSources,
                        AudioStreamSource*& selectedAudio,
                        VideoStreamSource*& selectedVideo, const MessageSink& sink);

// Closes the selected sources; both pointers become null.
void closeSources(AudioStreamSource*& selectedAudio, VideoStreamSource*& selectedVideo);

}  // namespace vantrel
