#include "FullPath.h"

#include <filesystem>
#include <system_error>

namespace vantrel {

std::optional<std::string> makeFullPath(std::string_view path) {
  if (path.empty()) return std::nullopt;
  std::string full;
  if (path.front() == '/') {
    full = path;
  } else {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error) return std::nullopt;
    full = current.string();
    // The root directory already ends with the separator.
    if (full.empty() || full.back() != '/') full += '/';
    full += path;
  }
  if (full.size() > kMaxFullPathLength) return std::nullopt;
  return full;
}

}  // namespace vantrel
