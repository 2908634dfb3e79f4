#pragma once

// Whether two paths name the same file, so the program never opens one of its
// source files for writing.

#include <string>

namespace vantrel {

// True when both paths lead to the same file: the same device and inode when
// both exist (hard and symbolic links included), otherwise the same path once
// made absolute and resolved as far as it exists. An empty path is no file.
bool isSameFile(const std::string& first, const std::string& second);

}  // namespace vantrel
