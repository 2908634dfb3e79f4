#pragma once

// The settings summary shown by the menus' "(S)how current settings" items:
// every setting except the author, in three groups (working files, video
// options, audio options). Built as text here; the menus write it.

#include <string>
#include <string_view>

#include "EncoderSettings.h"

namespace vantrel {

// Appends one path setting to out. An empty path appends the fallback when
// given, otherwise the format filled with an empty text when given, otherwise
// nothing. Any other path is made absolute (FullPath.h) and appended through
// the format (one "%s"), or bare without a format; when it cannot be made
// absolute, the fallback is appended when given, otherwise nothing.
void printPath(std::string& out, std::string_view path, const char* fallback,
               const char* format);

// The whole summary block, beginning with a line end and ending with the
// audio prefilter line and its line end.
std::string settingsSummaryText(const EncoderSettings& settings);

}  // namespace vantrel
