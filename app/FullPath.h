#pragma once

// Absolute paths for display: a relative path is joined to the current
// directory. The file need not exist and no symbolic link is resolved.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// Longest absolute path accepted, in characters.
inline constexpr std::size_t kMaxFullPathLength = 260;

// The path made absolute: a path beginning with '/' as it is, any other path
// after the current directory and a '/'. nullopt when the path is empty, the
// current directory cannot be read, or the result is longer than
// kMaxFullPathLength characters.
std::optional<std::string> makeFullPath(std::string_view path);

}  // namespace vantrel
